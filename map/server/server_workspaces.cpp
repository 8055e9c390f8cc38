#include "map/server/server_workspaces.h"

#include "core/file_stream.h"
#include "platform/net/url.h"

namespace {

CXmlNode* FindFirst(const CXmlDocument& document, WStringView name) {
    return document.FindElement(name, true);
}

}  // namespace

CXmlNode* CServerWorkspaces::Create() {
    CXmlNode* root = m_document.CreateRoot(u"OMBRXL");
    root->SetAttribute(u"version", u"1.0.1");
    return root->CreateChild(u"CONFIG")->CreateChild(u"MAP")->CreateChild(u"WORKSPACES");
}

WString CServerWorkspaces::ExtendUrl(WStringView url) {
    const std::optional<net::Url> parsed = net::ParseUrl(text::ToUtf8(url));
    if (!parsed) return {};
    WString out(url);
    if (parsed->object.empty() || parsed->object == "/") {
        if (out.empty() || out.back() != u'/') out += u'/';
        out += u"servlet/com.qova.qovamap.Qovamap";
    }
    return out;
}

CXmlNode* CServerWorkspaces::AddImageServerWorkspace(WStringView name, WStringView url, WStringView service) {
    if (!m_document.GetRoot()) Create();
    const WString extended = ExtendUrl(url);
    if (extended.empty()) {
        m_errorText = u"Invalid URL";
        return nullptr;
    }
    CXmlNode* workspaces = FindFirst(m_document, u"WORKSPACES");
    if (!workspaces) workspaces = m_document.GetRoot()->CreateChild(u"WORKSPACES");
    CXmlNode* workspace = workspaces->CreateChild(u"IMAGESERVERWORKSPACE");
    workspace->SetAttribute(u"name", name);
    workspace->SetAttribute(u"url", extended);
    workspace->SetAttribute(u"service", service);
    return workspace;
}

bool CServerWorkspaces::Load(WStringView path) {
    m_errorText.clear();
    if (!m_document.LoadFile(WString(path))) {
        m_errorText = m_document.GetErrorText();
        return false;
    }
    const CXmlNode* workspaces = FindFirst(m_document, u"WORKSPACES");
    return workspaces && workspaces->GetChildCount() > 0;
}

bool CServerWorkspaces::Save(WStringView path) {
    if (!m_document.GetRoot()) return false;
    return WriteTextFile(path, m_document.SaveToString(), 1);
}

bool CServerWorkspaces::FindImageServerWorkspace(WString& name, WString& url, WString& service) const {
    const CXmlNode* workspace = FindFirst(m_document, u"IMAGESERVERWORKSPACE");
    if (!workspace) return false;
    name = workspace->GetAttribute(u"name");
    url = workspace->GetAttribute(u"url");
    service = workspace->GetAttribute(u"service");
    return true;
}
