#include "map/symbology/renderer.h"

#include "map/map_messages.h"
#include "map/symbology/font_attributes.h"
#include "map/symbology/label_renderer.h"
#include "platform/fs/fs.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

int RotationTypeFromName(WStringView name) {
    if (text::EqualsNoCase(name, u"arithmetic")) return 3;
    if (text::EqualsNoCase(name, u"counterclockwise")) return 1;
    return 2;
}

// The classes go in reverse order (delete[]).
CRenderer::~CRenderer() = default;

void CRenderer::MakeClasses(int count) {
    m_exactMap.clear();
    m_classes = std::make_unique<CSymbol[]>(count);
    m_classCount = count;
}

bool CRenderer::ReadXml(const CXmlNode* layer) {
    if (!layer) return false;
    const CXmlNode* symbology = layer->FindChild(u"SYMBOLOGY");
    if (!symbology) return false;
    bool result = false;
    const CXmlNode* element = symbology->FindChild(u"SIMPLERENDERER");
    if (element) {
        MakeClasses(1);
        m_valueMap = false;
        m_classes[0].ReadXml(element, true);
        result = true;
    } else if ((element = symbology->FindChild(u"VALUEMAPRENDERER"))) {
        int n = element->CountChildren(u"EXACT") + element->CountChildren(u"RANGE");
        if (n > 0) {
            m_lookupField = element->GetAttribute(u"lookupfield");
            MakeClasses(n + 1);
            m_valueMap = true;
            int next = 1;
            for (int i = 0; i < element->GetChildCount(); ++i) {
                const CXmlNode* c = element->GetChild(i);
                CSymbol& s = m_classes[next];
                if (c->GetName() == u"EXACT") {
                    s.m_classKind = CSymbol::kClassExact;
                    s.m_value = text::ToUpper(c->GetAttribute(u"value"));
                    m_exactMap[s.m_value] = next;
                } else if (c->GetName() == u"RANGE") {
                    s.m_classKind = CSymbol::kClassRange;
                    s.m_value = text::ToUpper(c->GetAttribute(u"lower"));
                    s.m_upper = text::ToUpper(c->GetAttribute(u"upper"));
                } else {
                    continue;
                }
                s.m_label = c->GetAttribute(u"label");
                s.ReadXml(c, true);
                ++next;
            }
            if (const CXmlNode* other = element->FindChild(u"OTHER"))
                m_classes[0].ReadXml(other, true);
            result = true;
        }
    }
    if (result) {
        for (int i = 0; i < m_classCount; ++i) {
            m_classes[i].m_valueNumber = text::ParseDouble(WStringView(m_classes[i].m_value));
            m_classes[i].m_upperNumber = text::ParseDouble(WStringView(m_classes[i].m_upper));
        }
        m_classes[0].CreateBrush();
    }
    if (element) {
        m_rotationField = element->GetAttribute(u"rotationfield");
        m_rotationType = RotationTypeFromName(element->GetAttribute(u"rotationtype"));
        WString refscale = element->GetAttribute(u"refscale");
        double scale = 0;
        if (refscale.empty())
            SetReferenceScale(0);
        else if (ReadScaleText(refscale, scale))
            SetReferenceScale(scale);
    }
    if (const CXmlNode* link = layer->FindChild(u"HYPERLINK"))
        m_hyperlinkField = link->GetAttribute(u"field");
    return result;
}

bool CRenderer::ReadLayerFile(const WString& path) {
    fs::Resolved r;
    if (!fs::ResolvePath(path, &r) || !r.exists) return false;
    CXmlDocument doc;
    if (!doc.LoadFile(path) || !doc.GetRoot()) {
        ShowMapMessage(IDP_ERROR_PARSING, MB_OK | MB_ICONERROR, kBeepError, {path});
        return false;
    }
    if (doc.GetRoot()->GetName() != u"Zarnip") {
        ShowMapMessage(IDP_ROOT_NOT_ZARNIP, MB_OK | MB_ICONERROR, kBeepError, {path});
        return false;
    }
    const CXmlNode* layer = doc.GetRoot()->GetName() == u"LAYER" ? doc.GetRoot()
                                                                 : doc.FindElement(u"LAYER", true);
    if (!layer) return false;
    return ReadXml(layer);
}

CSymbol* CRenderer::FindClass(double number) const {
    for (int i = 0; i < m_classCount; ++i) {
        const CSymbol& s = m_classes[i];
        if (s.m_classKind == CSymbol::kClassExact && s.m_valueNumber == number) return &m_classes[i];
        if (s.m_classKind == CSymbol::kClassRange && s.m_valueNumber <= number &&
            number <= s.m_upperNumber)
            return &m_classes[i];
    }
    return nullptr;
}

CSymbol* CRenderer::FindClass(WStringView t) const {
    int i = FindClassIndex(t);
    return i < 0 ? nullptr : &m_classes[i];
}

int CRenderer::FindClassIndex(WStringView t) const {
    auto it = m_exactMap.find(WString(t));
    if (it != m_exactMap.end()) return it->second;
    for (int i = 0; i < m_classCount; ++i) {
        const CSymbol& s = m_classes[i];
        if (s.m_classKind == CSymbol::kClassRange && text::CompareNoCase(s.m_value, t) <= 0 &&
            text::CompareNoCase(s.m_upper, t) >= 0)
            return i;
    }
    return -1;
}

void CRenderer::SetReferenceScale(double scale) {
    for (int i = 0; i < m_classCount; ++i) m_classes[i].m_referenceScale = scale;
}

void CRenderer::ResetDrawCounts() {
    for (int i = 0; i < m_classCount; ++i) m_classes[i].m_drawCount = 0;
}

namespace {

// refscale, rotationfield and rotationtype, so that what was read comes back.
void WriteRendererAttributes(CConfigXmlFile& out, const CRenderer& r) {
    double scale = r.m_classCount > 0 ? r.m_classes[0].m_referenceScale : 0;
    if (scale != 0) out.WriteFormatted(u"refscale=\"1:%.15g\"", scale);
    if (!r.m_rotationField.empty()) out.WriteStringAttribute(u"rotationfield", r.m_rotationField);
    if (r.m_rotationType == 1) out.WriteAttribute(u"rotationtype", u"counterclockwise");
    if (r.m_rotationType == 3) out.WriteAttribute(u"rotationtype", u"arithmetic");
}

void WriteClass(CConfigXmlFile& out, const WChar* name, const CSymbol& s) {
    out.BeginElement(-1, name);
    if (s.m_classKind == CSymbol::kClassExact) out.WriteStringAttribute(u"value", s.m_value);
    if (s.m_classKind == CSymbol::kClassRange) {
        out.WriteStringAttribute(u"lower", s.m_value);
        out.WriteStringAttribute(u"upper", s.m_upper);
    }
    if (!s.m_label.empty()) out.WriteStringAttribute(u"label", s.m_label);
    if (s.m_type == CSymbol::kTypeNone) {
        out.EndStartTag(false);
        return;
    }
    out.EndStartTag(true);
    s.WriteXml(out);
    out.EndElement(-1, name);
}

}  // namespace

bool CRenderer::WriteXml(CConfigXmlFile& out, const bool* visible) const {
    if (m_classCount <= 0) return false;
    if (!m_valueMap) {
        out.BeginElement(-1, u"SIMPLERENDERER");
        if (visible) out.WriteBoolAttribute(u"visible", *visible);
        WriteRendererAttributes(out, *this);
        out.EndStartTag(true);
        m_classes[0].WriteXml(out);
        out.EndElement(-1, u"SIMPLERENDERER");
        return true;
    }
    out.BeginElement(-1, u"VALUEMAPRENDERER");
    out.WriteStringAttribute(u"lookupfield", m_lookupField);
    WriteRendererAttributes(out, *this);
    out.EndStartTag(true);
    for (int i = 1; i < m_classCount; ++i)
        WriteClass(out, m_classes[i].m_classKind == CSymbol::kClassRange ? u"RANGE" : u"EXACT",
                   m_classes[i]);
    WriteClass(out, u"OTHER", m_classes[0]);
    out.EndElement(-1, u"VALUEMAPRENDERER");
    return true;
}
