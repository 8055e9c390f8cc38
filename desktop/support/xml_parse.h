// The hardened XML parse shared by the support library and the desktop host:
// libxml2 with no network, no entity declarations and no external subsets
// (a document that declares either is refused before anything is expanded or
// fetched), nothing printed on stderr, and CESU-8 pairs in UTF-8 input read
// as the characters they stand for.
#pragma once

#include <libxml/tree.h>

#include <string>
#include <string_view>

namespace zntools {

struct XmlParseOptions {
    // Blank text nodes between elements are kept (a document merged and
    // saved again keeps its layout); dropped otherwise.
    bool keepBlanks = false;
};

struct XmlParseError {
    int line = 0;         // 0 when no line is known
    std::string message;  // what libxml2 said, or why the document was refused
};

// The parsed document (the caller frees it with xmlFreeDoc), or null with the
// reason in *error when given.
xmlDocPtr ParseXml(std::string_view bytes, const XmlParseOptions& options = {},
                   XmlParseError* error = nullptr);

// Whether the bytes begin with an XML declaration (after a UTF-8 byte order
// mark), or are UTF-16 with a byte order mark.
bool StartsWithDeclaration(std::string_view bytes);
// A structured error handler that drops the error.
void SilentStructured(void* context, xmlErrorPtr error);

// Rewrites CESU-8 surrogate pairs (two 3-byte sequences) as standard 4-byte
// UTF-8; every other byte is kept.
std::string CesuToUtf8(std::string_view bytes);

}  // namespace zntools
