#include "desktop/support/xml_layer.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "desktop/support/interface_text.h"
#include "desktop/support/xml_parse.h"
#include "formats/dbf/dbf_engine.h"

namespace zntools {
namespace {

// ------------------------------------------------------------ the handle table

// A document lives while its handle or a handle of one of its nodes lives.
// Nodes taken out of the tree by add-replace stay here until nothing refers
// into them any more, or until the document goes.
struct Document {
    xmlDocPtr doc = nullptr;
    bool hadDeclaration = false;
    std::vector<xmlNodePtr> detached;
    ~Document() {
        for (xmlNodePtr n : detached) xmlFreeNode(n);
        xmlFreeDoc(doc);
    }
};

struct Entry {
    xmlNodePtr node = nullptr;  // null for a table
    std::shared_ptr<Document> document;
    DbfTable* table = nullptr;
    long refs = 1;
};

std::mutex g_mutex;
std::unordered_map<Token, Entry> g_entries;
std::unordered_map<xmlNodePtr, Token> g_nodeTokens;
// Tokens are never reused; they start far from where heap addresses live.
Token g_nextToken = 0x2A5D0001;

Entry* Find(Token t, bool table) {
    auto it = g_entries.find(t);
    if (it == g_entries.end() || (it->second.table != nullptr) != table) return nullptr;
    return &it->second;
}

Token HandleFor(xmlNodePtr node, const std::shared_ptr<Document>& document) {
    if (auto it = g_nodeTokens.find(node); it != g_nodeTokens.end()) {
        ++g_entries[it->second].refs;
        return it->second;
    }
    const Token t = g_nextToken++;
    Entry e;
    e.node = node;
    e.document = document;
    g_entries.emplace(t, std::move(e));
    g_nodeTokens.emplace(node, t);
    return t;
}

xmlNodePtr TopOf(xmlNodePtr n) {
    while (n->parent) n = n->parent;
    return n;
}

bool IsInside(xmlNodePtr n, xmlNodePtr root) {
    for (; n; n = n->parent)
        if (n == root) return true;
    return false;
}

// True when a live handle refers to root or to a node below it.
bool HasHandleInside(xmlNodePtr root) {
    for (const auto& [node, token] : g_nodeTokens)
        if (IsInside(node, root)) return true;
    return false;
}

// Frees a detached subtree once no handle refers into it.
void CollectDetached(Document& d, xmlNodePtr top) {
    for (auto it = d.detached.begin(); it != d.detached.end(); ++it) {
        if (*it != top) continue;
        if (!HasHandleInside(top)) {
            d.detached.erase(it);
            xmlFreeNode(top);
        }
        return;
    }
}

void ReleaseLocked(Token t) {
    auto it = g_entries.find(t);
    if (it == g_entries.end() || --it->second.refs > 0) return;
    Entry e = std::move(it->second);
    g_entries.erase(it);
    if (e.table) {
        DbfClose(e.table);
        return;
    }
    g_nodeTokens.erase(e.node);
    if (e.node->type != XML_DOCUMENT_NODE) CollectDetached(*e.document, TopOf(e.node));
    // The document itself goes with the last shared reference, here.
}

// ------------------------------------------------------------------- saving

std::optional<std::string> Serialize(const Document& d) {
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer) return std::nullopt;
    const int options = d.hadDeclaration ? 0 : XML_SAVE_NO_DECL;
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", options);
    if (!save) {
        xmlBufferFree(buffer);
        return std::nullopt;
    }
    const long written = xmlSaveDoc(save, d.doc);
    const int closed = xmlSaveClose(save);
    std::optional<std::string> out;
    if (written >= 0 && closed >= 0)
        out.emplace(reinterpret_cast<const char*>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return out;
}

mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return 0666 & ~static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 0644;
}

bool WriteBesideAndRename(const std::string& named, const std::string& bytes) {
    // A symbolic link stays: its target gets the new content.
    std::string target = named;
    struct stat lst;
    if (::lstat(named.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char* real = ::realpath(named.c_str(), nullptr);
        if (!real) return false;
        target = real;
        std::free(real);
    }
    // The rename would replace a file that may not be written (a read-only
    // one, whoever runs this), or something that is no file at all.
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                   ::access(target.c_str(), W_OK) != 0))
        return false;
    std::string tmp = target + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) return false;
    const mode_t mode = exists ? (st.st_mode & 07777) : NewFileMode();
    bool ok = fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool ReadFile(const std::string& path, std::string* out) {
    // Non-blocking, so that naming a FIFO or a device cannot hang the caller;
    // only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        out->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

// ------------------------------------------------------------------ helpers

std::string Utf8(const xmlChar* s) {
    return s ? std::string(reinterpret_cast<const char*>(s)) : std::string();
}

std::string Content(xmlNodePtr n) {
    xmlChar* c = xmlNodeGetContent(n);
    std::string s = Utf8(c);
    xmlFree(c);
    return s;
}

std::string QualifiedName(xmlAttrPtr a) {
    std::string name = Utf8(a->name);
    if (a->ns && a->ns->prefix) name = Utf8(a->ns->prefix) + ":" + name;
    return name;
}

bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsXmlText(const std::string& s) {
    const char* p = s.data();
    const char* e = p + s.size();
    while (p < e) {
        char32_t c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            ++p;
        } else if (!text::DecodeUtf8(p, e, c)) {
            return false;
        }
        if (!IsXmlChar(c)) return false;
    }
    return true;
}

xmlNodePtr FirstChildElementNamed(xmlNodePtr parent, const xmlChar* name) {
    for (xmlNodePtr c = parent->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && xmlStrEqual(c->name, name)) return c;
    return nullptr;
}

xmlNodePtr RootElement(xmlNodePtr docNode) {
    for (xmlNodePtr c = docNode->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) return c;
    return nullptr;
}

// Appends without merging adjacent text, as a DOM append does.
void AppendChild(xmlNodePtr parent, xmlNodePtr child) {
    child->parent = parent;
    child->next = nullptr;
    child->prev = parent->last;
    if (parent->last)
        parent->last->next = child;
    else
        parent->children = child;
    parent->last = child;
}

}  // namespace

// ------------------------------------------------------------------ the layer

Token LoadDocument(std::string_view bytes) {
    xmlDocPtr doc = ParseXml(bytes);
    if (!doc) return 0;
    auto d = std::make_shared<Document>();
    d->doc = doc;
    d->hadDeclaration = StartsWithDeclaration(bytes);
    std::lock_guard lock(g_mutex);
    return HandleFor(reinterpret_cast<xmlNodePtr>(doc), d);
}

Token LoadDocumentFile(const std::string& hostPath) {
    std::string bytes;
    if (!ReadFile(hostPath, &bytes)) return 0;
    return LoadDocument(bytes);
}

std::optional<std::string> SaveDocument(Token t) {
    std::lock_guard lock(g_mutex);
    Entry* e = Find(t, false);
    if (!e || e->node->type != XML_DOCUMENT_NODE) return std::nullopt;
    return Serialize(*e->document);
}

bool SaveDocumentFile(Token t, const std::string& hostPath) {
    if (hostPath.empty()) return false;
    std::optional<std::string> bytes = SaveDocument(t);
    return bytes && WriteBesideAndRename(hostPath, *bytes);
}

Token SelectNode(Token t, const std::string& xpath) {
    std::lock_guard lock(g_mutex);
    Entry* e = Find(t, false);
    if (!e || xpath.empty()) return 0;
    xmlNodePtr node = e->node;
    xmlXPathContextPtr ctx = xmlXPathNewContext(e->document->doc);
    if (!ctx) return 0;
    ctx->error = SilentStructured;
    ctx->node = node;
    // The prefixes declared in scope of the node (innermost first).
    xmlNodePtr scope = node->type == XML_ATTRIBUTE_NODE ? node->parent : node;
    if (scope && scope->type == XML_ELEMENT_NODE) {
        if (xmlNsPtr* list = xmlGetNsList(scope->doc, scope)) {
            for (xmlNsPtr* ns = list; *ns; ++ns)
                if ((*ns)->prefix) xmlXPathRegisterNs(ctx, (*ns)->prefix, (*ns)->href);
            xmlFree(list);
        }
    }
    Token found = 0;
    xmlXPathObjectPtr r = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), ctx);
    if (r && r->type == XPATH_NODESET && r->nodesetval && r->nodesetval->nodeNr > 0) {
        xmlNodePtr n = r->nodesetval->nodeTab[0];
        if (n && n->type != XML_NAMESPACE_DECL) found = HandleFor(n, e->document);
    }
    xmlXPathFreeObject(r);
    xmlXPathFreeContext(ctx);
    return found;
}

std::optional<std::string> NodeTag(Token t) {
    std::lock_guard lock(g_mutex);
    Entry* e = Find(t, false);
    if (!e) return std::nullopt;
    switch (e->node->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
        case XML_PI_NODE:
        case XML_ENTITY_REF_NODE:
            return Utf8(e->node->name);
        default:
            return std::string();
    }
}

std::optional<std::string> NodeText(Token t) {
    std::lock_guard lock(g_mutex);
    Entry* e = Find(t, false);
    if (!e) return std::nullopt;
    return Content(e->node);
}

std::optional<std::string> NodeAttribute(Token t, const std::string& name) {
    std::lock_guard lock(g_mutex);
    Entry* e = Find(t, false);
    if (!e) return std::nullopt;
    if (e->node->type != XML_ELEMENT_NODE) return std::string();
    for (xmlAttrPtr a = e->node->properties; a; a = a->next)
        if (QualifiedName(a) == name) return Content(reinterpret_cast<xmlNodePtr>(a));
    return std::string();
}

void SetNodeAttribute(Token t, const std::string& name, const std::string& value) {
    std::lock_guard lock(g_mutex);
    Entry* e = Find(t, false);
    if (!e || e->node->type != XML_ELEMENT_NODE) return;
    const auto* n = reinterpret_cast<const xmlChar*>(name.c_str());
    if (name.empty() || xmlValidateName(n, 0) != 0 || !IsXmlText(value)) return;
    // A prefix must be bound where the attribute goes, or the saved file
    // would not read back.
    if (const size_t colon = name.find(':'); colon != std::string::npos) {
        const std::string prefix = name.substr(0, colon);
        if (prefix != "xmlns" && !xmlSearchNs(e->node->doc, e->node, reinterpret_cast<const xmlChar*>(prefix.c_str())))
            return;
    }
    xmlSetProp(e->node, n, reinterpret_cast<const xmlChar*>(value.c_str()));
}

Token AddReplaceNode(Token parentToken, Token nodeToken) {
    std::lock_guard lock(g_mutex);
    Entry* p = Find(parentToken, false);
    Entry* s = Find(nodeToken, false);
    if (!p || !s) return 0;
    xmlNodePtr parent = p->node;
    xmlNodePtr source = s->node;
    const bool parentIsDocument = parent->type == XML_DOCUMENT_NODE;
    if (parent->type != XML_ELEMENT_NODE && !parentIsDocument) return 0;
    switch (source->type) {
        case XML_ELEMENT_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            break;
        default:
            return 0;  // documents, attributes and the rest cannot be appended
    }
    if (parentIsDocument && source->type != XML_ELEMENT_NODE && source->type != XML_COMMENT_NODE &&
        source->type != XML_PI_NODE)
        return 0;
    const xmlChar* base = source->type == XML_ELEMENT_NODE || source->type == XML_PI_NODE ? source->name : nullptr;
    xmlNodePtr old = base ? FirstChildElementNamed(parent, base) : nullptr;
    if (parentIsDocument && source->type == XML_ELEMENT_NODE) {
        xmlNodePtr root = RootElement(parent);
        if (root && root != old) return 0;  // a second root element
    }
    xmlDocPtr targetDoc = p->document->doc;
    xmlNodePtr copy = xmlDocCopyNode(source, targetDoc, 1);
    if (!copy) return 0;
    if (old) {
        xmlUnlinkNode(old);
        if (HasHandleInside(old))
            p->document->detached.push_back(old);
        else
            xmlFreeNode(old);
    }
    AppendChild(parent, copy);
    return HandleFor(copy, p->document);
}

void ReleaseNode(Token t) {
    std::lock_guard lock(g_mutex);
    if (Find(t, false)) ReleaseLocked(t);
}

Token RegisterTable(DbfTable* table) {
    if (!table) return 0;
    std::lock_guard lock(g_mutex);
    const Token t = g_nextToken++;
    Entry e;
    e.table = table;
    g_entries.emplace(t, std::move(e));
    return t;
}

bool IsValidTableRecord(Token t, int32_t record) {
    std::lock_guard lock(g_mutex);
    Entry* e = Find(t, true);
    if (!e || DbfSeek(e->table, record) < 0) return false;
    return DbfIsRecordValid(e->table) == 1;
}

void CloseTable(Token t) {
    std::lock_guard lock(g_mutex);
    if (Find(t, true)) ReleaseLocked(t);
}

}  // namespace zntools
