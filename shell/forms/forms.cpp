// Reading form definitions and publishing them to the owner's script host.
#include "shell/forms/forms.h"

#include <algorithm>

#include "core/language_module.h"
#include "core/path.h"
#include "map/services/script_events.h"
#include "map/symbology/font_attributes.h"
#include "platform/win/dialog.h"
#include "shell/forms/form_template.h"
#include "shell/forms/table_list.h"

namespace {

IFormScriptObjects* g_scriptObjects = nullptr;
constexpr DWORD kNamedItemFlags = 6;  // visible, event source

void Release(IDispatch*& object) {
    if (object) object->Release();
    object = nullptr;
}

IDispatch* AddRefed(IDispatch* object) {
    if (object) object->AddRef();
    return object;
}

bool HasEvents(const CXmlNode* element) {
    return GetScriptServices()->HasEventAttributes(element, nullptr);
}

void Publish(IScriptHost* host, const WString& item, IDispatch* object, const CXmlNode* element) {
    if (!host || !object) return;
    host->AddNamedItem(item.c_str(), object, kNamedItemFlags);
    host->BindElementEvents(element, item.c_str());
}

}  // namespace

void SetFormScriptObjects(IFormScriptObjects* objects) {
    g_scriptObjects = objects;
}
IFormScriptObjects* GetFormScriptObjects() {
    return g_scriptObjects;
}

CValueTextPair MakeValueTextPair(WStringView value, WStringView text) {
    return {text::Trim(value), text::Trim(text)};
}

const CValueTextPair* CValueTextList::FindValue(WStringView value) const {
    const int i = IndexOfValue(value);
    return i < 0 ? nullptr : &m_pairs[static_cast<size_t>(i)];
}

int CValueTextList::IndexOfValue(WStringView value) const {
    for (size_t i = 0; i < m_pairs.size(); ++i)
        if (m_pairs[i].value == value) return static_cast<int>(i);
    return -1;
}

int CValueTextList::Remove(WStringView value) {
    const size_t before = m_pairs.size();
    std::erase_if(m_pairs, [&](const CValueTextPair& p) { return p.value == value; });
    return static_cast<int>(before - m_pairs.size());
}

CFormControl::CFormControl() = default;

CFormControl::~CFormControl() {
    if (m_scriptObject) m_scriptObject->Release();
}

bool CFormControl::IsBoundReadOnly() const {
    return m_field >= 0 && m_fieldType != 'C' && m_fieldType != 'N' && m_fieldType != 'F' &&
           m_fieldType != 'D' && m_fieldType != 'L';
}

CFormPageDef::~CFormPageDef() {
    if (m_scriptObject) m_scriptObject->Release();
}

// ---------------------------------------------------------------- CForm --

CForm::CForm(IScriptHost* host) : m_host(host) {}

CForm::~CForm() {
    m_pages.clear();
    Release(m_scriptObject);
}

bool CForm::Read(const CXmlNode* element, DWORD localeId, int position) {
    if (!element) return false;
    const WString& tag = element->GetName();
    m_kind = tag == u"FORM"           ? kFormGeneral
             : tag == u"EDITFORM"     ? kFormEdit
             : tag == u"IDENTIFYFORM" ? kFormIdentify
             : tag == u"QUERYFORM"    ? kFormQuery
                                      : kFormOther;
    if (const CXmlDocument* doc = element->GetDocument())
        m_folder = CPath(WStringView(doc->GetFileName())).GetDirectory();
    const int pageCount = element->CountChildren(u"PAGE");
    if (pageCount == 0) return false;

    m_localeId = localeId;
    m_name = element->GetAttribute(u"name");
    m_caption = element->GetAttribute(u"caption");
    m_width = element->GetAttributeInt(u"width", 130);
    m_height = element->GetAttributeInt(u"height", 130);
    m_rtl = FormBool(element, u"rtl", IsRightToLeftLanguage(localeId));
    m_tabsVisible = FormBool(element, u"tabsvisible", true);
    m_attributesPageVisible = FormBool(element, u"attributespagevisible", true);
    m_symbologyPageVisible = FormBool(element, u"symbologypagevisible", true);
    m_geographyPageVisible = FormBool(element, u"geographypagevisible", true);
    if (m_kind == kFormEdit)
        m_name = u"EditForm";
    else if (m_kind == kFormIdentify)
        m_name = u"IdentifyForm";
    // An unnamed form with handlers is named by its place, so that its
    // handlers bind to an item that exists.
    if (m_name.empty() && HasEvents(element)) m_name = text::Format(u"Form%d", position);

    if (!m_name.empty()) {
        IDispatch* object = GetScriptObject();
        Publish(m_host, m_name, object, element);
        Release(object);
    }
    if (m_host) m_host->RunScriptElements(element);
    m_font.reset(CreateFormFont(element));

    int index = 0;
    for (int i = 0; i < element->GetChildCount(); ++i) {
        const CXmlNode* child = element->GetChild(i);
        if (child->GetName() != u"PAGE") continue;
        if (!ReadPage(child, index++)) return false;
    }
    return true;
}

bool CForm::ReadPage(const CXmlNode* element, int index) {
    auto page = std::make_unique<CFormPageDef>();
    page->m_index = index;
    page->m_name = element->GetAttribute(u"name");
    page->m_caption = element->GetAttribute(u"caption");
    page->m_width = element->GetAttributeInt(u"width", m_width);
    page->m_height = element->GetAttributeInt(u"height", m_height);
    page->m_rtl = FormBool(element, u"rtl", m_rtl);
    page->m_font.reset(CreateFormFont(element));
    m_maxPageWidth = std::max(m_maxPageWidth, page->m_width);
    m_maxPageHeight = std::max(m_maxPageHeight, page->m_height);
    if (page->m_name.empty() && HasEvents(element))
        page->m_name = text::Format(u"Page%d", index + 1);

    CFormPageDef* def = page.get();
    m_pages.push_back(std::move(page));
    std::vector<const CXmlNode*> elements;
    for (int i = 0; i < element->GetChildCount(); ++i) {
        const CXmlNode* child = element->GetChild(i);
        if (ControlTypeFromName(child->GetName()) != 0) elements.push_back(child);
    }
    if (elements.size() > 65535) return false;
    for (size_t i = 0; i < elements.size(); ++i) {
        auto control = std::make_unique<CFormControl>();
        control->m_index = static_cast<int>(i);
        control->m_page = def;
        control->m_pageIndex = index;
        ReadControl(elements[i], *control, *this, *def);
        CFormControl& added = *control;
        def->m_controls.push_back(std::move(control));
        PublishControl(*def, added, elements[i]);
    }
    def->m_template = BuildPageTemplate(*def, elements);
    if (!def->m_name.empty()) {
        IDispatch* object = GetScriptPage(index);
        Publish(m_host, m_name + u"_" + def->m_name, object, element);
        Release(object);
    }
    return true;
}

void CForm::PublishControl(CFormPageDef& page, CFormControl& control, const CXmlNode* element) {
    if (control.m_name.empty() && HasEvents(element))
        control.m_name = text::Format(u"Control%d", control.m_index + 1000 * page.m_index);
    if (control.m_name.empty()) return;
    IDispatch* object = GetScriptControl(page.m_index, control.m_index);
    Publish(m_host, m_name + u"_" + page.m_name + u"_" + control.m_name, object, element);
    Release(object);
}

int CForm::FindPage(WStringView name) const {
    for (const auto& p : m_pages)
        if (p->m_name == name) return p->m_index;
    return -1;
}

int CForm::FindPageByWindow(HWND window) const {
    if (!window) return -1;
    for (const auto& p : m_pages)
        if (p->m_hwnd == window) return p->m_index;
    return -1;
}

CFormPageDef* CForm::GetPage(int page) const {
    if (page < 0 || page >= GetPageCount()) return nullptr;
    return m_pages[static_cast<size_t>(page)].get();
}

int CForm::FindControlIndex(int page, WStringView name) const {
    const CFormControl* control = FindControlByName(page, name);
    return control ? control->m_index : -1;
}

CFormControl* CForm::FindControlByName(int page, WStringView name) const {
    const CFormPageDef* def = GetPage(page);
    if (!def) return nullptr;
    for (const auto& c : def->m_controls)
        if (c->m_name == name) return c.get();
    return nullptr;
}

CFormControl* CForm::GetControlById(int page, int id) const {
    const CFormPageDef* def = GetPage(page);
    const int index = id - kFirstFormControlId;
    if (!def || index < 0 || index >= static_cast<int>(def->m_controls.size())) return nullptr;
    return def->m_controls[static_cast<size_t>(index)].get();
}

CFormControl* CForm::GetControlByWindow(HWND window) const {
    if (!window) return nullptr;
    for (const auto& p : m_pages)
        for (const auto& c : p->m_controls)
            if (c->m_hwnd == window) return c.get();
    return nullptr;
}

IDispatch* CForm::GetScriptObject() {
    if (!m_scriptObject)
        m_scriptObject =
            g_scriptObjects ? g_scriptObjects->CreateFormObject(this) : CreatePlainScriptObject();
    return AddRefed(m_scriptObject);
}

IDispatch* CForm::GetScriptPage(int page) {
    CFormPageDef* def = GetPage(page);
    if (!def) return nullptr;
    if (!def->m_scriptObject)
        def->m_scriptObject = g_scriptObjects ? g_scriptObjects->CreatePageObject(this, page)
                                              : CreatePlainScriptObject();
    return AddRefed(def->m_scriptObject);
}

IDispatch* CForm::GetScriptControl(int page, int index) {
    const CFormPageDef* def = GetPage(page);
    if (!def || index < 0 || index >= static_cast<int>(def->m_controls.size())) return nullptr;
    CFormControl& c = *def->m_controls[static_cast<size_t>(index)];
    if (!c.m_scriptObject)
        c.m_scriptObject = g_scriptObjects ? g_scriptObjects->CreateControlObject(this, page, index)
                                           : CreatePlainScriptObject();
    return AddRefed(c.m_scriptObject);
}

WString CForm::ResolvePath(const WString& path) const {
    if (path.empty() || path.find(u'\\') != WString::npos || m_folder.empty()) return path;
    return m_folder + u"\\" + path;
}

// --------------------------------------------------------------- CForms --

CForms::CForms(IScriptHost* host) : m_host(host) {}

CForms::~CForms() {
    DeleteForms();
}

void CForms::DeleteForms() {
    m_editForm = m_identifyForm = m_queryForm = nullptr;
    m_forms.clear();
    Release(m_scriptObject);
}

bool CForms::ReadForms(const CXmlNode* forms, DWORD localeId) {
    if (!forms) return false;
    if (m_host) m_host->RunScriptElements(forms);
    for (int i = 0; i < forms->GetChildCount(); ++i) {
        const CXmlNode* child = forms->GetChild(i);
        if (child->GetName() == u"SCRIPT") continue;
        auto form = std::make_unique<CForm>(m_host);
        if (!form->Read(child, localeId, i + 1)) continue;
        CForm* f = form.get();
        m_forms.push_back(std::move(form));
        if (f->m_kind == kFormEdit && !m_editForm)
            m_editForm = f;
        else if (f->m_kind == kFormIdentify && !m_identifyForm)
            m_identifyForm = f;
        else if (f->m_kind == kFormQuery && !m_queryForm)
            m_queryForm = f;
    }
    return true;
}

void CForms::ReadForms(const CXmlNode* forms, DWORD lcid, IScriptHost* host) {
    if (host) m_host = host;
    ReadForms(forms, lcid);
}

int CForms::FindIndex(WStringView name) const {
    for (size_t i = 0; i < m_forms.size(); ++i)
        if (m_forms[i]->m_name == name) return static_cast<int>(i);
    return -1;
}

CForm* CForms::GetAt(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return m_forms[static_cast<size_t>(index)].get();
}

IDispatch* CForms::GetScriptObject() {
    if (!m_scriptObject)
        m_scriptObject =
            g_scriptObjects ? g_scriptObjects->CreateFormsObject(this) : CreatePlainScriptObject();
    return AddRefed(m_scriptObject);
}

std::unique_ptr<ILayerForms> CreateLayerForms(IScriptHost* host) {
    return std::make_unique<CForms>(host);
}
