// The library's fourteen exports: text checks and conversions around the XML
// layer and the dBASE engine.
#include "zarnip/zntools3.h"

#include <libxml/parser.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "desktop/support/interface_text.h"
#include "desktop/support/xml_layer.h"
#include "formats/dbf/dbf_engine.h"
#include "platform/fs/fs.h"

#define ZN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using zntools::Token;

Token TokenOf(const void* handle) {
    return reinterpret_cast<Token>(handle);
}
znXmlNode* NodeOf(Token t) {
    return reinterpret_cast<znXmlNode*>(t);
}

// Load time: the parser's one-time set-up (the library never tears libxml2
// down, which would break a host that uses it too) and the code page.
__attribute__((constructor)) void OnLoad() {
    xmlInitParser();
    zntools::InitInterfaceCodePage();
}

// A host path from the interface: made absolute against the working folder.
std::optional<std::string> HostPathOf(const char* path) {
    std::optional<std::string> p = zntools::FromInterface(path);
    if (!p || p->empty()) return std::nullopt;
    if ((*p)[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return std::nullopt;
        *p = std::string(cwd) + "/" + *p;
    }
    return p;
}

int32_t GetText(std::optional<std::string> text, char* buffer, int32_t size) {
    if (!buffer || size < 1) return 0;
    zntools::CopyToBuffer(text ? *text : std::string(), buffer, size);
    return 0;
}

}  // namespace

ZN_EXPORT int32_t StrToUTF8(const char* source, int32_t codePage, char* destination) {
    if (!destination) return -1;
    std::memset(destination, 0, std::strlen(destination));
    if (!source) return 0;
    unsigned cp = codePage == 0 ? zntools::InterfaceCodePage() : codePage == 1 ? 437u : static_cast<unsigned>(codePage);
    if (codePage < 0 || (cp != text::kCpUtf8 && !text::IsCodePageSupported(cp))) return 0;
    bool ok = true;
    const WString wide = text::FromCodePage(std::string_view(source), cp, &ok);
    if (!ok) return 0;
    std::string out;
    out.reserve(wide.size() * 3);
    for (char16_t u : wide) {
        if (u == 0) break;
        zntools::AppendHandheldUtf8(out, u);
    }
    std::memcpy(destination, out.data(), out.size());
    destination[out.size()] = '\0';
    return static_cast<int32_t>(out.size());
}

ZN_EXPORT znTable* dbOpen(const char* path) {
    std::optional<std::string> host = HostPathOf(path);
    if (!host) return nullptr;
    const WString device = fs::DevicePathFromHost(*host);
    if (device.empty()) return nullptr;
    DbfHandle h = DbfOpen<char>(text::ToUtf8(device).c_str(), kDbfShareAll);
    if (!h) return nullptr;
    const Token t = zntools::RegisterTable(h);
    if (!t) DbfClose(h);
    return reinterpret_cast<znTable*>(t);
}

ZN_EXPORT void dbClose(znTable* table) {
    zntools::CloseTable(TokenOf(table));
}

ZN_EXPORT int32_t dbIsValidRecord(znTable* table, int32_t record) {
    return zntools::IsValidTableRecord(TokenOf(table), record) ? 1 : 0;
}

ZN_EXPORT znXmlNode* xmlLoad(const char* path) {
    std::optional<std::string> host = HostPathOf(path);
    return host ? NodeOf(zntools::LoadDocumentFile(*host)) : nullptr;
}

ZN_EXPORT int32_t xmlSave(znXmlNode* document, const char* path) {
    std::optional<std::string> host = HostPathOf(path);
    return host && zntools::SaveDocumentFile(TokenOf(document), *host) ? 1 : 0;
}

ZN_EXPORT void xmlRelease(znXmlNode* node) {
    zntools::ReleaseNode(TokenOf(node));
}

ZN_EXPORT znXmlNode* xmlGetNode(znXmlNode* node, const char* pattern) {
    std::optional<std::string> p = zntools::FromInterface(pattern);
    return p ? NodeOf(zntools::SelectNode(TokenOf(node), *p)) : nullptr;
}

ZN_EXPORT int32_t xmlGetNodeTag(znXmlNode* node, char* buffer, int32_t size) {
    return GetText(zntools::NodeTag(TokenOf(node)), buffer, size);
}

ZN_EXPORT int32_t xmlGetNodeText(znXmlNode* node, char* buffer, int32_t size) {
    return GetText(zntools::NodeText(TokenOf(node)), buffer, size);
}

ZN_EXPORT int32_t xmlGetAttribute(znXmlNode* node, const char* name, char* buffer, int32_t size) {
    std::optional<std::string> n = zntools::FromInterface(name);
    return GetText(n ? zntools::NodeAttribute(TokenOf(node), *n) : std::nullopt, buffer, size);
}

ZN_EXPORT int32_t xmlSetAttribute(znXmlNode* node, const char* name, const char* value) {
    std::optional<std::string> n = zntools::FromInterface(name);
    std::optional<std::string> v = zntools::FromInterface(value);
    if (n && v) zntools::SetNodeAttribute(TokenOf(node), *n, *v);
    return 0;
}

ZN_EXPORT znXmlNode* xmlNodeAddReplace(znXmlNode* parent, znXmlNode* newNode) {
    return NodeOf(zntools::AddReplaceNode(TokenOf(parent), TokenOf(newNode)));
}

ZN_EXPORT int32_t xmlMerge(int32_t, int32_t, int32_t) {
    return 0;
}
