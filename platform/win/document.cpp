#include "platform/win/document.h"

#include <algorithm>

#include "platform/res/resource.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "resources/zres.h"

namespace win {

Document::Document(WStringView docString) : m_docString(docString) {}

void Document::SetPathName(WStringView path) {
    m_pathName = path;
    size_t slash = m_pathName.find_last_of(u"\\/");
    m_title = slash == WString::npos ? m_pathName : m_pathName.substr(slash + 1);
}

WString Document::GetDocString(int index) const {
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        size_t nl = m_docString.find(u'\n', start);
        if (nl == WString::npos) return {};
        start = nl + 1;
    }
    size_t end = m_docString.find(u'\n', start);
    return m_docString.substr(start, end == WString::npos ? WString::npos : end - start);
}

bool Document::OnNewDocument() {
    m_pathName.clear();
    WString name = GetDocString(1);
    m_title = name.empty() ? WString(u"Untitled") : name;
    m_modified = false;
    return true;
}

bool Document::OnOpenDocument(const WString&) {
    m_pathName.clear();
    m_modified = false;
    return true;
}

bool Document::OnSaveDocument(const WString&) { return true; }

void Document::OnCloseDocument() {
    m_pathName.clear();
    m_modified = false;
}

bool Document::DoSave(const WString& path, bool replace) {
    WString target = path;
    if (target.empty()) {
        OPENFILENAME ofn;
        ofn.hwndOwner = GetMainWindow();
        WString filterName = GetDocString(3);
        WString ext = GetDocString(4);
        if (!filterName.empty() && !ext.empty()) {
            ofn.filter = filterName;
            ofn.filter += u'\0';
            ofn.filter += u"*" + ext;
            ofn.filter += u'\0';
            ofn.filter += u'\0';
        }
        if (!ext.empty() && ext[0] == u'.') ofn.defExt = ext.substr(1);
        ofn.file = m_title;
        ofn.flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
        if (!GetSaveFileName(&ofn)) return false;
        target = ofn.file;
    }
    if (!OnSaveDocument(target)) return false;
    if (replace) SetPathName(target);
    return true;
}

bool Document::SaveModified() {
    if (!IsModified()) return true;
    WString name = m_pathName.empty() ? m_title : m_pathName;
    if (name.empty()) name = GetDocString(1);
    if (name.empty()) name = u"Untitled";
    WString text = res::LoadStringText(nullptr, IDP_ASK_TO_SAVE);
    if (text.empty()) text = u"Save changes to %1?";
    if (size_t at = text.find(u"%1"); at != WString::npos) text.replace(at, 2, name);
    WString caption = GetDocString(0);
    switch (MessageBox(GetMainWindow(), text.c_str(), caption.c_str(),
                       MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
        case IDYES:
            return DoSave(m_pathName);
        case IDNO:
            return true;
        default:
            return false;
    }
}

void Document::AddView(DocumentView* view) {
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void Document::RemoveView(DocumentView* view) { std::erase(m_views, view); }

void Document::UpdateAllViews(DocumentView* sender, LPARAM hint) {
    std::vector<DocumentView*> views = m_views;
    for (DocumentView* v : views)
        if (v != sender) v->OnUpdate(sender, hint);
}

}  // namespace win
