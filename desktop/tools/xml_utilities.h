// The add-in's XML writing functions over libxml2 trees, and the one way the
// add-in saves such a tree: through CConfigXmlFile's compact layout, as the
// handheld's own writer writes its files (UTF-8, its seven entities, no
// character references, numbers by the C rules).
//
// An attribute equal to its default is removed rather than written: the
// layer file writer updates existing files, and a value gone back to its
// default must leave the file too.
#pragma once

#include <libxml/tree.h>

#include <stdexcept>
#include <string>

namespace zntools8 {

// What an export raises when it cannot go on; the text says why.
class ExportError : public std::runtime_error {
public:
    explicit ExportError(const std::string& description) : std::runtime_error(description) {}
};

// "true" or "false".
std::string BoolToText(bool value);
// The parent's first child element of that name (its direct children only),
// else a new child appended after every existing node.
xmlNodePtr GetOrCreateChild(xmlNodePtr parent, const std::string& name);
// Sets the attribute and returns true when the value differs from the
// default (compared exactly); removes it and returns false otherwise.
bool SetAttributeUnlessDefault(xmlNodePtr element, const std::string& name,
                               const std::string& value, const std::string& def = {});
// With no default the attribute is always written; otherwise it is removed
// when the value equals the default.
void SetBoolAttribute(xmlNodePtr element, const std::string& name, bool value,
                      const bool* def = nullptr);
// Removes the attribute; never fails, also on a null element.
void RemoveAttributeQuietly(xmlNodePtr element, const std::string& name) noexcept;

// A new element (not yet linked anywhere) owned by the document.
xmlNodePtr NewElement(xmlDocPtr document, const std::string& name);
// Appends a new element as the parent's last child.
xmlNodePtr AppendElement(xmlNodePtr parent, const std::string& name);

// Writes the tree to the host path, replacing the file whole: the nodes in
// their order (kept whitespace, comments and processing instructions as
// they are, CDATA as escaped text), no formatting added, and a declaration
// with encoding="UTF-8" only when asked. Element and attribute names are
// checked, and a value holding a character XML cannot carry (a control
// character other than tab, LF and CR) or bytes that are not UTF-8 fail the
// save before anything is written. Raises ExportError; the old file is then
// kept as it was.
void SaveXmlDocument(xmlDocPtr document, const std::string& hostPath, bool declaration);

}  // namespace zntools8
