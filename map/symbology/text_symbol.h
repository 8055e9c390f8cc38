// The text style of labels: a font record, a size in tenths of a point, an
// angle, a colour and an optional opaque background ("blockout"). The font
// is made from them on demand, optionally scaled to the map scale.
#pragma once

#include "core/config_xml_file.h"
#include "core/xml_node.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"

class CTextSymbol {
public:
    // Starts from the default label font (the preferences').
    CTextSymbol();
    // Starts from the given font (the preferences' own text symbols).
    explicit CTextSymbol(const LOGFONT& start);
    ~CTextSymbol();
    CTextSymbol(const CTextSymbol&) = delete;
    CTextSymbol& operator=(const CTextSymbol&) = delete;

    // The element's attributes over the default record (the preferences'
    // label font). False without an element.
    bool ReadXml(const CXmlNode* element, const LOGFONT* def);
    void WriteXml(CConfigXmlFile& out) const;

    HFONT SelectInto(HDC dc);
    HFONT SelectWithAngle(HDC dc, int angle);
    // Null, with nothing selected, when the scaled text is too small.
    HFONT SelectScaled(HDC dc, double factor, int angle);
    void CreateFont();
    void SetFontRecord(const LOGFONT& font);
    void CopyFrom(const CTextSymbol& other);

    int m_angle = 0;
    gdi::OwnedFont m_font;
    COLORREF m_textColor = 0;
    COLORREF m_blockoutColor = RGB(255, 255, 255);
    bool m_blockout = false;
    bool m_read = false;
    LOGFONT m_fontRecord;
    int m_size = 80;

private:
    void EnsureFont(int angle, int size);
    void DeleteFont();
};

// Where new text symbols and labels read without a font take their font
// from: the preferences install their label font; without a source, the
// system font.
using LabelFontSource = const LOGFONT* (*)();
void SetLabelFontSource(LabelFontSource source);
const LOGFONT* GetDefaultLabelFont();
