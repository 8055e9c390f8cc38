// The program's own XML tree and parser. Every configuration file, document
// and map server response is read through these classes; no platform XML
// library is involved.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/text/text.h"

class CXmlDocument;

// Looks names up by view, without making a string; the same hash as the
// string's own, so the map holds and lists its entries as before.
struct XmlNameHash {
    using is_transparent = void;
    size_t operator()(WStringView name) const { return std::hash<WStringView>{}(name); }
};

class CXmlNode {
public:
    using AttributeMap = std::unordered_map<WString, WString, XmlNameHash, std::equal_to<>>;

    explicit CXmlNode(CXmlDocument* document = nullptr);
    // Deletes the children; does not detach this element from its parent.
    ~CXmlNode();
    CXmlNode(const CXmlNode&) = delete;
    CXmlNode& operator=(const CXmlNode&) = delete;

    const WString& GetName() const { return m_name; }
    void SetName(WStringView name) { m_name = name; }
    const WString& GetText() const { return m_text; }
    void SetText(WStringView value, bool unescape = false);
    CXmlNode* GetParent() const { return m_parent; }
    CXmlDocument* GetDocument() const { return m_document; }
    const AttributeMap& GetAttributes() const { return m_attributes; }
    // The attributes' names in document order (the map has no order).
    const std::vector<const WString*>& GetAttributeOrder() const { return m_attributeOrder; }

    void SetAttribute(WStringView name, WStringView value, bool unescape = false);
    bool HasAttribute(WStringView name) const;
    // The stored value, else `def` (empty when null). With `escape` the result
    // is in the form fit to be written back into XML.
    WString GetAttribute(WStringView name, const WChar* def = nullptr, bool escape = false) const;
    double GetAttributeDouble(WStringView name, double def) const;
    int GetAttributeInt(WStringView name, int def) const;
    int GetAttributeIntHex(WStringView name, int def, bool hex) const;
    bool GetAttributeBool(WStringView name, bool def) const;
    // "r,g,b" as red + green*256 + blue*65536 (a COLORREF).
    uint32_t GetAttributeColor(WStringView name, uint32_t def) const;
    // The low byte of the first unit.
    char GetAttributeChar(WStringView name, char def) const;

    CXmlNode* CreateChild(WStringView name, WStringView text = {});
    // Takes ownership; null is ignored and returns null.
    CXmlNode* AddChild(CXmlNode* child);
    // Unlinks without deleting; the caller owns the child afterwards.
    bool RemoveChild(CXmlNode* child);
    CXmlNode* GetChild(int index) const;
    int GetChildCount() const { return m_children ? static_cast<int>(m_children->size()) : 0; }
    // True once a child list exists (it may be empty).
    bool HasChildList() const { return m_children != nullptr; }
    int CountChildren(WStringView name) const;
    // `names` ends with a null entry.
    int CountChildrenOf(const WChar* const* names) const;
    int IndexOfName(const WChar* const* names) const;

    // Direct children from `start` (inclusive; from the first child when
    // `start` is not a direct child), then, when recursive, each child's
    // subtree in the same order.
    CXmlNode* FindChild(WStringView name, bool recursive = false, CXmlNode* start = nullptr) const;
    CXmlNode* FindChild(WStringView name, CXmlNode* start, bool recursive) const {
        return FindChild(name, recursive, start);
    }
    // First direct child named `element` whose `attribute` equals `value`
    // without regard to case.
    CXmlNode* FindChildByAttribute(WStringView element, WStringView attribute,
                                   WStringView value) const;
    CXmlNode* GetTopmost();

    WString Serialize(int depth = 0) const;

    // Appends what Serialize returns.
    void SerializeTo(WString& out, int depth) const;

private:
    friend class CXmlParser;
    std::vector<CXmlNode*>& EnsureChildren();

    AttributeMap m_attributes;
    std::vector<const WString*> m_attributeOrder;
    CXmlNode* m_parent = nullptr;
    std::unique_ptr<std::vector<CXmlNode*>> m_children;
    WString m_name;
    WString m_text;
    CXmlDocument* m_document;
};

class CXmlDocument {
public:
    // Elements nested deeper than this are refused by the parser.
    static constexpr int kMaxDepth = 256;
    // A document of more elements, or whose tree would take more than the
    // allowance plus four times the memory of its text, is refused: a 16 MiB
    // answer of empty elements must not take gigabytes.
    static constexpr size_t kMaxElements = 1000000;
    static constexpr size_t kMemoryAllowance = size_t{32} << 20;

    CXmlDocument() = default;
    CXmlDocument(WStringView rootName, WStringView rootText);
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    CXmlNode* GetRoot() const { return m_root; }
    const WString& GetErrorText() const { return m_errorText; }
    int GetErrorCode() const { return m_errorCode; }
    const WString& GetFileName() const { return m_fileName; }

    CXmlNode* CreateRoot(WStringView name, WStringView text = {});
    // Replaces the tree. False, with no root, the error code -1 and an error
    // text, when the text is not a well-formed element.
    bool Parse(WStringView text);
    // Reads the whole file (byte-order mark decides, else UTF-8) and parses it.
    // False when the file cannot be read, without touching the error text.
    bool LoadFile(const WString& path, unsigned codePage = 0);
    WString SaveToString() const;
    CXmlNode* FindElement(WStringView name, bool recursive) const;

private:
    friend class CXmlParser;
    void DeleteTree();

    CXmlNode* m_root = nullptr;
    WString m_errorText;
    int m_errorCode = 0;
    WString m_fileName;
};

// The seven entities, both ways. Both return true when anything changed.
// Unescaping also decodes numeric character references (&#233; &#xE9;).
bool XmlEscape(WString& text);
bool XmlUnescape(WString& text);
bool XmlNeedsEscape(WStringView text);

// Decodes one UTF-8 sequence at `cursor` (never reading at or past `end`) and
// advances past it. 4-byte sequences give a code point above 0xFFFF; CESU-8
// surrogates come out one unit per 3-byte sequence. A byte that does not start
// a complete, well-formed sequence stands for itself. `end` == cursor gives 0.
char32_t ReadUtf8Char(const char*& cursor, const char* end);
// Appends a code point as UTF-16 (a surrogate pair above 0xFFFF).
void AppendCodePoint(WString& out, char32_t cp);
