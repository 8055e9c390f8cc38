// Feeds arbitrary bytes through what the map server client reads from a
// server: the UTF-8 decoding of an answer, the response checks, and the
// readers of the service information, the catalogue, the image response and
// the feature response;
// then the same bytes as a server workspaces file with its URL.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "map/layers/internet_layer.h"
#include "map/server/feature_response.h"
#include "map/server/ombrix_connection.h"
#include "map/server/server_workspaces.h"
#include "platform/fs/fs.h"
#include "platform/net/url.h"

namespace {

std::string g_root;

void Init() {
    char pattern[] = "/tmp/zn_server_fuzz_XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) abort();
    g_root = dir;
    setenv("ZARNIP_ROOT", dir, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (g_root.empty()) Init();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const WString text = text::FromUtf8(bytes);

    CMapServerResponse response;
    const bool parsed = response.Parse(text);
    (void)parsed;
    if (response.GetRoot()) {
        CInternetLayer::ServiceInfo info;
        WString message;
        CInternetLayer::ReadServiceInfo(response, info, message);
        CDoubleRect envelope;
        WString url, error;
        if (COmbrixConnection::ReadImageResponse(response, envelope, url, error)) net::ParseUrl(text::ToUtf8(url));
        ServerFeatureSet features;
        if (ReadFeatureResponse(response, features))
            for (const ServerFeature& f : features.features)
                for (const auto& [name, value] : f.fields) (void)(name.size() + value.size());
        // The catalogue: the children of RESPONSE/SERVICES and their attributes.
        if (CXmlNode* answer = response.GetRoot()->FindChild(u"RESPONSE"))
            if (CXmlNode* services = answer->FindChild(u"SERVICES"))
                for (int i = 0; i < services->GetChildCount(); ++i) {
                    const CXmlNode* service = services->GetChild(i);
                    for (const WChar* name : {u"NAME", u"SERVICEGROUP", u"ACCESS", u"TYPE", u"DESC", u"GROUP", u"STATUS"})
                        service->GetAttribute(name);
                }
    }

    // The same bytes as a workspaces file.
    const std::string host = g_root + "/x.mvd";
    if (FILE* f = fopen(host.c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
    CServerWorkspaces workspaces;
    workspaces.Load(u"\\x.mvd");
    WString name, url, service;
    if (workspaces.FindImageServerWorkspace(name, url, service)) {
        net::ParseUrl(text::ToUtf8(url));
        CServerWorkspaces::ExtendUrl(url);
    }
    return 0;
}
