// A feature layer's label settings: the labelling field, whether labels are
// shown, the map scale range in which they show, a reference scale for the
// text size, a rotation field and the text symbol.
#pragma once

#include "map/symbology/text_symbol.h"

class CLabelRenderer {
public:
    CLabelRenderer() = default;
    virtual ~CLabelRenderer() = default;
    CLabelRenderer(const CLabelRenderer&) = delete;
    CLabelRenderer& operator=(const CLabelRenderer&) = delete;

    bool ReadXml(const CXmlNode* element);
    // The SIMPLELABELRENDERER of the layer element's SYMBOLOGY.
    bool ReadFromLayer(const CXmlNode* layer);
    void WriteXml(CConfigXmlFile& out) const;

    // Null when labels are not drawn at this scale (too small).
    HFONT SelectFont(HDC dc, double scale);
    HFONT SelectFontRotated(HDC dc, double scale, int angle);
    // Whether labels show at the map scale (both limits inclusive).
    bool IsInScaleRange(double scale) const;

    WString m_field;
    double m_minScale = 0;
    double m_maxScale = 0;
    double m_referenceScale = 0;
    bool m_visible = false;
    CTextSymbol m_textSymbol;
    WString m_rotationField;
};

// A scale written "1:n": the number after the first two characters when the
// second is ':' (a decimal comma accepted); false and unchanged otherwise.
bool ReadScaleText(WStringView text, double& scale);
