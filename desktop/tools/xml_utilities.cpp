#include "desktop/tools/xml_utilities.h"

#include <libxml/xmlstring.h>

#include <cstring>

#include "core/config_xml_file.h"
#include "core/file_stream.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace zntools8 {
namespace {

const xmlChar* X(const std::string& s) {
    return reinterpret_cast<const xmlChar*>(s.c_str());
}

std::string Str(const xmlChar* s) {
    return s ? std::string(reinterpret_cast<const char*>(s)) : std::string();
}

std::string Content(const xmlNode* node) {
    xmlChar* c = xmlNodeGetContent(node);
    std::string s = Str(c);
    xmlFree(c);
    return s;
}

std::string QualifiedName(const xmlNode* node) {
    std::string name = Str(node->name);
    if (node->ns && node->ns->prefix) name = Str(node->ns->prefix) + ":" + name;
    return name;
}

bool IsBlank(const std::string& s) {
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

// ---- checks made before anything is written ----

void CheckName(const std::string& name) {
    if (name.empty() || xmlValidateName(X(name), 0) != 0)
        throw ExportError("\"" + name + "\" is not a name XML can hold");
}

// Valid UTF-8 without characters XML cannot carry: control characters
// other than tab, LF and CR, and U+FFFE and U+FFFF.
void CheckValue(const std::string& value, const std::string& where) {
    const auto* p = reinterpret_cast<const xmlChar*>(value.data());
    int left = static_cast<int>(value.size());
    while (left > 0) {
        int length = left;
        const int cp = xmlGetUTF8Char(p, &length);
        if (cp < 0 || length <= 0)
            throw ExportError("The value of " + where + " is not UTF-8 text");
        if ((cp < 0x20 && cp != 0x09 && cp != 0x0A && cp != 0x0D) || cp == 0xFFFE || cp == 0xFFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            throw ExportError(text::FormatA("The value of %s holds the character U+%04X, which "
                                            "an XML file cannot carry",
                                            where.c_str(), static_cast<unsigned>(cp)));
        p += length;
        left -= length;
    }
}

void CheckNamespaces(const xmlNode* node) {
    for (const xmlNs* ns = node->nsDef; ns; ns = ns->next) {
        if (ns->prefix) CheckName(Str(ns->prefix));
        CheckValue(Str(ns->href), "a namespace declaration");
    }
}

void CheckTree(const xmlNode* node) {
    for (; node; node = node->next) {
        switch (node->type) {
            case XML_ELEMENT_NODE: {
                const std::string name = QualifiedName(node);
                CheckName(name);
                CheckNamespaces(node);
                for (const xmlAttr* a = node->properties; a; a = a->next) {
                    const std::string an = QualifiedName(reinterpret_cast<const xmlNode*>(a));
                    CheckName(an);
                    CheckValue(Content(reinterpret_cast<const xmlNode*>(a)),
                               name + " " + an);
                }
                CheckTree(node->children);
                break;
            }
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                CheckValue(Str(node->content), "a text");
                break;
            case XML_COMMENT_NODE: {
                const std::string c = Str(node->content);
                CheckValue(c, "a comment");
                if (c.find("--") != std::string::npos || (!c.empty() && c.back() == '-'))
                    throw ExportError("A comment holds \"--\"");
                break;
            }
            case XML_PI_NODE: {
                CheckName(Str(node->name));
                const std::string c = Str(node->content);
                CheckValue(c, "a processing instruction");
                // The handheld's reader ends a declaration at its first '>'.
                if (c.find('>') != std::string::npos)
                    throw ExportError("A processing instruction holds '>'");
                break;
            }
            case XML_DTD_NODE:
                // Only a bare document type survives: the handheld's reader
                // skips it up to its first '>'.
                if (node->children)
                    throw ExportError("A document type with declarations cannot be kept");
                CheckName(Str(node->name));
                break;
            default:
                throw ExportError("The document holds a node that cannot be written");
        }
    }
}

// ---- writing ----

void WriteText(CConfigXmlFile& out, const std::string& utf8) {
    if (IsBlank(utf8)) {
        // Kept layout: written exactly as it was.
        out.WriteRaw(-2, text::FromUtf8(utf8), false);
        return;
    }
    WString t = text::FromUtf8(utf8);
    XmlEscape(t);
    out.WriteRaw(-2, t, false);
}

void WriteNodes(CConfigXmlFile& out, const xmlNode* node) {
    for (; node; node = node->next) {
        switch (node->type) {
            case XML_ELEMENT_NODE: {
                const WString name = text::FromUtf8(QualifiedName(node));
                out.BeginElement(0, name.c_str());
                for (const xmlNs* ns = node->nsDef; ns; ns = ns->next) {
                    const std::string an = ns->prefix ? "xmlns:" + Str(ns->prefix) : "xmlns";
                    out.WriteStringAttribute(text::FromUtf8(an).c_str(),
                                             text::FromUtf8(Str(ns->href)));
                }
                for (const xmlAttr* a = node->properties; a; a = a->next) {
                    const auto* an = reinterpret_cast<const xmlNode*>(a);
                    out.WriteStringAttribute(text::FromUtf8(QualifiedName(an)).c_str(),
                                             text::FromUtf8(Content(an)));
                }
                if (node->children) {
                    out.EndStartTag(true);
                    WriteNodes(out, node->children);
                    out.EndElement(0, name.c_str());
                } else {
                    out.EndStartTag(false);
                }
                break;
            }
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE: {
                // Neighbouring texts (left beside each other by a removed
                // element, or a CDATA section) read back as one: written as
                // one, the next save of the file gives the same bytes.
                std::string run = Str(node->content);
                while (node->next && (node->next->type == XML_TEXT_NODE ||
                                      node->next->type == XML_CDATA_SECTION_NODE)) {
                    node = node->next;
                    run += Str(node->content);
                }
                WriteText(out, run);
                break;
            }
            case XML_COMMENT_NODE:
                out.WriteRaw(-2, u"<!--" + text::FromUtf8(Str(node->content)) + u"-->", false);
                break;
            case XML_PI_NODE: {
                WString pi = u"<?" + text::FromUtf8(Str(node->name));
                const std::string c = Str(node->content);
                if (!c.empty()) pi += u" " + text::FromUtf8(c);
                out.WriteRaw(-2, pi + u"?>", false);
                break;
            }
            case XML_DTD_NODE:
                out.WriteRaw(-2, u"<!DOCTYPE " + text::FromUtf8(Str(node->name)) + u">", false);
                break;
            default:
                break;
        }
    }
}

}  // namespace

std::string BoolToText(bool value) {
    return text::ToUtf8(BoolText(value));
}

xmlNodePtr GetOrCreateChild(xmlNodePtr parent, const std::string& name) {
    if (!parent) throw ExportError("no element to add \"" + name + "\" to");
    for (xmlNodePtr c = parent->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && Str(c->name) == name) return c;
    return AppendElement(parent, name);
}

bool SetAttributeUnlessDefault(xmlNodePtr element, const std::string& name,
                               const std::string& value, const std::string& def) {
    if (!element) throw ExportError("no element for the attribute \"" + name + "\"");
    if (value == def) {
        RemoveAttributeQuietly(element, name);
        return false;
    }
    if (!xmlSetProp(element, X(name), X(value))) throw ExportError("out of memory");
    return true;
}

void SetBoolAttribute(xmlNodePtr element, const std::string& name, bool value, const bool* def) {
    if (def && *def == value) {
        RemoveAttributeQuietly(element, name);
        return;
    }
    if (!element) throw ExportError("no element for the attribute \"" + name + "\"");
    if (!xmlSetProp(element, X(name), X(BoolToText(value)))) throw ExportError("out of memory");
}

void RemoveAttributeQuietly(xmlNodePtr element, const std::string& name) noexcept {
    if (!element || element->type != XML_ELEMENT_NODE) return;
    if (xmlAttrPtr a = xmlHasProp(element, X(name))) xmlRemoveProp(a);
}

xmlNodePtr NewElement(xmlDocPtr document, const std::string& name) {
    xmlNodePtr e = xmlNewDocNode(document, nullptr, X(name), nullptr);
    if (!e) throw ExportError("out of memory");
    return e;
}

xmlNodePtr AppendElement(xmlNodePtr parent, const std::string& name) {
    xmlNodePtr e = NewElement(parent->doc, name);
    if (!xmlAddChild(parent, e)) {
        xmlFreeNode(e);
        throw ExportError("out of memory");
    }
    return e;
}

void SaveXmlDocument(xmlDocPtr document, const std::string& hostPath, bool declaration) {
    if (!document || !xmlDocGetRootElement(document))
        throw ExportError("There is no document to write to " + hostPath);
    CheckTree(document->children);
    const WString device = fs::DevicePathFromHost(hostPath);
    if (device.empty()) throw ExportError("The file " + hostPath + " cannot be written there");
    auto failed = [&](uint32_t error) {
        return ExportError("The file " + hostPath +
                           " could not be written: " + text::ToUtf8(fs::ErrorText(error)));
    };
    CConfigXmlFile out;
    fs::SetLastError(fs::kErrorSuccess);
    if (!out.Open(device, CConfigXmlFile::Layout::Compact, declaration)) {
        uint32_t e = fs::GetLastError();
        throw failed(e == fs::kErrorSuccess ? fs::kErrorAccessDenied : e);
    }
    WriteNodes(out, document->children);
    try {
        out.Close(false);
    } catch (const CFileException& e) {
        throw failed(e.m_osError);
    }
}

}  // namespace zntools8
