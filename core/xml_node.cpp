#include "core/xml_node.h"

#include <algorithm>
#include <utility>

#include "core/file_stream.h"

namespace {

// One table, used both ways; escaping goes top-down ("&" first).
struct Entity {
    WChar ch;
    WStringView name;
};
constexpr Entity kEntities[] = {
    {u'&', u"&amp;"}, {u'"', u"&quot;"}, {u'\'', u"&apos;"}, {u'>', u"&gt;"},
    {u'<', u"&lt;"},  {u'\n', u"&#xA;"}, {u'\r', u"&#xD;"},
};

const WChar* EntityFor(WChar c) {
    for (const Entity& e : kEntities)
        if (e.ch == c) return e.name.data();
    return nullptr;
}

// "&#233;" or "&#xE9;" at s[i]; returns the length used (0 when not one).
size_t DecodeCharRef(WStringView s, size_t i, char32_t& cp) {
    size_t p = i + 2;  // past "&#"
    int base = 10;
    if (p < s.size() && (s[p] == u'x' || s[p] == u'X')) {
        base = 16;
        ++p;
    }
    uint32_t v = 0;
    size_t digits = 0;
    for (; p < s.size() && digits < 8; ++p, ++digits) {
        const int d = text::HexDigit(s[p]);
        if (d < 0 || d >= base) break;
        v = v * base + static_cast<uint32_t>(d);
    }
    if (digits == 0 || p >= s.size() || s[p] != u';') return 0;
    if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    cp = v;
    return p + 1 - i;
}

}  // namespace

void AppendCodePoint(WString& out, char32_t cp) {
    text::AppendCodePoint(out, cp);
}

char32_t ReadUtf8Char(const char*& cursor, const char* end) {
    if (cursor >= end) return 0;
    const auto lead = static_cast<unsigned char>(*cursor);
    char32_t cp;
    return text::DecodeUtf8(cursor, end, cp) ? cp : lead;
}

bool XmlNeedsEscape(WStringView text) {
    for (WChar c : text)
        if (EntityFor(c)) return true;
    return false;
}

bool XmlEscape(WString& text) {
    if (!XmlNeedsEscape(text)) return false;
    WString out;
    out.reserve(text.size() + 16);
    for (WChar c : text) {
        if (const WChar* e = EntityFor(c))
            out += e;
        else
            out += c;
    }
    text.swap(out);
    return true;
}

bool XmlUnescape(WString& text) {
    size_t amp = text.find(u'&');
    if (amp == WString::npos) return false;
    WStringView s = text;
    WString out(s.substr(0, amp));
    bool changed = false;
    for (size_t i = amp; i < s.size();) {
        if (s[i] != u'&') {
            out += s[i++];
            continue;
        }
        bool done = false;
        for (const Entity& e : kEntities) {
            if (s.substr(i, e.name.size()) == e.name) {
                out += e.ch;
                i += e.name.size();
                done = true;
                break;
            }
        }
        char32_t cp;
        size_t n;
        if (!done && i + 1 < s.size() && s[i + 1] == u'#' && (n = DecodeCharRef(s, i, cp)) != 0) {
            AppendCodePoint(out, cp);
            i += n;
            done = true;
        }
        if (done) {
            changed = true;
        } else {
            out += s[i++];
        }
    }
    if (changed) text.swap(out);
    return changed;
}

// ---- CXmlNode ----

CXmlNode::CXmlNode(CXmlDocument* document) : m_document(document) {}

CXmlNode::~CXmlNode() {
    // Iterative, so that a deep tree cannot exhaust the stack.
    std::vector<CXmlNode*> pending;
    if (m_children) pending.swap(*m_children);
    while (!pending.empty()) {
        CXmlNode* n = pending.back();
        pending.pop_back();
        if (n->m_children) {
            pending.insert(pending.end(), n->m_children->begin(), n->m_children->end());
            n->m_children->clear();
        }
        delete n;
    }
}

void CXmlNode::SetText(WStringView value, bool unescape) {
    m_text = value;
    if (unescape) XmlUnescape(m_text);
}

void CXmlNode::SetAttribute(WStringView name, WStringView value, bool unescape) {
    WString v(value);
    if (unescape) XmlUnescape(v);
    auto [it, added] = m_attributes.insert_or_assign(WString(name), std::move(v));
    // The map's keys stay where they are while the node lives.
    if (added) m_attributeOrder.push_back(&it->first);
}

bool CXmlNode::HasAttribute(WStringView name) const {
    return m_attributes.find(name) != m_attributes.end();
}

WString CXmlNode::GetAttribute(WStringView name, const WChar* def, bool escape) const {
    auto it = m_attributes.find(name);
    WString v = it != m_attributes.end() ? it->second : WString(def ? def : u"");
    if (escape) XmlEscape(v);
    return v;
}

double CXmlNode::GetAttributeDouble(WStringView name, double def) const {
    auto it = m_attributes.find(name);
    return it == m_attributes.end() ? def : text::ParseDouble(WStringView(it->second));
}

int CXmlNode::GetAttributeInt(WStringView name, int def) const {
    auto it = m_attributes.find(name);
    return it == m_attributes.end() ? def : text::ParseLong(WStringView(it->second));
}

int CXmlNode::GetAttributeIntHex(WStringView name, int def, bool hex) const {
    auto it = m_attributes.find(name);
    if (it == m_attributes.end()) return def;
    if (!hex) return text::ParseLong(WStringView(it->second));
    return static_cast<int>(text::ParseULong(WStringView(it->second), nullptr, 16));
}

bool CXmlNode::GetAttributeBool(WStringView name, bool def) const {
    auto it = m_attributes.find(name);
    if (it == m_attributes.end()) return def;
    return !it->second.empty() && it->second[0] == u't';
}

uint32_t CXmlNode::GetAttributeColor(WStringView name, uint32_t def) const {
    auto it = m_attributes.find(name);
    if (it == m_attributes.end() || it->second.empty()) return def;
    WStringView s = it->second;
    int32_t rgb[3];
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (s.empty() || s[0] != u',') return def;
            s.remove_prefix(1);
        }
        size_t used = 0;
        rgb[i] = text::ParseLong(s, &used);
        if (used == 0) return def;
        s.remove_prefix(used);
    }
    return static_cast<uint32_t>(rgb[0]) + static_cast<uint32_t>(rgb[1]) * 256u +
           static_cast<uint32_t>(rgb[2]) * 65536u;
}

char CXmlNode::GetAttributeChar(WStringView name, char def) const {
    auto it = m_attributes.find(name);
    if (it == m_attributes.end() || it->second.empty()) return def;
    return static_cast<char>(it->second[0] & 0xFF);
}

std::vector<CXmlNode*>& CXmlNode::EnsureChildren() {
    if (!m_children) m_children = std::make_unique<std::vector<CXmlNode*>>();
    return *m_children;
}

CXmlNode* CXmlNode::CreateChild(WStringView name, WStringView text) {
    auto* child = new CXmlNode(m_document);
    child->m_name = name;
    child->m_text = text;
    return AddChild(child);
}

CXmlNode* CXmlNode::AddChild(CXmlNode* child) {
    if (!child) return nullptr;
    child->m_parent = this;
    EnsureChildren().push_back(child);
    return child;
}

bool CXmlNode::RemoveChild(CXmlNode* child) {
    if (!m_children) return false;
    auto it = std::find(m_children->begin(), m_children->end(), child);
    if (it == m_children->end()) return false;
    m_children->erase(it);
    child->m_parent = nullptr;
    return true;
}

CXmlNode* CXmlNode::GetChild(int index) const {
    if (!m_children || index < 0 || index >= static_cast<int>(m_children->size())) return nullptr;
    return (*m_children)[index];
}

int CXmlNode::CountChildren(WStringView name) const {
    if (!m_children) return 0;
    int n = 0;
    for (const CXmlNode* c : *m_children)
        if (c->m_name == name) ++n;
    return n;
}

int CXmlNode::CountChildrenOf(const WChar* const* names) const {
    if (!m_children || !names) return 0;
    int n = 0;
    for (; *names; ++names) n += CountChildren(*names);
    return n;
}

int CXmlNode::IndexOfName(const WChar* const* names) const {
    if (!names) return -1;
    for (int i = 0; names[i]; ++i)
        if (m_name == names[i]) return i;
    return -1;
}

CXmlNode* CXmlNode::FindChild(WStringView name, bool recursive, CXmlNode* start) const {
    if (!m_children || m_children->empty()) return nullptr;
    auto first = m_children->begin();
    if (start) {
        auto it = std::find(m_children->begin(), m_children->end(), start);
        if (it != m_children->end()) first = it;
    }
    for (auto it = first; it != m_children->end(); ++it)
        if ((*it)->m_name == name) return *it;
    if (recursive) {
        for (auto it = first; it != m_children->end(); ++it)
            if (CXmlNode* hit = (*it)->FindChild(name, true, nullptr)) return hit;
    }
    return nullptr;
}

CXmlNode* CXmlNode::FindChildByAttribute(WStringView element, WStringView attribute,
                                         WStringView value) const {
    if (!m_children) return nullptr;
    for (CXmlNode* c : *m_children) {
        if (c->m_name != element) continue;
        auto it = c->m_attributes.find(attribute);
        if (it != c->m_attributes.end() && text::EqualsNoCase(it->second, value)) return c;
    }
    return nullptr;
}

CXmlNode* CXmlNode::GetTopmost() {
    CXmlNode* n = this;
    while (n->m_parent) n = n->m_parent;
    return n;
}

WString CXmlNode::Serialize(int depth) const {
    WString out;
    SerializeTo(out, depth);
    return out;
}

void CXmlNode::SerializeTo(WString& out, int depth) const {
    WString indent(static_cast<size_t>(std::max(depth, 0)), u' ');
    out += indent;
    out += u'<';
    out += m_name;
    out += u' ';
    for (const auto& [name, value] : m_attributes) {
        WString v = value;
        XmlEscape(v);
        out += name;
        out += u"=\"";
        out += v;
        out += u"\" ";
    }
    if (m_text.empty() && !m_children) {
        out += u"/>\r\n";
        return;
    }
    out += u">\r\n";
    WString t = m_text;
    XmlEscape(t);
    out += t;
    if (m_children)
        for (const CXmlNode* c : *m_children) c->SerializeTo(out, depth + 1);
    // The end tag of a text-only element is not indented: blanks there would
    // become part of the text when the file is read again.
    if (m_children && !m_children->empty()) out += indent;
    out += u"</";
    out += m_name;
    out += u">\r\n";
}

// ---- parser ----

// A recursive character state machine: one call parses one element.
class CXmlParser {
public:
    CXmlParser(CXmlDocument* doc, WStringView s) : m_doc(doc), m_s(s) {}
    CXmlNode* ParseElement(size_t& pos, int depth);

private:
    enum State {
        Start,
        Open,
        Content,
        EndTag,
        Name,
        InTag,
        AttrName,
        AfterEquals,
        AttrValue,
        Decl
    };

    bool At(size_t pos, WStringView what) const { return m_s.substr(pos, what.size()) == what; }
    // Moves pos onto the last character of `terminator` found from `from`,
    // counting lines; false (pos at the end) when it never comes.
    bool SkipPast(size_t& pos, size_t from, WStringView terminator);
    void CountLines(size_t from, size_t to) {
        for (size_t i = from; i < to && i < m_s.size(); ++i)
            if (m_s[i] == u'\n') ++m_line;
    }

    // Counts a finished element against the document's limits; false, with
    // the error text, past either.
    bool Charge(const CXmlNode& element);

    CXmlDocument* m_doc;
    WStringView m_s;
    int m_line = 1;
    size_t m_elements = 0;
    size_t m_bytes = 0;
};

bool CXmlParser::Charge(const CXmlNode& element) {
    // What an element costs in memory, near enough: the node, its place in
    // the parent's list, its texts and its attributes with their table.
    constexpr size_t kNode = sizeof(CXmlNode) + 64, kAttribute = 96;
    size_t bytes = kNode + 2 * (element.m_name.size() + element.m_text.size());
    for (const auto& [name, value] : element.m_attributes)
        bytes += kAttribute + 2 * (name.size() + value.size());
    m_bytes += bytes;
    // A document may take a fixed allowance plus a few times its own text.
    const size_t budget = CXmlDocument::kMemoryAllowance + 4 * sizeof(WChar) * m_s.size();
    if (++m_elements > CXmlDocument::kMaxElements || m_bytes > budget) {
        m_doc->m_errorText = text::Format(
            u"XML parsing error. The document holds more elements than can be read at line %d",
            m_line);
        return false;
    }
    return true;
}

bool CXmlParser::SkipPast(size_t& pos, size_t from, WStringView terminator) {
    size_t hit = m_s.find(terminator, from);
    size_t stop = hit == WStringView::npos ? m_s.size() : hit + terminator.size() - 1;
    CountLines(pos + 1, stop + 1);
    pos = stop;
    return hit != WStringView::npos;
}

CXmlNode* CXmlParser::ParseElement(size_t& pos, int depth) {
    if (depth > CXmlDocument::kMaxDepth) {
        m_doc->m_errorText =
            text::Format(u"XML parsing error. Elements nested deeper than %d levels at line %d",
                         CXmlDocument::kMaxDepth, m_line);
        return nullptr;
    }
    std::unique_ptr<CXmlNode> element;
    State state = Start, back = Open;
    WString buffer;  // collected characters
    WString cdata;   // text already final (CDATA sections and what preceded them)
    WString attrName;
    for (; pos < m_s.size(); ++pos) {
        WChar c = m_s[pos];
        if (state == AttrValue && c != u'"' && c != u'<') {
            // A value's characters up to its quote (or a '<', which values
            // drop) are taken as one run.
            size_t end = m_s.find_first_of(u"\"<", pos);
            if (end == WStringView::npos) end = m_s.size();
            CountLines(pos, end);
            buffer.append(m_s.substr(pos, end - pos));
            pos = end - 1;
            continue;
        }
        if (c == u'\n') ++m_line;
        switch (c) {
            case u'<':
                if (state == Start) {
                    if (!element) element = std::make_unique<CXmlNode>(m_doc);
                    buffer.clear();
                    state = Open;
                } else if (state == Content) {
                    if (At(pos + 1, u"/")) {
                        XmlUnescape(buffer);
                        element->m_text = cdata + buffer;
                        buffer.clear();
                        state = EndTag;
                    } else if (At(pos + 1, u"!--")) {
                        if (!SkipPast(pos, pos + 4, u"-->")) return nullptr;
                    } else if (At(pos + 1, u"?")) {
                        if (!SkipPast(pos, pos + 2, u"?>")) return nullptr;
                    } else if (At(pos + 1, u"![CDATA[")) {
                        size_t from = pos + 9;
                        if (!SkipPast(pos, from, u"]]>")) return nullptr;
                        XmlUnescape(buffer);
                        cdata += buffer;
                        buffer.clear();
                        cdata += m_s.substr(from, pos - 2 - from);
                    } else {
                        element->EnsureChildren();
                        CXmlNode* child = ParseElement(pos, depth + 1);
                        if (!child) return nullptr;  // an error text is set, or the input ended
                        element->AddChild(child);
                    }
                }
                break;
            case u' ':
            case u'\t':
            case u'\r':
            case u'\n':
                if (state == Content) {
                    if (!buffer.empty() || !cdata.empty()) buffer += c;
                } else if (state == AttrValue) {
                    buffer += c;
                } else if (state == Name) {
                    element->m_name = std::exchange(buffer, WString());
                    state = InTag;
                }
                break;
            case u'!':
            case u'?':
                if (state == Open) {
                    // Comments end at "-->", so a '>' inside one does not end it.
                    if (c == u'!' && At(pos + 1, u"--")) {
                        if (!SkipPast(pos, pos + 3, u"-->")) return nullptr;
                    } else {
                        back = Open;
                        state = Decl;
                    }
                } else if (state != Decl) {
                    buffer += c;
                }
                break;
            case u'>':
                if (state == Name) {
                    element->m_name = std::exchange(buffer, WString());
                    state = Content;
                } else if (state == InTag) {
                    buffer.clear();
                    state = Content;
                } else if (state == EndTag) {
                    if (!buffer.empty() && buffer != element->m_name) {
                        m_doc->m_errorText = text::Format(
                            u"XML parsing error. Unmatched tag: Expecting '%s' but encountered "
                            u"'%s' "
                            u"at line %d",
                            element->m_name.c_str(), buffer.c_str(), m_line);
                        return nullptr;
                    }
                    // A line end right after the tag goes with it.
                    if (pos + 1 < m_s.size() && (m_s[pos + 1] == u'\r' || m_s[pos + 1] == u'\n')) {
                        ++pos;
                        if (m_s[pos] == u'\n') ++m_line;
                    }
                    if (!Charge(*element)) return nullptr;
                    return element.release();
                } else if (state == Decl) {
                    state = back;
                } else if (state == Content || state == AttrValue) {
                    buffer += c;  // legal in text and values; keep it
                }
                break;
            case u'/':
                if (state == InTag) {
                    state = EndTag;
                } else if (state == Name) {
                    element->m_name = std::exchange(buffer, WString());
                    state = EndTag;
                } else if (state != EndTag && state != Decl) {
                    buffer += c;
                }
                break;
            case u'=':
                if (state == AttrName) {
                    attrName.swap(buffer);
                    buffer.clear();
                    state = AfterEquals;
                } else if (state != Decl) {
                    buffer += c;
                }
                break;
            case u'"':
                if (state == AfterEquals) {
                    state = AttrValue;
                } else if (state == AttrValue) {
                    XmlUnescape(buffer);
                    auto [at, added] = element->m_attributes.insert_or_assign(std::move(attrName),
                                                                              std::move(buffer));
                    if (added) element->m_attributeOrder.push_back(&at->first);
                    buffer.clear();
                    attrName.clear();
                    state = InTag;
                } else if (state != Decl) {
                    buffer += c;
                }
                break;
            default:
                if (state == Open) {
                    state = Name;
                    buffer += c;
                } else if (state == InTag) {
                    state = AttrName;
                    buffer += c;
                } else if (state != Decl) {
                    buffer += c;
                }
                break;
        }
    }
    return nullptr;  // the text ended inside the element
}

// ---- CXmlDocument ----

CXmlDocument::CXmlDocument(WStringView rootName, WStringView rootText) {
    CreateRoot(rootName, rootText);
}

CXmlDocument::~CXmlDocument() {
    DeleteTree();
}

void CXmlDocument::DeleteTree() {
    delete m_root;
    m_root = nullptr;
}

CXmlNode* CXmlDocument::CreateRoot(WStringView name, WStringView text) {
    DeleteTree();
    m_root = new CXmlNode(this);
    m_root->SetName(name);
    m_root->SetText(text);
    return m_root;
}

bool CXmlDocument::Parse(WStringView text) {
    m_errorText.clear();
    m_errorCode = 0;
    if (text.empty()) {
        m_errorCode = -1;
        m_errorText = u"XML Input Empty";
        return false;
    }
    DeleteTree();
    CXmlParser parser(this, text);
    size_t pos = 0;
    std::unique_ptr<CXmlNode> root(parser.ParseElement(pos, 1));
    if (!root || !m_errorText.empty()) {
        // A malformed element anywhere fails the whole parse: a tree with a
        // subtree silently missing is worse than none.
        m_errorCode = -1;
        if (m_errorText.empty()) m_errorText = u"XML parse error.";
        return false;
    }
    m_root = root.release();
    return true;
}

bool CXmlDocument::LoadFile(const WString& path, unsigned codePage) {
    CScriptTextFile file;
    WString text;
    if (!file.ReadAllToString(path, text, codePage)) return false;
    m_fileName = path;
    return Parse(text);
}

WString CXmlDocument::SaveToString() const {
    if (!m_root) return {};
    WString out = u"<?xml version=\"1.0\"?>\r\n";
    m_root->SerializeTo(out, 0);
    return out;
}

CXmlNode* CXmlDocument::FindElement(WStringView name, bool recursive) const {
    if (!m_root) return nullptr;
    if (m_root->GetName() == name) return m_root;
    return m_root->FindChild(name, recursive, nullptr);
}
