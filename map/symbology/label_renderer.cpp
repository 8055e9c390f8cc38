#include "map/symbology/label_renderer.h"

#include "map/symbology/font_attributes.h"

bool ReadScaleText(WStringView t, double& scale) {
    if (t.size() < 2 || t[1] != u':') return false;
    scale = ParseLocaleNumber(t.substr(2));
    return true;
}

bool CLabelRenderer::ReadFromLayer(const CXmlNode* layer) {
    if (!layer) return false;
    const CXmlNode* symbology = layer->FindChild(u"SYMBOLOGY");
    if (!symbology) return false;
    const CXmlNode* labels = symbology->FindChild(u"SIMPLELABELRENDERER");
    if (!labels) return false;
    return ReadXml(labels);
}

bool CLabelRenderer::ReadXml(const CXmlNode* e) {
    if (!e) return false;
    m_field = e->GetAttribute(u"field");
    m_rotationField = e->GetAttribute(u"rotationfield");
    if (const CXmlNode* text = e->FindChild(u"TEXTSYMBOL"))
        m_textSymbol.ReadXml(text, GetDefaultLabelFont());
    m_visible = e->GetAttributeBool(u"visible", false);
    ReadScaleText(e->GetAttribute(u"minscale"), m_minScale);
    ReadScaleText(e->GetAttribute(u"maxscale"), m_maxScale);
    ReadScaleText(e->GetAttribute(u"refscale"), m_referenceScale);
    return true;
}

void CLabelRenderer::WriteXml(CConfigXmlFile& out) const {
    out.BeginElement(-1, u"SIMPLELABELRENDERER");
    out.WriteStringAttribute(u"field", m_field);
    if (m_visible) out.WriteAttribute(u"visible", u"true");
    if (m_minScale != 0) out.WriteFormatted(u"minscale=\"1:%.15g\"", m_minScale);
    if (m_maxScale != 0) out.WriteFormatted(u"maxscale=\"1:%.15g\"", m_maxScale);
    if (m_referenceScale != 0) out.WriteFormatted(u"refscale=\"1:%.15g\"", m_referenceScale);
    // A map document is read after the layer file: without it the layer
    // file's rotation field would be emptied.
    if (!m_rotationField.empty()) out.WriteStringAttribute(u"rotationfield", m_rotationField);
    out.EndStartTag(true);
    m_textSymbol.WriteXml(out);
    out.EndElement(-1, u"SIMPLELABELRENDERER");
}

HFONT CLabelRenderer::SelectFont(HDC dc, double scale) {
    if (scale > 0 && m_referenceScale > 0)
        return m_textSymbol.SelectScaled(dc, m_referenceScale / scale, 0);
    return m_textSymbol.SelectInto(dc);
}

HFONT CLabelRenderer::SelectFontRotated(HDC dc, double scale, int angle) {
    if (scale > 0 && m_referenceScale > 0)
        return m_textSymbol.SelectScaled(dc, m_referenceScale / scale, angle);
    return m_textSymbol.SelectWithAngle(dc, angle);
}

bool CLabelRenderer::IsInScaleRange(double s) const {
    return s == 0 || ((m_minScale == 0 || s >= m_minScale) && (m_maxScale == 0 || s <= m_maxScale));
}
