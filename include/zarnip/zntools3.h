/* znTools3: the desktop support library.
 *
 * A flat C interface for desktop scripts and programs that prepare data for
 * the handheld program: load, query, change and save XML documents, turn
 * 8-bit text of any code page into the UTF-8 the handheld reads, and ask
 * whether a row of a dBASE table exists and is not deleted.
 *
 * Calling convention: every function uses the one C calling convention of the
 * platform (there is no separate "stdcall" on x86-64 Linux, and no ordinals).
 *
 * Text: every 8-bit text given to or returned by the XML functions and every
 * path is in the interface code page. That is UTF-8 unless the environment
 * variable ZNTOOLS3_CODEPAGE, read once when the library is loaded, names
 * another (a code page number such as 1252 or 932). UTF-8 input may also be
 * CESU-8 (characters outside the Basic Multilingual Plane written as two
 * 3-byte surrogate sequences). Text that is not valid in the interface code
 * page is refused: the call does nothing and gives its neutral result.
 * Characters the interface code page cannot hold come back as '?'.
 *
 * Buffers: a getter's size counts bytes and includes the terminator. With a
 * buffer and a size of 1 or more the getter clears `size` bytes, then writes
 * at most size - 1 bytes and the terminator, never splitting a character.
 * With a null buffer or a size of 0 or less nothing is written. Getters
 * always return 0.
 *
 * Handles: documents and nodes (a document is also a node) are opaque
 * handles. Every handle a function returns carries one reference, given back
 * with xmlRelease. A node has one handle, whichever call returns it. A
 * document stays alive while its handle or a handle of any of its nodes
 * lives. Tables are closed with dbClose. A released, closed or made-up
 * handle, or a handle of the other kind, is not used: the call gives its
 * neutral result (0, NULL, an empty buffer, FALSE). A handle must not be
 * used by two threads at once; different handles may be.
 *
 * Selection (xmlGetNode): XPath 1.0, relative to the node, with the
 * namespace prefixes declared in scope of the node. Positions count from 1
 * ("A[1]" is the first A). Plain paths of element names ("A", "A/B", "//A",
 * ".", "..", "*", "@a") select what they always did. An expression whose
 * result is not a node, an invalid expression or no match gives NULL.
 */
#ifndef ZARNIP_ZNTOOLS3_H
#define ZARNIP_ZNTOOLS3_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct znXmlNode znXmlNode; /* an XML node or document */
typedef struct znTable znTable;     /* an open dBASE table */

/* Converts the terminated text `source` in code page `codePage` (0: the
 * interface code page, 1: the OEM code page 437) to UTF-8 in `destination`.
 * Each UTF-16 unit becomes 1 to 3 bytes; a character outside the Basic
 * Multilingual Plane becomes two 3-byte sequences (six bytes), the form the
 * handheld program reads. There is no size argument: `destination` must hold
 * a terminated text (its old text is cleared up to its terminator) and have
 * room for 3 bytes per source byte plus 1. Returns the number of bytes
 * written without the terminator, 0 for a NULL source or an unknown code page
 * (the destination is then empty), -1 for a NULL destination. */
int32_t StrToUTF8(const char* source, int32_t codePage, char* destination);

/* Closes a table; NULL and unknown handles are ignored. */
void dbClose(znTable* table);
/* Moves the table to `record` (0-based, or -2 current, -3 end, -4 first,
 * -5 next, -6 previous, -7 last) and answers 1 when that row exists and is
 * not marked deleted, else 0 (also for a failed move, a position at or past
 * the row count, and a bad handle). */
int32_t dbIsValidRecord(znTable* table, int32_t record);
/* Opens a dBASE table read-only, sharing reads and writes. The path is a host
 * path, relative to the working folder or absolute; a name the handheld's
 * file system cannot hold (: * ? " < > |, control characters, trailing dots
 * or blanks) cannot be opened. NULL on any failure. */
znTable* dbOpen(const char* path);

/* Copies the value of attribute `name` of an element into the buffer (empty
 * when absent or when the node is not an element). */
int32_t xmlGetAttribute(znXmlNode* node, const char* name, char* buffer, int32_t size);
/* The first node the selection matches, relative to `node`; NULL if none. */
znXmlNode* xmlGetNode(znXmlNode* node, const char* pattern);
/* The node's name without a namespace prefix (empty for text, comment and
 * document nodes). */
int32_t xmlGetNodeTag(znXmlNode* node, char* buffer, int32_t size);
/* The node's text: for an element the text and CDATA of all its
 * descendants. */
int32_t xmlGetNodeText(znXmlNode* node, char* buffer, int32_t size);
/* Loads a document from a file without network access, entity substitution
 * or DTD loading, dropping whitespace-only text. A document that declares
 * entities or names an external DTD is refused. NULL on any failure. */
znXmlNode* xmlLoad(const char* path);
/* Does nothing; returns 0. */
int32_t xmlMerge(int32_t a, int32_t b, int32_t c);
/* Removes the first child element of `parent` with the local name of
 * `newNode`, appends a deep copy of `newNode` (which may belong to another
 * document and is not changed) and returns the copy. A removed node's handle
 * stays valid. NULL when nothing was appended. */
znXmlNode* xmlNodeAddReplace(znXmlNode* parent, znXmlNode* newNode);
/* Gives back one reference of a handle; NULL is ignored. */
void xmlRelease(znXmlNode* node);
/* Saves the document as UTF-8 (with a declaration only when the loaded file
 * had one), through a temporary file renamed over the target. 1 when saved;
 * 0 with the old file untouched otherwise. */
int32_t xmlSave(znXmlNode* document, const char* path);
/* Sets an attribute of an element. A name that is not an XML name, a NULL
 * value or a value with characters XML cannot hold changes nothing. */
int32_t xmlSetAttribute(znXmlNode* node, const char* name, const char* value);

#ifdef __cplusplus
}
#endif

#endif
