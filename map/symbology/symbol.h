// The symbol record of the map engine: how a point, line or polygon is drawn
// (marker, line, fill, TrueType glyph or image), the display objects made
// from it, its six XML elements, and its drawing as a legend swatch and as a
// point marker. The same record is one class of a renderer, so it also
// carries the class's value, label, reference scale, visibility and count.
#pragma once

#include <cstdint>
#include <memory>

#include "core/config_xml_file.h"
#include "core/xml_node.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"

struct CSymbolNameEntry {
    const WChar* name;
    int value;
};

class CSymbol {
public:
    enum Type {
        kTypeNone = 0,
        kTypeSimpleMarker = 1,
        kTypeSimpleLine = 2,
        kTypeSimplePolygon = 3,
        kTypeRasterFill = 4,
        kTypeTrueTypeMarker = 5,
        kTypeRasterMarker = 6,
    };
    enum BrushKind {
        kBrushStock = -1,
        kBrushSolid = 0,
        kBrushNone = 1,
        kBrushHatch = 2,
        kBrushStipple = 3,
        kBrushImage = 5,
    };
    enum FillMode {
        kFillNone = 0,
        kFillSolid = 1,
        kFillHatch = 2,
        kFillStock = 3,
        kFillStipple = 4,
        kFillOpaqueStipple = 5,
    };
    enum ClassKind { kClassDefault = 0, kClassExact = 1, kClassRange = 2 };

    // The stipple block: 8 rows of 2 bytes.
    static constexpr int kStippleBytes = 16;

    CSymbol();
    explicit CSymbol(int type);
    ~CSymbol();
    CSymbol(const CSymbol&) = delete;
    CSymbol& operator=(const CSymbol&) = delete;

    void Reset(int type);
    void SetType(int type);
    void CreateBrush();
    // With `child`, the element's first child named like a symbol element is
    // read (false when there is none); else the element itself.
    bool ReadXml(const CXmlNode* element, bool child);
    // One element; false for type 0.
    bool WriteXml(CConfigXmlFile& out) const;
    void CopyFrom(const CSymbol& other);
    void SetLineWidth(double width);
    // Replaces the stipple pattern (rows as they are drawn: clear bits in the
    // fill colour) and makes its bitmap.
    void SetStipple(const uint8_t* bits, int width, int height);

    void SelectDrawingObjects(HDC dc, double scale);
    void SelectPen(HDC dc, double scale) const;
    void SelectBrush(HDC dc) const;
    void DrawSwatch(HDC dc, const RECT& rect);
    // Draws a point symbol centred on (x, y); gives the half width and half
    // height of what was drawn (kept until the next call).
    SIZE DrawMarker(HDC dc, int x, int y, int rotationType, int rotation, double scale);
    // Selects the TrueType marker font for the scale; false when the glyph
    // would be too small.
    bool SelectMarkerFont(HDC dc, int rotationType, int rotation, double scale);

    static int LineStyleFromName(WStringView name);
    static const WChar* LineStyleName(int style);
    static int HatchFromName(WStringView name);
    static const WChar* HatchName(int hatch);
    static int MarkerStyleFromName(WStringView name);
    static const WChar* MarkerStyleName(int style);
    static int StockFillFromName(WStringView name);
    static const WChar* StockFillName(int stock);
    // Pairs of hexadecimal digits into bytes until fewer than two characters
    // remain or `max` bytes are made; the count.
    static int ParseHexBytes(const WChar* text, uint8_t* buffer, int max);
    // The bitmap file named by the element's "image" attribute, looked for
    // as given and then beside the XML file; null when neither exists.
    static HBITMAP LoadSymbolImage(const CXmlNode* element);
    // The eight rows of a hatch (0-5).
    static const uint8_t kHatchRows[6][8];
    // Deletes the program-wide pen and marker font (tests).
    static void ResetCaches();

    // Fields, read in place by the renderer, the layers and the style pages.
    int m_type = 0;
    int m_classKind = 0;
    WString m_value;
    WString m_upper;
    double m_valueNumber = 0;
    double m_upperNumber = 0;
    WString m_label;
    double m_referenceScale = 0;
    LOGPEN m_pen;
    double m_lineWidth = 0;
    int m_brushKind = kBrushNone;
    COLORREF m_fillColor = 0;
    int m_brushIndex = 5;
    std::unique_ptr<uint8_t[]> m_stippleBits;
    int m_stippleWidth = 8;
    int m_stippleHeight = 8;
    COLORREF m_glyphColor = 0;
    WChar m_glyph = u'?';
    WString m_fontFace;
    BYTE m_charSet = DEFAULT_CHARSET;
    int m_size = 3;
    int m_angle = 0;
    int m_markerStyle = 0;
    int m_fillMode = kFillHatch;
    COLORREF m_backgroundColor = 0;
    int m_backgroundMode = TRANSPARENT;
    int m_drawCount = 0;
    bool m_visible = true;
    // The image path of a raster fill or raster marker as it was read.
    WString m_image;
    gdi::OwnedBitmap m_patternBitmap;
    HBRUSH m_brush = nullptr;

private:
    void DeleteBrush();
    void DeletePattern();
    void ReadMarker(const CXmlNode* e);
    void ReadLine(const CXmlNode* e);
    void ReadPolygon(const CXmlNode* e);
    void ReadTrueType(const CXmlNode* e);
    void ReadRasterMarker(const CXmlNode* e);
    void ReadRasterFill(const CXmlNode* e);
    void MakeStippleBitmap();

    gdi::OwnedBrush m_ownBrush;  // m_brush when it is not a stock brush
};

// Fills a polygon with a symbol: the joined rings (the record's n points,
// then every ring followed by the first point, n + p entries, as the shape
// engine prepares them) filled without a pen, a transparent stipple in two
// raster-operation passes, then each ring outlined with the symbol's pen
// for the scale. The device context's brush, colours and modes are restored.
// `starts` points at the record's 32-bit part starts.
void FillSymbolPolygon(HDC dc, const CSymbol& symbol, const POINT* points, int total,
                       const uint8_t* starts, int partCount, double scale);
