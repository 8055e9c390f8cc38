// Server workspaces files (.mvd): an OMBRXL document naming a map server's
// URL and one image service, written by the Add Internet Server dialog and
// read by the internet layer and the layer browser.
#pragma once

#include "core/xml_node.h"
#include "platform/text/text.h"

class CServerWorkspaces {
public:
    // A new tree OMBRXL/CONFIG/MAP/WORKSPACES; the WORKSPACES element.
    CXmlNode* Create();
    // Appends a workspace under the first WORKSPACES element; a URL naming
    // only the server gets the default servlet. Null when the URL does not
    // parse.
    CXmlNode* AddImageServerWorkspace(WStringView name, WStringView url, WStringView service);
    // True when the file parsed and holds a WORKSPACES element with a child.
    bool Load(WStringView path);
    // Written as UTF-8 through a temporary file.
    bool Save(WStringView path);
    // The first workspace's attributes; false when there is none.
    bool FindImageServerWorkspace(WString& name, WString& url, WString& service) const;

    CXmlDocument& GetDocument() { return m_document; }
    const WString& GetErrorText() const { return m_errorText; }

    // The URL as stored: a URL whose object is empty or "/" gets the
    // default servlet; any other is kept. Empty when it does not parse.
    static WString ExtendUrl(WStringView url);

private:
    CXmlDocument m_document;
    WString m_errorText;
};
