#include "desktop/support/xml_parse.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstring>

namespace zntools {

std::string CesuToUtf8(std::string_view b) {
    std::string out;
    out.reserve(b.size());
    auto unit = [&](size_t i) -> unsigned {
        return ((static_cast<unsigned char>(b[i]) & 0x0F) << 12) |
               ((static_cast<unsigned char>(b[i + 1]) & 0x3F) << 6) |
               (static_cast<unsigned char>(b[i + 2]) & 0x3F);
    };
    auto isSurrogateSeq = [&](size_t i, unsigned lo, unsigned hi) {
        if (i + 3 > b.size() || static_cast<unsigned char>(b[i]) != 0xED) return false;
        const auto c1 = static_cast<unsigned char>(b[i + 1]);
        const auto c2 = static_cast<unsigned char>(b[i + 2]);
        return c1 >= lo && c1 <= hi && (c2 & 0xC0) == 0x80;
    };
    size_t i = 0;
    while (i < b.size()) {
        if (isSurrogateSeq(i, 0xA0, 0xAF) && isSurrogateSeq(i + 3, 0xB0, 0xBF)) {
            const char32_t cp = 0x10000 + ((unit(i) - 0xD800) << 10) + (unit(i + 3) - 0xDC00);
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            i += 6;
        } else {
            out += b[i++];
        }
    }
    return out;
}

namespace {

void SilentGeneric(void*, const char*, ...) {}

struct ParseState {
    bool refused = false;
    int refusedLine = 0;
    internalSubsetSAXFunc internalSubset = nullptr;
};

void Refuse(void* ctx) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    state->refused = true;
    state->refusedLine = xmlSAX2GetLineNumber(ctx);
    xmlStopParser(ctxt);
}

// A DOCTYPE that names an external subset is refused before anything is
// fetched; so is any entity declaration (expanding entities later can take
// exponential time, and the system's own files never declare any).
void OnInternalSubset(void* ctx, const xmlChar* name, const xmlChar* externalId,
                      const xmlChar* systemId) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    if (externalId || systemId) {
        Refuse(ctx);
        return;
    }
    static_cast<ParseState*>(ctxt->_private)->internalSubset(ctx, name, externalId, systemId);
}
void OnEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    Refuse(ctx);
}
void OnUnparsedEntityDecl(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*,
                          const xmlChar*) {
    Refuse(ctx);
}
void OnExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}

}  // namespace

void SilentStructured(void*, xmlErrorPtr) {}

bool StartsWithDeclaration(std::string_view b) {
    if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
    if (b.size() >= 6 && b.substr(0, 5) == "<?xml") {
        const char c = b[5];
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    }
    // UTF-16 with a byte order mark.
    static const char le[] = "\xFF\xFE<\0?\0x\0m\0l\0";
    static const char be[] = "\xFE\xFF\0<\0?\0x\0m\0l";
    return (b.size() >= 12 && std::memcmp(b.data(), le, 12) == 0) ||
           (b.size() >= 12 && std::memcmp(b.data(), be, 12) == 0);
}

namespace {

// The encoding the declaration names, lower case; empty when none.
std::string DeclaredEncoding(std::string_view b) {
    if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
    if (b.substr(0, 5) != "<?xml") return {};
    const size_t end = b.find("?>");
    const std::string_view decl = b.substr(0, end == std::string_view::npos ? b.size() : end);
    const size_t at = decl.find("encoding");
    if (at == std::string_view::npos) return {};
    size_t i = decl.find_first_of("\"'", at);
    if (i == std::string_view::npos) return {};
    const char quote = decl[i];
    const size_t j = decl.find(quote, i + 1);
    if (j == std::string_view::npos) return {};
    std::string enc(decl.substr(i + 1, j - i - 1));
    for (char& c : enc) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return enc;
}

bool IsUtf16(std::string_view b) {
    return b.size() >= 2 &&
           ((b[0] == '\xFF' && b[1] == '\xFE') || (b[0] == '\xFE' && b[1] == '\xFF'));
}

}  // namespace

xmlDocPtr ParseXml(std::string_view bytes, const XmlParseOptions& opts, XmlParseError* error) {
    auto fail = [&](int line, std::string message) -> xmlDocPtr {
        if (error) {
            error->line = line;
            error->message = std::move(message);
        }
        return nullptr;
    };
    if (bytes.empty()) return fail(0, "the document is empty");
    if (bytes.size() > static_cast<size_t>(INT32_MAX)) return fail(0, "the document is too large");
    std::string fixed;
    const std::string enc = DeclaredEncoding(bytes);
    if (!IsUtf16(bytes) && (enc.empty() || enc == "utf-8" || enc == "utf8")) {
        fixed = CesuToUtf8(bytes);
        bytes = fixed;
    }
    // Some of libxml2's complaints (a byte sequence the declared encoding
    // cannot convert) go to its generic handler, which prints on stderr;
    // silenced for this parse only, and the caller's handler put back.
    struct GenericErrorsSilenced {
        xmlGenericErrorFunc func = xmlGenericError;
        void* context = xmlGenericErrorContext;
        GenericErrorsSilenced() { xmlSetGenericErrorFunc(nullptr, SilentGeneric); }
        ~GenericErrorsSilenced() { xmlSetGenericErrorFunc(context, func); }
    } silenced;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) return fail(0, "out of memory");
    ParseState state;
    state.internalSubset = ctxt->sax->internalSubset;
    ctxt->_private = &state;
    ctxt->sax->serror = SilentStructured;
    ctxt->sax->internalSubset = OnInternalSubset;
    ctxt->sax->externalSubset = OnExternalSubset;
    ctxt->sax->entityDecl = OnEntityDecl;
    ctxt->sax->unparsedEntityDecl = OnUnparsedEntityDecl;
    ctxt->vctxt.error = SilentGeneric;
    ctxt->vctxt.warning = SilentGeneric;
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    if (!opts.keepBlanks) options |= XML_PARSE_NOBLANKS;
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                      nullptr, options);
    const bool ok = doc && !state.refused && ctxt->wellFormed;
    int line = 0;
    std::string message;
    if (!ok) {
        if (state.refused) {
            line = state.refusedLine;
            message = "entity declarations and external document types are not accepted";
        } else if (const xmlError* e = xmlCtxtGetLastError(ctxt); e && e->message) {
            line = e->line;
            message = e->message;
            while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
                message.pop_back();
        } else {
            message = "not well-formed";
        }
    }
    xmlFreeParserCtxt(ctxt);
    if (!ok) {
        if (doc) xmlFreeDoc(doc);
        return fail(line, std::move(message));
    }
    return doc;
}

}  // namespace zntools
