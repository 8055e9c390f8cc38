// The controls of a page as XML says them, and the page's dialog template.
#include "shell/forms/form_template.h"

#include <algorithm>

#include "core/path.h"
#include "core/shell_helpers.h"
#include "formats/dbf/dbf_table.h"
#include "map/symbology/font_attributes.h"
#include "platform/win/dialog.h"
#include "platform/win/winconst.h"

namespace {

constexpr const WChar* kControlNames[] = {u"LABEL",    u"EDIT",        u"CHECKBOX", u"COMBOBOX",
                                          u"DATETIME", u"BUTTON",      u"SLIDER",   u"UPDOWN",
                                          u"LISTBOX",  u"RADIOBUTTON", u"IMAGEBOX", u"SUBTABLE"};

int16_t Clamp16(int v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

WChar FirstUpper(const WString& s) {
    if (s.empty()) return 0;
    WChar c = s[0];
    return (c >= u'a' && c <= u'z') ? static_cast<WChar>(c - 32) : c;
}

// BS_LEFT, BS_RIGHT, BS_CENTER by the alignment's first letter.
DWORD ButtonAlignment(WChar a) {
    return a == u'L' ? 0x100 : a == u'R' ? 0x200 : a == u'C' ? 0x300 : 0;
}

}  // namespace

bool FormBool(const CXmlNode* element, WStringView name, bool def) {
    if (!element->HasAttribute(name)) return def;
    const WString v = element->GetAttribute(name);
    return !v.empty() && (v[0] == u't' || v[0] == u'T');
}

int ControlTypeFromName(WStringView name) {
    for (int i = 0; i < 12; ++i)
        if (name == kControlNames[i]) return i + 1;
    return 0;
}

HFONT CreateFormFont(const CXmlNode* element) {
    if (!element || !HasFontAttributes(element)) return nullptr;
    LOGFONT font{};
    ReadFontAttributes(element, font, nullptr);
    return CreateFontIndirect(&font);
}

void ReadListTable(const WString& path, const WString& valueField, const WString& textField,
                   CValueTextList& list) {
    if (path.empty() || !FileExists(path)) return;
    CDbfTable table;
    if (!table.Open(path.c_str(), 0) || table.GetRecordCount() < 1) return;
    const int value = table.FindField(valueField.c_str());
    const int text = table.FindField(textField.c_str());
    const DbfHandle h = table.Table();
    for (int r = 0; r < table.GetRecordCount(); ++r) {
        if (!DbfReadRecord(h, r) || !DbfIsRecordActive(h)) continue;
        list.Add(MakeValueTextPair(value >= 0 ? DbfGetString(h, value) : WString(),
                                   text >= 0 ? DbfGetString(h, text) : WString()));
    }
}

void ReadControl(const CXmlNode* e, CFormControl& c, const CForm& form, const CFormPageDef&) {
    c.m_type = static_cast<FormControlType>(ControlTypeFromName(e->GetName()));
    c.m_id = static_cast<WORD>(kFirstFormControlId + c.m_index);
    c.m_name = e->GetAttribute(u"name");
    c.m_fieldName = e->GetAttribute(u"field");
    const WString caption = e->GetAttribute(u"caption");
    c.m_value = e->HasAttribute(u"value") ? e->GetAttribute(u"value") : caption;
    c.m_valueNumber = text::ParseDouble(WStringView(c.m_value));
    if (c.m_valueNumber != c.m_valueNumber) c.m_valueNumber = 0;
    c.m_defaultValue = e->GetAttribute(u"defaultvalue");
    c.m_format = e->GetAttribute(u"format");
    c.m_readOnly = FormBool(e, u"readonly", false);
    c.m_required = FormBool(e, u"required", false);
    const WChar sip = FirstUpper(e->GetAttribute(u"sip"));
    c.m_sipMode = sip == u'F' ? 0 : sip == u'T' ? 1 : 2;
    c.m_textColor = e->GetAttributeColor(u"color", static_cast<uint32_t>(-1));
    c.m_backColor = e->GetAttributeColor(u"backgroundcolor", static_cast<uint32_t>(-1));
    c.m_font.reset(CreateFormFont(e));
    c.m_lower = e->GetAttributeInt(u"lower", 0);
    c.m_upper = e->GetAttributeInt(u"upper", 100);
    c.m_buddy = e->GetAttribute(u"buddy");
    c.m_limitToList = FormBool(e, u"limittolist", true);
    c.m_showValues = FormBool(e, u"showvalues", false);
    const WChar cap = FirstUpper(e->GetAttribute(u"capitalize"));
    c.m_capitalize = cap == u'F' ? 1 : cap == u'A' ? 2 : 0;
    if (c.m_type == kCtlCheckBox) c.m_valueKind = kValueInteger;
    if (c.m_type == kCtlDateTime) c.m_valueKind = kValueDate;
    if (c.m_type == kCtlSubTable) c.m_dataTable = e->GetAttribute(u"datatable");
    if (c.m_type == kCtlImageBox) c.m_text = c.m_value;  // the first picture
    if (c.m_type == kCtlComboBox || c.m_type == kCtlListBox) {
        c.m_listTable = e->GetAttribute(u"listtable");
        c.m_listValueField = e->GetAttribute(u"listvaluefield");
        c.m_listTextField = e->GetAttribute(u"listtextfield");
        auto list = std::make_unique<CValueTextList>();
        ReadListTable(form.ResolvePath(c.m_listTable), c.m_listValueField, c.m_listTextField,
                      *list);
        if (e->FindChild(u"LISTITEM")) {
            for (int i = 0; i < e->GetChildCount(); ++i) {
                const CXmlNode* item = e->GetChild(i);
                if (item->GetName() != u"LISTITEM") continue;
                list->Add(MakeValueTextPair(
                    item->GetAttribute(u"value"),
                    item->HasAttribute(u"text") ? item->GetAttribute(u"text") : item->GetText()));
            }
        }
        if (list->Count() > 0) c.m_items = std::move(list);
    }
}

DialogItemTemplate BuildControlItem(const CXmlNode* e, const CFormControl& c,
                                    const CFormPageDef& page) {
    DialogItemTemplate item;
    DWORD style = WS_CHILD | WS_VISIBLE | static_cast<DWORD>(e->GetAttributeInt(u"style", 0));
    if (FormBool(e, u"group", false)) style |= WS_GROUP;
    if (FormBool(e, u"tabstop", true)) style |= WS_TABSTOP;
    const bool border = FormBool(e, u"border", c.m_type != kCtlLabel);
    const WChar align = FirstUpper(e->GetAttribute(u"alignment"));
    const bool extra = HasExtraControls();
    const WString caption = e->GetAttribute(u"caption");
    const WString tooltip = e->GetAttribute(u"tooltip");
    const bool withTip = extra && !tooltip.empty();
    WString title = caption;
    WString cls;
    int height = e->GetAttributeInt(u"height", 13);
    switch (c.m_type) {
        case kCtlLabel:
            style |= 0x80 | (align == u'R' ? 2 : align == u'C' ? 1 : 0);
            if (border) style |= WS_BORDER;
            if (withTip)
                cls = u"TTSTATIC";
            else
                cls = u"STATIC";
            break;
        case kCtlEdit:
            style |= 0x80;
            if (border) style |= WS_BORDER;
            style |= align == u'R' ? 2 : align == u'C' ? 1 : 0;
            if (FormBool(e, u"uppercase", false))
                style |= 8;
            else if (FormBool(e, u"lowercase", false))
                style |= 0x10;
            if (FormBool(e, u"multiline", false)) {
                style |= 0x1044;
                if (FormBool(e, u"hscroll", false)) style |= WS_HSCROLL;
                if (FormBool(e, u"vscroll", false)) style |= WS_VSCROLL;
            }
            if (c.m_readOnly) style |= 0x800;
            if (FormBool(e, u"password", false)) style |= 0x20;
            if (extra && c.m_capitalize != 0)
                cls = u"CAPEDIT";
            else
                cls = u"EDIT";
            break;
        case kCtlButton:
            style |= 0x4000 | ButtonAlignment(align);
            if (withTip)
                cls = u"TTBUTTON";
            else
                cls = u"BUTTON";
            break;
        case kCtlCheckBox:
            style |= 0x4003 | ButtonAlignment(align);
            if (FormBool(e, u"rightbutton", false)) style |= 0x20;
            cls = u"BUTTON";
            break;
        case kCtlRadioButton:
            style |= 0x4009 | ButtonAlignment(align);
            cls = u"BUTTON";
            break;
        case kCtlComboBox:
            style |= 0x200040;
            if (border) style |= WS_BORDER;
            if (FormBool(e, u"sort", true)) style |= 0x100;
            if (FormBool(e, u"uppercase", false))
                style |= 0x2000;
            else if (FormBool(e, u"lowercase", false))
                style |= 0x4000;
            style |= c.m_limitToList ? 3 : 2;
            if (height < 16) height = 104;
            cls = u"COMBOBOX";
            break;
        case kCtlDateTime:
            if (border) style |= WS_BORDER;
            if (FormBool(e, u"allownulls", true)) style |= 2;
            cls = u"SysDateTimePick32";
            break;
        case kCtlSlider:
            style |= 1;
            if (FirstUpper(e->GetAttribute(u"orientation")) == u'V') style |= 2;
            cls = u"msctls_trackbar32";
            break;
        case kCtlUpDown:
            style |= 0x80;
            if (!c.m_buddy.empty()) style |= 2;
            style |= align == u'L' ? 8 : align == u'R' ? 4 : 0;
            if (FirstUpper(e->GetAttribute(u"orientation")) == u'H') style |= 0x40;
            cls = u"msctls_updown32";
            break;
        case kCtlListBox:
            style |= 0x101;
            if (border) style |= WS_BORDER;
            if (FormBool(e, u"hscroll", false)) style |= WS_HSCROLL;
            if (FormBool(e, u"vscroll", false)) style |= WS_VSCROLL;
            if (FormBool(e, u"sort", true)) style |= 2;
            if (c.m_showValues) style |= 0x80;
            cls = u"LISTBOX";
            break;
        case kCtlImageBox:
            style |= 0x30E;
            if (border) style |= WS_BORDER;
            cls = u"STATIC";
            break;
        case kCtlSubTable:
            style |= 0x820D;
            if (border) style |= WS_BORDER;
            cls = u"SysListView32";
            break;
    }
    if (withTip && (c.m_type == kCtlLabel || c.m_type == kCtlButton))
        title = caption + u"~~" + tooltip;
    item.style = style;
    item.exStyle = static_cast<DWORD>(e->GetAttributeInt(u"extendedstyle", 0));
    if (FormBool(e, u"rtl", page.m_rtl)) item.exStyle |= 0x2000;
    item.x = Clamp16(e->GetAttributeInt(u"x", 0));
    item.y = Clamp16(e->GetAttributeInt(u"y", 0));
    item.cx = Clamp16(e->GetAttributeInt(u"width", 50));
    item.cy = Clamp16(height);
    item.id = c.m_id;
    // The writer stores the six system classes as ordinals.
    item.className = cls;
    item.title = title;
    return item;
}

std::vector<uint8_t> BuildPageTemplate(const CFormPageDef& page,
                                       const std::vector<const CXmlNode*>& elements) {
    DialogTemplate t;
    t.style = 0x50400000;
    t.exStyle = page.m_rtl ? 0x00212000 : 0x00010000;
    t.cx = Clamp16(page.m_width);
    t.cy = Clamp16(page.m_height);
    t.title = page.m_caption;
    for (size_t i = 0; i < elements.size(); ++i)
        t.items.push_back(BuildControlItem(elements[i], *page.m_controls[i], page));
    return SerializeDialogTemplate(t);
}
