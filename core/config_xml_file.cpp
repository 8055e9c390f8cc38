#include "core/config_xml_file.h"

#include <cstdarg>
#include <cstring>
#include <exception>

#include "core/file_stream.h"
#include "platform/fs/fs.h"

const WChar* BoolText(bool value) {
    return value ? u"true" : u"false";
}

bool ReadExtentAttributes(const CXmlNode* element, CDoubleRect& extent,
                          const CDoubleRect* defaults) {
    extent = defaults ? *defaults : CDoubleRect();
    if (!element) return false;
    extent.xmin = element->GetAttributeDouble(u"minx", extent.xmin);
    extent.ymin = element->GetAttributeDouble(u"miny", extent.ymin);
    extent.xmax = element->GetAttributeDouble(u"maxx", extent.xmax);
    extent.ymax = element->GetAttributeDouble(u"maxy", extent.ymax);
    return true;
}

CConfigXmlFile::~CConfigXmlFile() {
    if (!m_open) return;
    if (std::uncaught_exceptions() > m_uncaught) {
        Discard();  // a failed save keeps the old file
        return;
    }
    try {
        Close(false);
    } catch (const CFileException&) {
    }
}

bool CConfigXmlFile::IsDebug() const {
    const CXmlNode* root = m_document.GetRoot();
    return root && root->GetAttributeBool(u"debug", false);
}

bool CConfigXmlFile::Begin(WStringView path) {
    if (m_open) Close(true);
    // Refuse now what could never be written: a missing folder, a folder or
    // read-only file in the way.
    fs::Resolved r;
    if (!fs::ResolvePath(path, &r) || r.isMountRoot) return false;
    if (r.exists) {
        uint32_t attrs = fs::GetFileAttributes(path);
        if (attrs == fs::kInvalidAttributes || (attrs & (fs::kAttrReadOnly | fs::kAttrDirectory)))
            return false;
    }
    m_open = true;
    m_uncaught = std::uncaught_exceptions();
    m_path = path;
    m_out.clear();
    m_level = 0;
    m_topName.clear();
    m_compact = false;
    return true;
}

bool CConfigXmlFile::Open(WStringView path, bool writeTop, const WChar* topName,
                          const WChar* nameValue) {
    if (!Begin(path)) return false;
    m_topName = topName ? topName : u"";
    m_out += "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";
    if (writeTop) {
        StartElement(0, kRootName, true);
        if (nameValue && *nameValue) {
            WString title = nameValue;
            XmlEscape(title);  // a title with '"' or '&' must not break the file
            StartElement(1, topName, true, u"name=\"%s\"", title.c_str());
        } else {
            StartElement(1, topName, true);
        }
    }
    return true;
}

bool CConfigXmlFile::Open(WStringView path, Layout layout, bool declaration) {
    if (!Begin(path)) return false;
    m_compact = layout == Layout::Compact;
    if (declaration)
        m_out += m_compact ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                           : "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";
    return true;
}

void CConfigXmlFile::Close(bool writeEndTags) {
    if (!m_open) return;
    if (writeEndTags) {
        if (!m_topName.empty()) EndElement(-1, m_topName.c_str());
        EndElement(0, kRootName);
    }
    std::string bytes;
    bytes.swap(m_out);
    WString path = m_path;
    Discard();
    if (!fs::WriteWholeFile(path, bytes.data(), bytes.size())) {
        uint32_t e = fs::GetLastError();
        throw CFileException(CFileException::CauseFromError(e), e, path);
    }
}

void CConfigXmlFile::Discard() {
    m_open = false;
    m_out.clear();
    m_out.shrink_to_fit();
    m_level = 0;
    m_topName.clear();
    m_path.clear();
    m_compact = false;
}

void CConfigXmlFile::Put(WStringView text) {
    if (m_open) m_out += text::ToUtf8(text);
}

void CConfigXmlFile::PutIndent(int level) {
    if (m_open && !m_compact && level > 0) m_out.append(static_cast<size_t>(level) * 2, ' ');
}

void CConfigXmlFile::PutLineEnd() {
    if (m_open && !m_compact) m_out += "\r\n";
}

WString CConfigXmlFile::FormatArgs(const WChar* format, va_list ap) {
    // No length limit: a long comment or WKT text is written whole.
    return format ? text::FormatV(format, ap) : WString();
}

void CConfigXmlFile::StartElement(int indent, const WChar* name, bool open, const WChar* format,
                                  ...) {
    if (!m_open || !name) return;
    if (indent < 0) indent = m_level;
    va_list ap;
    va_start(ap, format);
    WString attrs = FormatArgs(format, ap);
    va_end(ap);
    PutIndent(indent);
    Put(u"<");
    Put(name);
    if (!attrs.empty()) {
        Put(u" ");
        Put(attrs);
    }
    Put(open ? u">" : u"/>");
    PutLineEnd();
    m_level = open ? indent + 1 : indent;
}

void CConfigXmlFile::BeginElement(int indent, const WChar* name) {
    if (!m_open || !name) return;
    PutIndent(indent < 0 ? m_level : indent);
    Put(u"<");
    Put(name);
}

void CConfigXmlFile::EndStartTag(bool open) {
    if (!m_open) return;
    Put(open ? u">" : u"/>");
    PutLineEnd();
    if (open) ++m_level;
}

void CConfigXmlFile::EndElement(int indent, const WChar* name) {
    if (!m_open || !name) return;
    if (indent < 0) indent = m_level > 0 ? m_level - 1 : 0;
    PutIndent(indent);
    Put(u"</");
    Put(name);
    Put(u">");
    PutLineEnd();
    m_level = indent;
}

void CConfigXmlFile::WriteElementWithText(int indent, const WChar* name, const WChar* text,
                                          const WChar* format, ...) {
    if (!m_open || !name) return;
    va_list ap;
    va_start(ap, format);
    WString attrs = FormatArgs(format, ap);
    va_end(ap);
    PutIndent(indent < 0 ? m_level : indent);
    Put(u"<");
    Put(name);
    if (!attrs.empty()) {
        Put(u" ");
        Put(attrs);
    }
    if (text && *text) {
        Put(u">");
        Put(text);
        Put(u"</");
        Put(name);
    } else {
        Put(u"/");
    }
    Put(u">");
    PutLineEnd();
}

void CConfigXmlFile::WriteFormatted(const WChar* format, ...) {
    if (!m_open) return;
    va_list ap;
    va_start(ap, format);
    WString s = FormatArgs(format, ap);
    va_end(ap);
    if (s.empty()) return;
    Put(u" ");
    Put(s);
}

void CConfigXmlFile::WriteIndent(int level) {
    PutIndent(level < 0 ? m_level : level);
}

void CConfigXmlFile::NewLine() {
    PutLineEnd();
}

void CConfigXmlFile::WriteRaw(int indent, WStringView text, bool newLine) {
    if (!m_open) return;
    if (indent == -1) indent = m_level;
    if (indent >= 0) PutIndent(indent);
    Put(text);
    if (newLine) PutLineEnd();
}

// ---- attributes ----
// String defaults compare exactly: "Roads" against a default "roads" is
// written, so the letter case survives a save.

void CConfigXmlFile::WriteStringAttribute(const WChar* name, WStringView value, const WChar* def) {
    if (def && value == def) return;
    WString v(value);
    XmlEscape(v);
    WriteFormatted(u"%s=\"%s\"", name, v.c_str());
}

void CConfigXmlFile::WriteAttribute(const WChar* name, WStringView text, const WChar* def) {
    if (def && text == def) return;
    WString v(text);
    WriteFormatted(u"%s=\"%s\"", name, v.c_str());
}

void CConfigXmlFile::WriteBoolAttribute(const WChar* name, bool value, std::optional<bool> def) {
    if (def && *def == value) return;
    WriteFormatted(u"%s=\"%s\"", name, BoolText(value));
}

void CConfigXmlFile::WriteDoubleAttribute(const WChar* name, double value,
                                          std::optional<double> def) {
    if (def && *def == value) return;
    WriteFormatted(u"%s=\"%.15g\"", name, value);
}

void CConfigXmlFile::WriteIntAttribute(const WChar* name, int value, std::optional<int> def) {
    if (def && *def == value) return;
    WriteFormatted(u"%s=\"%d\"", name, value);
}

void CConfigXmlFile::WriteColorAttribute(const WChar* name, COLORREF color,
                                         std::optional<COLORREF> def) {
    if (def && *def == color) return;
    WriteFormatted(u"%s=\"%d,%d,%d\"", name, GetRValue(color), GetGValue(color), GetBValue(color));
}

void CConfigXmlFile::WriteCharAttribute(const WChar* name, char ch, std::optional<char> def) {
    if (def && *def == ch) return;
    WString v(1, static_cast<WChar>(static_cast<unsigned char>(ch)));
    XmlEscape(v);
    WriteFormatted(u"%s=\"%s\"", name, v.c_str());
}

void CConfigXmlFile::WriteExtentAttributes(const CDoubleRect& extent, const CDoubleRect* def) {
    if (def && memcmp(&extent.xmin, &def->xmin, sizeof(double)) == 0 &&
        memcmp(&extent.ymin, &def->ymin, sizeof(double)) == 0 &&
        memcmp(&extent.xmax, &def->xmax, sizeof(double)) == 0 &&
        memcmp(&extent.ymax, &def->ymax, sizeof(double)) == 0)
        return;
    WriteFormatted(u"minx=\"%.15g\" miny=\"%.15g\" maxx=\"%.15g\" maxy=\"%.15g\"", extent.xmin,
                   extent.ymin, extent.xmax, extent.ymax);
}

namespace {

// NameStartChar, production [4]; UTF-16 surrogates stand for #x10000-#xEFFFF.
bool IsNameStartChar(WChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':' ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD);
}

// NameChar, production [4a].
bool IsNameChar(WChar c) {
    return IsNameStartChar(c) || c == u'-' || c == u'.' || (c >= u'0' && c <= u'9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

}  // namespace

bool IsXmlName(WStringView name) {
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const WChar c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            // A pair from #x10000 to #xEFFFF is a name character anywhere.
            if (i + 1 >= name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF || c > 0xDB7F) return false;
            ++i;
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) return false;
        if (i == 0 ? !IsNameStartChar(c) : !IsNameChar(c)) return false;
    }
    return true;
}
