#include "shell/config/configuration.h"

const CXmlNode* FindElementDepthFirst(const CXmlNode* element, WStringView name) {
    if (!element) return nullptr;
    if (element->GetName() == name) return element;
    for (int i = 0; i < element->GetChildCount(); ++i)
        if (const CXmlNode* found = FindElementDepthFirst(element->GetChild(i), name)) return found;
    return nullptr;
}

const CXmlNode* FindConfigElement(const CXmlNode* root) { return FindElementDepthFirst(root, u"CONFIG"); }

WChar ToolbarsAlignment(const CXmlNode* toolbars) {
    WString align = toolbars ? toolbars->GetAttribute(u"align", u"top") : WString(u"top");
    WChar first = align.empty() ? u't' : align[0];
    if (first >= u'a' && first <= u'z') first = static_cast<WChar>(first - u'a' + u'A');
    return first == u'B' || first == u'L' || first == u'R' ? first : u'T';
}

BuiltInBarConfig ReadBuiltInBar(const CXmlNode* toolbars, WStringView name) {
    BuiltInBarConfig bar;
    bar.visible = !text::EqualsNoCase(name, u"draw");
    if (!toolbars) return bar;
    for (int i = 0; i < toolbars->GetChildCount(); ++i) {
        const CXmlNode* e = toolbars->GetChild(i);
        if (e->GetName() != u"TOOLBAR" || !text::EqualsNoCase(e->GetAttribute(u"name"), name)) continue;
        bar.visible = e->GetAttributeBool(u"visible", bar.visible);
        bar.create = e->GetAttributeBool(u"create", true);
        bar.newRow = e->GetAttribute(u"style").find(u"break") != WString::npos;
        break;
    }
    return bar;
}

StatusBarConfig ReadStatusBarConfig(const CXmlNode* statusbar) {
    StatusBarConfig config;
    if (!statusbar) return config;
    config.visible = statusbar->GetAttributeBool(u"visible", true);
    config.scale = statusbar->GetAttributeBool(u"scale", false);
    config.rockermode = statusbar->GetAttributeBool(u"rockermode", false);
    return config;
}
