// How the program writes its XML files (preferences, map documents, layer
// definitions, bookmarks): a streaming writer of indented UTF-8 under the root
// element "Zarnip" that leaves out every attribute equal to its default, plus
// a CXmlDocument for reading.
//
// Output: the declaration line, then one element per line, two blanks of
// indent per level, CR LF, UTF-8 without a byte-order mark. The caller makes
// the calls in document order and keeps tags balanced.
//
// Nothing is lost on failure: the text is collected while writing and Close
// replaces the file through a temporary file, so a failed save (a full card)
// leaves the old file as it was. Close throws CFileException when that fails.
// Destroying an open writer saves it without end tags, unless the stack is
// unwinding from an exception, in which case the old file is kept.
//
// The compact layout (the desktop's exports) writes no declaration unless
// asked, no indent and no line ends: the file then holds exactly what the
// caller wrote, and WriteRaw adds nothing to kept whitespace and comments.
#pragma once

#include <optional>
#include <string>

#include "core/double_rect.h"
#include "core/xml_node.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CConfigXmlFile {
public:
    static constexpr const WChar* kRootName = u"Zarnip";
    enum class Layout { Indented, Compact };

    CConfigXmlFile() = default;
    ~CConfigXmlFile();
    CConfigXmlFile(const CConfigXmlFile&) = delete;
    CConfigXmlFile& operator=(const CConfigXmlFile&) = delete;

    // The document used for reading.
    CXmlDocument& GetDocument() { return m_document; }
    const CXmlDocument& GetDocument() const { return m_document; }
    // The boolean "debug" attribute of the document's root, false when absent.
    bool IsDebug() const;

    // Starts a new file (closing an earlier one with its end tags). With
    // `writeTop`, writes the root element and, one level in, `topName` with
    // the attribute name="nameValue" when nameValue is not empty; children
    // then start at level 2. False when the file cannot be created.
    bool Open(WStringView path, bool writeTop, const WChar* topName = nullptr,
              const WChar* nameValue = nullptr);
    // Starts a new file in the given layout, writing nothing yet but the
    // declaration when asked. False when the file cannot be created.
    bool Open(WStringView path, Layout layout, bool declaration);
    // Writes the end tags of the top element and the root when asked, then
    // saves. Throws CFileException when the file cannot be written.
    void Close(bool writeEndTags);
    bool IsOpen() const { return m_open; }
    int GetLevel() const { return m_level; }

    // An indent below 0 stands for the current level.
    void StartElement(int indent, const WChar* name, bool open, const WChar* format = nullptr, ...);
    void BeginElement(int indent, const WChar* name);
    void EndStartTag(bool open);
    void EndElement(int indent, const WChar* name);
    // One line <name attrs>text</name> or <name attrs/>; the text is written as given.
    void WriteElementWithText(int indent, const WChar* name, const WChar* text,
                              const WChar* format = nullptr, ...);
    // The formatted text with one blank before it, when not empty.
    void WriteFormatted(const WChar* format, ...);
    void WriteIndent(int level);
    void NewLine();
    // indent -1: the current level; below -1: none.
    void WriteRaw(int indent, WStringView text, bool newLine);

    // Attribute writers: one blank and name="value" into the start tag being
    // written, left out when the value equals the given default.
    void WriteStringAttribute(const WChar* name, WStringView value, const WChar* def = nullptr);
    // The text is written as given: the caller escapes it.
    void WriteAttribute(const WChar* name, WStringView text, const WChar* def = nullptr);
    void WriteBoolAttribute(const WChar* name, bool value, std::optional<bool> def = std::nullopt);
    // "%.15g"; NaN never equals its default, so it is always written.
    void WriteDoubleAttribute(const WChar* name, double value,
                              std::optional<double> def = std::nullopt);
    void WriteIntAttribute(const WChar* name, int value, std::optional<int> def = std::nullopt);
    // "r,g,b" from a COLORREF (red in the low byte).
    void WriteColorAttribute(const WChar* name, COLORREF color,
                             std::optional<COLORREF> def = std::nullopt);
    // The 8-bit character as its Latin-1 character, escaped.
    void WriteCharAttribute(const WChar* name, char ch, std::optional<char> def = std::nullopt);
    // minx, miny, maxx, maxy; left out when bit-for-bit equal to `def`.
    void WriteExtentAttributes(const CDoubleRect& extent, const CDoubleRect* def = nullptr);

private:
    bool Begin(WStringView path);
    void Put(WStringView text);
    void PutIndent(int level);
    void PutLineEnd();
    WString FormatArgs(const WChar* format, va_list ap);
    void Discard();

    CXmlDocument m_document;
    bool m_open = false;
    int m_level = 0;
    WString m_path;
    WString m_topName;
    std::string m_out;  // UTF-8 text written so far
    int m_uncaught = 0;
    bool m_compact = false;
};

const WChar* BoolText(bool value);
// Whether the text is an XML name (XML 1.0, fifth edition, productions
// [4], [4a] and [5]), so that it can stand as an element or attribute name.
bool IsXmlName(WStringView name);
// Starts from `defaults` (zeros when null) and takes minx, miny, maxx and
// maxy from the element where present. False only without an element.
bool ReadExtentAttributes(const CXmlNode* element, CDoubleRect& extent,
                          const CDoubleRect* defaults = nullptr);
