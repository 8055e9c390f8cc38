// The XML layer behind the library's interface: documents parsed by libxml2,
// handed out as tokens from one thread-safe table (never object addresses),
// with the reference rules of a counted DOM. Texts here are UTF-8; the
// interface converts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct DbfTable;

namespace zntools {

using Token = uintptr_t;  // 0 is no handle

// Parses a document; 0 when it is not well-formed, declares entities or
// names an external DTD. A document in UTF-8 may hold CESU-8 pairs.
Token LoadDocument(std::string_view bytes);
Token LoadDocumentFile(const std::string& hostPath);
// The document as UTF-8 text; nothing for a bad handle.
std::optional<std::string> SaveDocument(Token document);
// Writes beside the target and renames over it; false leaves the target as
// it was and no temporary file behind.
bool SaveDocumentFile(Token document, const std::string& hostPath);

Token SelectNode(Token node, const std::string& xpath);
std::optional<std::string> NodeTag(Token node);
std::optional<std::string> NodeText(Token node);
std::optional<std::string> NodeAttribute(Token node, const std::string& name);
void SetNodeAttribute(Token node, const std::string& name, const std::string& value);
Token AddReplaceNode(Token parent, Token node);
void ReleaseNode(Token node);

// dBASE tables share the table of handles.
Token RegisterTable(DbfTable* table);
// Seeks the table and tests the row there; false for a bad handle too.
bool IsValidTableRecord(Token table, int32_t record);
void CloseTable(Token table);

}  // namespace zntools
