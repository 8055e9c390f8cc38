// The configuration file Zarnip.znx: what the main window and the forms
// take from it, and the report of its problems. Nothing writes the file.
#pragma once

#include <vector>

#include "core/xml_node.h"
#include "platform/text/text.h"
#include "platform/types.h"

class IScriptHost;

// One line per problem found while loading and applying the configuration;
// the main window shows them once after start-up.
class CConfigurationReport {
public:
    void Add(WString line) { m_lines.push_back(std::move(line)); }
    const std::vector<WString>& Lines() const { return m_lines; }
    bool IsEmpty() const { return m_lines.empty(); }
    void Clear() { m_lines.clear(); }

private:
    std::vector<WString> m_lines;
};

// What the applier hands the main window.
class IConfigFrame {
public:
    virtual ~IConfigFrame() = default;
    // The TOOLBARS element (its own scripts have already run).
    virtual void LoadToolbars(const CXmlNode* toolbars, IScriptHost* host) = 0;
    virtual void ApplyStatusBarConfig(const CXmlNode* statusbar) = 0;
};

// The global custom forms.
class IConfigForms {
public:
    virtual ~IConfigForms() = default;
    // The FORMS element (the root's own scripts have already run), over the
    // application's script host.
    virtual void ReadForms(const CXmlNode* forms, DWORD lcid, IScriptHost* host) = 0;
    // Called at exit right after the script engine stops.
    virtual void DeleteForms() {}
};

// The first element of the name: the element itself or a descendant, in
// document order (depth first).
const CXmlNode* FindElementDepthFirst(const CXmlNode* element, WStringView name);
// The CONFIG element of a configuration root, or null.
const CXmlNode* FindConfigElement(const CXmlNode* root);

// Where the command-bar strip docks: 'B', 'L', 'R' or 'T' (the default).
WChar ToolbarsAlignment(const CXmlNode* toolbars);

// A built-in bar ("main", "browse", "draw") as a TOOLBARS element sets it.
struct BuiltInBarConfig {
    bool create = true;
    bool visible = true;
    bool newRow = false;  // a "style" containing "break"
};
BuiltInBarConfig ReadBuiltInBar(const CXmlNode* toolbars, WStringView name);

struct StatusBarConfig {
    bool visible = true;
    bool scale = true;       // the map scale pane
    bool rockermode = true;  // the rocker mode pane
};
// Without an element, everything shows; an element hides each pane it does
// not switch on.
StatusBarConfig ReadStatusBarConfig(const CXmlNode* statusbar);
