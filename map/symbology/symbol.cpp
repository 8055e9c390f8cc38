#include "map/symbology/symbol.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/window_helpers.h"
#include "formats/shape/shape_draw.h"
#include "map/symbology/font_attributes.h"
#include "platform/fs/fs.h"

namespace {

const CSymbolNameEntry kLineStyles[] = {{u"null", PS_NULL}, {u"solid", PS_SOLID}, {u"dash", PS_DASH}};
const CSymbolNameEntry kHatches[] = {
    {u"bdiagonal", HS_BDIAGONAL}, {u"fdiagonal", HS_FDIAGONAL}, {u"cross", HS_CROSS},
    {u"diagcross", HS_DIAGCROSS}, {u"horizontal", HS_HORIZONTAL}, {u"vertical", HS_VERTICAL}};
const CSymbolNameEntry kMarkerStyles[] = {
    {u"circle", 0}, {u"triangle", 1}, {u"square", 2}, {u"cross", 3}, {u"star", 4}};
const CSymbolNameEntry kStockFills[] = {
    {u"hollow", NULL_BRUSH}, {u"black", BLACK_BRUSH},   {u"white", WHITE_BRUSH},
    {u"gray", GRAY_BRUSH},   {u"lightgray", LTGRAY_BRUSH}, {u"darkgray", DKGRAY_BRUSH}};

template <size_t N>
int FindValue(const CSymbolNameEntry (&table)[N], WStringView name, int notFound) {
    for (const CSymbolNameEntry& e : table)
        if (text::EqualsNoCase(name, e.name)) return e.value;
    return notFound;
}
template <size_t N>
const WChar* FindName(const CSymbolNameEntry (&table)[N], int value, const WChar* notFound) {
    for (const CSymbolNameEntry& e : table)
        if (e.value == value) return e.name;
    return notFound;
}

const WChar* const kSymbolElements[] = {u"SIMPLEMARKERSYMBOL",   u"SIMPLELINESYMBOL",
                                        u"SIMPLEPOLYGONSYMBOL",  u"RASTERFILLSYMBOL",
                                        u"TRUETYPEMARKERSYMBOL", u"RASTERMARKERSYMBOL"};

bool IsSymbolElement(const WString& name) {
    for (const WChar* n : kSymbolElements)
        if (name == n) return true;
    return false;
}

// Pen widths in pixels: anything a file holds is brought into a range that
// a pen can be drawn with.
constexpr int kMaxPenWidth = 10000;
int PenWidthOf(double width) { return std::clamp(ClampToInt(width), 0, kMaxPenWidth); }
// Marker half-size in pixels.
constexpr int kMaxMarkerSize = 10000;
// TrueType marker sizes in tenths of a point.
constexpr int kMaxGlyphTenths = 100000;

// The program-wide pen: one live pen whatever the number of symbols. The
// holders are never destroyed: the objects live as long as the program.
gdi::OwnedPen& g_pen = *new gdi::OwnedPen;
LOGPEN g_penRecord;

// The program-wide marker font and the glyph offsets computed with it.
gdi::OwnedFont& g_font = *new gdi::OwnedFont;
LOGFONT g_fontRecord;
int g_glyphDx = 0, g_glyphDy = 0, g_glyphHalf = 0;

// What the last DrawMarker drew.
SIZE g_markerHalf{1, 1};

void DeleteCachedFont() {
    g_font.reset();
    g_fontRecord = LOGFONT{};
}

// A copy of a bitmap in its own format: DIB sections keep their colour table.
HBITMAP CopyBitmap(HBITMAP source) {
    if (!source) return nullptr;
    DIBSECTION ds;
    int got = GetObject(source, sizeof ds, &ds);
    if (got == 0) return nullptr;
    HDC src = CreateCompatibleDC(nullptr);
    HBITMAP oldSrc = SelectObject(src, source);
    HBITMAP copy = nullptr;
    if (got == int(sizeof ds)) {
        std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
        info->bmiHeader = ds.dsBmih;
        info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info->bmiHeader.biCompression = BI_RGB;
        UINT colours = 0;
        if (ds.dsBmih.biBitCount <= 8)
            colours = GetDIBColorTable(src, 0, 256, info->bmiColors);
        info->bmiHeader.biClrUsed = colours;
        void* bits = nullptr;
        copy = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (copy && bits && ds.dsBm.bmBits)
            std::memcpy(bits, ds.dsBm.bmBits,
                        static_cast<size_t>(ds.dsBm.bmWidthBytes) * std::abs(ds.dsBm.bmHeight));
    } else {
        copy = CreateBitmap(ds.dsBm.bmWidth, ds.dsBm.bmHeight, 1, ds.dsBm.bmBitsPixel, nullptr);
        if (copy) {
            HDC dst = CreateCompatibleDC(nullptr);
            HBITMAP oldDst = SelectObject(dst, copy);
            BitBlt(dst, 0, 0, ds.dsBm.bmWidth, ds.dsBm.bmHeight, src, 0, 0, SRCCOPY);
            SelectObject(dst, oldDst);
            DeleteDC(dst);
        }
    }
    SelectObject(src, oldSrc);
    DeleteDC(src);
    return copy;
}

// The font record of a marker glyph: e tenths of a point, the face, the
// rotation as escapement and orientation, no style.
LOGFONT MarkerFontRecord(int tenths, const WString& face, int rotation, BYTE charSet) {
    LOGFONT lf;
    FillLogFont(lf, tenths, face.c_str(), rotation, 0);
    lf.lfCharSet = charSet;
    return lf;
}

// The glyph size of a TrueType marker at a map scale, in tenths of a point;
// false when it is too small to draw.
bool MarkerGlyphTenths(const CSymbol& s, double scale, int* tenths) {
    int e = s.m_size;
    if (scale > 0 && s.m_referenceScale > 0) {
        e = std::clamp(ClampToInt(s.m_size * s.m_referenceScale / scale), 0, kMaxGlyphTenths);
        if (e <= 5 || std::abs(FontPointsToHeight(e / 10)) <= 2) return false;
    }
    *tenths = e;
    return true;
}

bool FaceInstalled(const WString& face, int charSet) {
    if (face.empty()) return false;
    return text::EqualsNoCase(gdi::SubstituteFace(face, charSet), face);
}

}  // namespace

const uint8_t CSymbol::kHatchRows[6][8] = {
    {0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00},  // horizontal
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11},  // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // fdiagonal
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // bdiagonal
    {0x10, 0x10, 0x10, 0xFF, 0x10, 0x10, 0x10, 0x10},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagcross
};

CSymbol::CSymbol() { Reset(kTypeNone); }

CSymbol::CSymbol(int type) {
    Reset(type);
    CreateBrush();
}

CSymbol::~CSymbol() {
    DeleteBrush();
    DeletePattern();
}

void CSymbol::DeleteBrush() {
    m_brush = nullptr;
    m_ownBrush.reset();
}

void CSymbol::DeletePattern() {
    m_patternBitmap.reset();
}

void CSymbol::Reset(int type) {
    m_type = type;
    m_classKind = kClassDefault;
    m_referenceScale = 0;
    m_pen = LOGPEN{};
    m_lineWidth = 0;
    m_brushKind = kBrushNone;
    m_fillColor = 0;
    m_brushIndex = 5;
    m_stippleBits.reset();
    m_stippleWidth = 8;
    m_stippleHeight = 8;
    m_glyphColor = 0;
    m_glyph = u'?';
    m_charSet = DEFAULT_CHARSET;
    m_size = 3;
    m_angle = 0;
    m_fillMode = kFillHatch;
    m_backgroundColor = 0;
    m_backgroundMode = TRANSPARENT;
    m_drawCount = 0;
    m_visible = true;
    m_image.clear();
    DeleteBrush();
    DeletePattern();
}

void CSymbol::SetType(int type) {
    m_type = type;
    CreateBrush();
}

void CSymbol::SetLineWidth(double width) {
    m_lineWidth = width;
    m_pen.lopnWidth.x = m_pen.lopnWidth.y = PenWidthOf(width);
}

void CSymbol::CreateBrush() {
    DeleteBrush();
    if (m_type != kTypeNone && m_type != kTypeSimpleMarker && m_type != kTypeSimplePolygon &&
        m_type != kTypeRasterFill)
        return;
    HBRUSH brush = nullptr;
    bool owned = true;
    switch (m_brushKind) {
        case kBrushSolid:
            brush = CreateSolidBrush(m_fillColor);
            break;
        case kBrushHatch: {
            DeletePattern();
            const uint8_t* rows = kHatchRows[((m_brushIndex % 6) + 6) % 6];
            uint8_t bits[16] = {};
            for (int i = 0; i < 8; ++i) bits[2 * i] = rows[i];
            m_patternBitmap.reset(CreateBitmap(8, 8, 1, 1, bits));
            brush = CreatePatternBrush(m_patternBitmap.get());
            break;
        }
        case kBrushStipple:
        case kBrushImage:
            brush = m_patternBitmap ? CreatePatternBrush(m_patternBitmap.get()) : nullptr;
            break;
        case kBrushStock:
            owned = false;
            if (m_brushIndex >= WHITE_BRUSH && m_brushIndex <= NULL_BRUSH)
                brush = reinterpret_cast<HBRUSH>(GetStockObject(m_brushIndex));
            break;
        default:
            owned = false;
            brush = reinterpret_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
            break;
    }
    if (!brush) {
        owned = false;
        brush = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    }
    m_brush = brush;
    if (owned) m_ownBrush.reset(brush);
}

void CSymbol::CopyFrom(const CSymbol& o) {
    if (&o == this) return;
    m_type = o.m_type;
    m_pen = o.m_pen;
    m_lineWidth = o.m_lineWidth;
    m_brushKind = o.m_brushKind;
    m_fillColor = o.m_fillColor;
    m_brushIndex = o.m_brushIndex;
    m_stippleBits.reset();
    if (o.m_stippleBits) {
        m_stippleBits = std::make_unique<uint8_t[]>(kStippleBytes);
        std::memcpy(m_stippleBits.get(), o.m_stippleBits.get(), kStippleBytes);
    }
    m_stippleWidth = o.m_stippleWidth;
    m_stippleHeight = o.m_stippleHeight;
    m_glyphColor = o.m_glyphColor;
    m_glyph = o.m_glyph;
    m_fontFace = o.m_fontFace;
    m_charSet = o.m_charSet;
    m_size = o.m_size;
    m_angle = o.m_angle;
    m_markerStyle = o.m_markerStyle;
    m_fillMode = o.m_fillMode;
    m_backgroundColor = o.m_backgroundColor;
    m_backgroundMode = o.m_backgroundMode;
    m_image = o.m_image;
    // The copy gets patterns of its own: the stipple made again from its
    // bits, an image duplicated.
    DeleteBrush();
    DeletePattern();
    if (m_brushKind == kBrushStipple && m_stippleBits)
        MakeStippleBitmap();
    else if (m_brushKind == kBrushImage || m_type == kTypeRasterMarker)
        m_patternBitmap.reset(CopyBitmap(o.m_patternBitmap.get()));
    CreateBrush();
}

void CSymbol::MakeStippleBitmap() {
    DeletePattern();
    m_stippleWidth = std::clamp(m_stippleWidth, 1, 16);
    m_stippleHeight = std::clamp(m_stippleHeight, 1, 8);
    m_patternBitmap.reset(CreateBitmap(m_stippleWidth, m_stippleHeight, 1, 1, m_stippleBits.get()));
}

void CSymbol::SetStipple(const uint8_t* bits, int width, int height) {
    m_stippleBits = std::make_unique<uint8_t[]>(kStippleBytes);
    std::memcpy(m_stippleBits.get(), bits, kStippleBytes);
    m_stippleWidth = width;
    m_stippleHeight = height;
    MakeStippleBitmap();
    m_brushKind = kBrushStipple;
    CreateBrush();
}

// ---- name tables ----

int CSymbol::LineStyleFromName(WStringView name) { return FindValue(kLineStyles, name, PS_SOLID); }
const WChar* CSymbol::LineStyleName(int style) { return FindName(kLineStyles, style, u"solid"); }
int CSymbol::HatchFromName(WStringView name) { return FindValue(kHatches, name, -1); }
const WChar* CSymbol::HatchName(int hatch) { return FindName(kHatches, hatch, u"solid"); }
int CSymbol::MarkerStyleFromName(WStringView name) { return FindValue(kMarkerStyles, name, 0); }
const WChar* CSymbol::MarkerStyleName(int style) {
    return FindName(kMarkerStyles, style, u"circle");
}
int CSymbol::StockFillFromName(WStringView name) { return FindValue(kStockFills, name, -1); }
const WChar* CSymbol::StockFillName(int stock) { return FindName(kStockFills, stock, u"solid"); }

int CSymbol::ParseHexBytes(const WChar* t, uint8_t* buffer, int max) {
    if (!t || !buffer) return 0;
    int count = 0;
    size_t len = text::Length(t);
    for (size_t i = 0; i + 1 < len && count < max; i += 2) {
        int hi = text::HexDigit(t[i]), lo = text::HexDigit(t[i + 1]);
        buffer[count++] = static_cast<uint8_t>(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo));
    }
    return count;
}

HBITMAP CSymbol::LoadSymbolImage(const CXmlNode* element) {
    if (!element) return nullptr;
    WString path = element->GetAttribute(u"image");
    if (path.empty()) return nullptr;
    fs::Resolved r;
    if (!fs::ResolvePath(path, &r) || !r.exists) {
        const CXmlDocument* doc = element->GetDocument();
        if (!doc || doc->GetFileName().empty()) return nullptr;
        const WString& xmlPath = doc->GetFileName();
        size_t slash = xmlPath.find_last_of(u"\\/");
        size_t nameStart = path.find_last_of(u"\\/");
        WString beside = (slash == WString::npos ? WString() : xmlPath.substr(0, slash + 1)) +
                         (nameStart == WString::npos ? path : path.substr(nameStart + 1));
        if (!fs::ResolvePath(beside, &r) || !r.exists) return nullptr;
    }
    WString host = text::FromUtf8(r.host);
    return LoadDibFile(host.c_str());
}

// ---- reading ----

bool CSymbol::ReadXml(const CXmlNode* element, bool child) {
    if (!element) return false;
    const CXmlNode* e = element;
    if (child) {
        e = nullptr;
        for (int i = 0; i < element->GetChildCount() && !e; ++i)
            if (IsSymbolElement(element->GetChild(i)->GetName())) e = element->GetChild(i);
        if (!e) return false;
    }
    const WString& name = e->GetName();
    if (name == u"SIMPLEMARKERSYMBOL")
        ReadMarker(e);
    else if (name == u"SIMPLELINESYMBOL")
        ReadLine(e);
    else if (name == u"SIMPLEPOLYGONSYMBOL")
        ReadPolygon(e);
    else if (name == u"RASTERFILLSYMBOL")
        ReadRasterFill(e);
    else if (name == u"TRUETYPEMARKERSYMBOL")
        ReadTrueType(e);
    else if (name == u"RASTERMARKERSYMBOL")
        ReadRasterMarker(e);
    return true;
}

void CSymbol::ReadMarker(const CXmlNode* e) {
    m_type = kTypeSimpleMarker;
    m_fillColor = e->GetAttributeColor(u"color", 0);
    m_size = std::clamp(ClampToInt(ReadLocaleNumber(e, u"width", 3)), 0, kMaxMarkerSize);
    m_markerStyle = MarkerStyleFromName(e->GetAttribute(u"type"));
    m_pen.lopnColor = e->GetAttributeColor(u"outline", 0);
    m_brushKind = kBrushSolid;
    m_pen.lopnStyle = PS_SOLID;
    SetLineWidth(0);
    CreateBrush();
}

void CSymbol::ReadLine(const CXmlNode* e) {
    m_type = kTypeSimpleLine;
    m_pen.lopnColor = e->GetAttributeColor(u"color", 0);
    m_pen.lopnStyle = LineStyleFromName(e->GetAttribute(u"type"));
    SetLineWidth(ReadLocaleNumber(e, u"width", 0));
    CreateBrush();
}

void CSymbol::ReadPolygon(const CXmlNode* e) {
    m_type = kTypeSimplePolygon;
    m_fillColor = e->GetAttributeColor(u"fillcolor", RGB(255, 255, 255));
    m_backgroundColor = e->GetAttributeColor(u"backgroundcolor", 0);
    if (ReadLocaleNumber(e, u"boundarytransparency", 1) > 0) {
        m_pen.lopnColor = e->GetAttributeColor(u"boundarycolor", 0);
        m_pen.lopnStyle = LineStyleFromName(e->GetAttribute(u"boundarytype"));
        SetLineWidth(ReadLocaleNumber(e, u"boundarywidth", 0));
    } else {
        m_pen.lopnStyle = PS_NULL;
        SetLineWidth(0);
        m_pen.lopnColor = 0;
    }
    double fillTransparency = ReadLocaleNumber(e, u"filltransparency", 1);
    WString fillType = e->GetAttribute(u"filltype");
    int hatch = HatchFromName(fillType);
    int stock = StockFillFromName(fillType);
    if (fillTransparency == 0) {
        m_fillMode = kFillNone;
        m_brushKind = kBrushNone;
        m_backgroundMode = TRANSPARENT;
    } else if (hatch >= 0) {
        m_fillMode = kFillHatch;
        m_brushKind = kBrushHatch;
        m_brushIndex = hatch;
        m_backgroundMode = TRANSPARENT;
    } else if (stock >= 0) {
        m_fillMode = kFillStock;
        m_brushKind = kBrushStock;
        m_brushIndex = stock;
        m_backgroundMode = TRANSPARENT;
    } else if (text::EqualsNoCase(fillType, u"solid")) {
        m_fillMode = kFillSolid;
        m_brushKind = kBrushSolid;
    } else if (text::EqualsNoCase(fillType, u"stipple")) {
        m_fillMode = kFillStipple;
    } else if (text::EqualsNoCase(fillType, u"opaquestipple")) {
        m_fillMode = kFillOpaqueStipple;
    }
    if (m_fillMode == kFillStipple || m_fillMode == kFillOpaqueStipple) {
        if (m_fillMode == kFillStipple) {
            m_backgroundMode = TRANSPARENT;
            m_backgroundColor = RGB(255, 255, 255);
        }
        m_stippleBits = std::make_unique<uint8_t[]>(kStippleBytes);
        std::memset(m_stippleBits.get(), 0, kStippleBytes);
        m_stippleWidth = e->GetAttributeInt(u"stipplewidth", 8);
        m_stippleHeight = e->GetAttributeInt(u"stippleheight", 8);
        uint8_t rows[8] = {};
        WString pattern = e->GetAttribute(u"stipplepattern");
        int n = ParseHexBytes(pattern.c_str(), rows, 8);
        for (int i = 0; i < n; ++i) m_stippleBits[2 * i] = static_cast<uint8_t>(~rows[i]);
        MakeStippleBitmap();
        m_brushKind = kBrushStipple;
    }
    CreateBrush();
}

void CSymbol::ReadTrueType(const CXmlNode* e) {
    m_type = kTypeTrueTypeMarker;
    m_glyphColor = e->GetAttributeColor(u"fontcolor", 0);
    int ch = e->GetAttributeInt(u"character", 35);
    m_glyph = static_cast<WChar>(ch >= 1 && ch <= 0xFFFF ? ch : 35);
    m_fontFace = e->GetAttribute(u"font");
    WString cs = e->GetAttribute(u"charset");
    int number = CharSetFromName(cs);
    if (number < 0) number = cs.empty() ? DEFAULT_CHARSET : text::ParseLong(WStringView(cs));
    m_charSet = static_cast<BYTE>(number);
    m_size = std::clamp(ClampToInt(ReadLocaleNumber(e, u"fontsize", 10) * 10), 0, kMaxGlyphTenths);
    double angle = std::trunc(ReadLocaleNumber(e, u"angle", 0) * 10);
    m_angle = std::isfinite(angle) ? static_cast<int>(std::fmod(angle, 3600.0)) : 0;
    CreateBrush();
}

void CSymbol::ReadRasterMarker(const CXmlNode* e) {
    m_type = kTypeRasterMarker;
    DeletePattern();
    m_image = e->GetAttribute(u"image");
    m_patternBitmap.reset(LoadSymbolImage(e));
    CreateBrush();
}

void CSymbol::ReadRasterFill(const CXmlNode* e) {
    m_type = kTypeRasterFill;
    m_pen.lopnStyle = PS_NULL;
    SetLineWidth(0);
    m_pen.lopnColor = 0;
    DeletePattern();
    m_image = e->GetAttribute(u"image");
    m_patternBitmap.reset(LoadSymbolImage(e));
    m_brushKind = kBrushImage;
    CreateBrush();
}

// ---- writing ----

bool CSymbol::WriteXml(CConfigXmlFile& out) const {
    switch (m_type) {
        case kTypeSimpleMarker:
            out.BeginElement(-1, u"SIMPLEMARKERSYMBOL");
            out.WriteColorAttribute(u"color", m_fillColor);
            out.WriteIntAttribute(u"width", m_size);
            out.WriteStringAttribute(u"type", MarkerStyleName(m_markerStyle));
            out.WriteColorAttribute(u"outline", m_pen.lopnColor);
            break;
        case kTypeSimpleLine:
            out.BeginElement(-1, u"SIMPLELINESYMBOL");
            out.WriteColorAttribute(u"color", m_pen.lopnColor);
            out.WriteStringAttribute(u"type", LineStyleName(m_pen.lopnStyle));
            out.WriteDoubleAttribute(u"width", m_lineWidth, 0.0);
            break;
        case kTypeSimplePolygon: {
            out.BeginElement(-1, u"SIMPLEPOLYGONSYMBOL");
            out.WriteColorAttribute(u"fillcolor", m_fillColor);
            out.WriteAttribute(u"filltransparency", m_brushKind != kBrushNone ? u"1" : u"0");
            const WChar* fillType = u"solid";
            if (m_fillMode == kFillHatch && m_brushKind == kBrushHatch)
                fillType = HatchName(m_brushIndex);
            else if (m_fillMode == kFillStock && m_brushKind == kBrushStock)
                fillType = StockFillName(m_brushIndex);
            else if (m_fillMode == kFillStipple)
                fillType = u"stipple";
            else if (m_fillMode == kFillOpaqueStipple)
                fillType = u"opaquestipple";
            out.WriteStringAttribute(u"filltype", fillType);
            if ((m_fillMode == kFillStipple || m_fillMode == kFillOpaqueStipple) &&
                m_stippleBits) {
                out.WriteIntAttribute(u"stipplewidth", m_stippleWidth);
                out.WriteIntAttribute(u"stippleheight", m_stippleHeight);
                WString hex;
                for (int i = 0; i < m_stippleHeight && i < 8; ++i)
                    hex += text::Format(u"%02X", static_cast<uint8_t>(~m_stippleBits[2 * i]));
                out.WriteStringAttribute(u"stipplepattern", hex);
            }
            out.WriteColorAttribute(u"backgroundcolor", m_backgroundColor);
            out.WriteColorAttribute(u"boundarycolor", m_pen.lopnColor);
            out.WriteDoubleAttribute(u"boundarywidth", m_lineWidth, 0.0);
            out.WriteStringAttribute(u"boundarytype", LineStyleName(m_pen.lopnStyle));
            out.WriteAttribute(u"boundarytransparency", m_pen.lopnStyle != PS_NULL ? u"1" : u"0");
            break;
        }
        case kTypeRasterFill:
            out.BeginElement(-1, u"RASTERFILLSYMBOL");
            out.WriteStringAttribute(u"image", m_image);
            break;
        case kTypeTrueTypeMarker: {
            out.BeginElement(-1, u"TRUETYPEMARKERSYMBOL");
            out.WriteColorAttribute(u"fontcolor", m_glyphColor);
            out.WriteIntAttribute(u"character", m_glyph);
            out.WriteStringAttribute(u"font", m_fontFace);
            if (const WChar* cs = CharSetName(m_charSet))
                out.WriteStringAttribute(u"charset", cs);
            else
                out.WriteIntAttribute(u"charset", m_charSet);
            out.WriteDoubleAttribute(u"fontsize", m_size / 10.0);
            out.WriteDoubleAttribute(u"angle", m_angle / 10.0, 0.0);
            break;
        }
        case kTypeRasterMarker:
            out.BeginElement(-1, u"RASTERMARKERSYMBOL");
            out.WriteStringAttribute(u"image", m_image);
            break;
        default:
            return false;
    }
    out.EndStartTag(false);
    return true;
}

// ---- drawing ----

void CSymbol::SelectPen(HDC dc, double scale) const {
    LOGPEN record = m_pen;
    if (scale > 0 && m_referenceScale > 0)
        record.lopnWidth.x = record.lopnWidth.y = PenWidthOf(m_lineWidth * m_referenceScale / scale);
    if (g_pen && std::memcmp(&record, &g_penRecord, sizeof record) == 0) {
        SelectObject(dc, g_pen.get());
        return;
    }
    HPEN pen = CreatePenIndirect(&record);
    if (!pen) return;
    SelectObject(dc, pen);
    // Selected first, so the old pen is no longer in this context.
    g_pen.reset(pen);
    g_penRecord = record;
}

void CSymbol::SelectBrush(HDC dc) const {
    if (m_brush) SelectObject(dc, m_brush);
}

void CSymbol::SelectDrawingObjects(HDC dc, double scale) {
    switch (m_type) {
        case kTypeSimpleLine:
            SelectPen(dc, scale);
            break;
        case kTypeNone:
        case kTypeSimpleMarker:
        case kTypeSimplePolygon:
            SelectPen(dc, scale);
            SelectBrush(dc);
            break;
        default:
            break;
    }
}

void CSymbol::ResetCaches() {
    g_pen.reset();
    g_penRecord = LOGPEN{};
    DeleteCachedFont();
    g_glyphDx = g_glyphDy = g_glyphHalf = 0;
    g_markerHalf = {1, 1};
}

bool CSymbol::SelectMarkerFont(HDC dc, int rotationType, int rotation, double scale) {
    int e = 0;
    if (!MarkerGlyphTenths(*this, scale, &e)) {
        DeleteCachedFont();
        return false;
    }
    int fontRotation;
    if (rotationType == 2)
        fontRotation = 3600 - (rotation % 3600);
    else if (rotationType == 3)
        fontRotation = rotation - 900;
    else
        fontRotation = rotation;
    fontRotation += m_angle;
    LOGFONT lf = MarkerFontRecord(e, m_fontFace, fontRotation, m_charSet);
    if (g_font && std::memcmp(&lf, &g_fontRecord, sizeof lf) == 0) {
        SelectObject(dc, g_font.get());
        return true;
    }
    HFONT font = CreateFontIndirect(&lf);
    if (!font) return false;
    SelectObject(dc, font);
    g_font.reset(font);
    g_fontRecord = lf;
    // The offset from the marker's centre to the glyph's cell origin, kept
    // with the font.
    SIZE extent{};
    GetTextExtentPoint32(dc, &m_glyph, 1, &extent);
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    int w = extent.cx, a = tm.tmAscent;
    int half = w / 2;
    int m = std::min(a, w);
    double base = std::atan2(static_cast<double>(m), static_cast<double>(half));
    int t;
    if (rotationType == 1)
        t = 3600 - rotation;
    else if (rotationType == 3)
        t = 4500 - rotation;
    else
        t = rotation;
    int degrees = (t + m_angle) / 10;
    double angle = degrees * M_PI / 180.0 + base;
    double r = std::sqrt(static_cast<double>(m) * m + static_cast<double>(half) * half);
    g_glyphDx = static_cast<int>(std::cos(angle) * r);
    g_glyphDy = static_cast<int>(std::sin(angle) * r);
    g_glyphHalf = half;
    return true;
}

SIZE CSymbol::DrawMarker(HDC dc, int x, int y, int rotationType, int rotation, double scale) {
    switch (m_type) {
        case kTypeSimpleMarker: {
            int s = m_size;
            if (s <= 1) {
                SetPixel(dc, x, y, m_fillColor);
                g_markerHalf = {1, 1};
            } else {
                if (m_markerStyle == 2)
                    Rectangle(dc, x - s, y - s, x + s + 1, y + s + 1);
                else
                    Ellipse(dc, x - s, y - s, x + s + 1, y + s + 1);
                g_markerHalf = {s + 1, s + 1};
            }
            break;
        }
        case kTypeTrueTypeMarker: {
            int e = 0;
            if (MarkerGlyphTenths(*this, scale, &e) && !FaceInstalled(m_fontFace, m_charSet)) {
                // A face that is not installed: a dot of the glyph's height,
                // never another face's letter.
                int h = std::abs(MarkerFontRecord(e, m_fontFace, 0, m_charSet).lfHeight);
                gdi::OwnedBrush brush(CreateSolidBrush(m_glyphColor));
                gdi::OwnedPen pen(CreatePen(PS_SOLID, 0, m_glyphColor));
                HBRUSH oldBrush = SelectObject(dc, brush.get());
                HPEN oldPen = SelectObject(dc, pen.get());
                int left = x - h / 2, top = y - h / 2;
                Ellipse(dc, left, top, left + h, top + h);
                SelectObject(dc, oldPen);
                SelectObject(dc, oldBrush);
                g_markerHalf = {h / 2, h / 2};
                break;
            }
            HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
            if (SelectMarkerFont(dc, rotationType, rotation, scale)) {
                SetTextColor(dc, m_glyphColor);
                SetBkMode(dc, TRANSPARENT);
                ExtTextOut(dc, x - g_glyphDx, y - g_glyphDy, 0, nullptr, &m_glyph, 1, nullptr);
                // The font stays cached, not selected, so that it can be replaced.
                SelectObject(dc, oldFont);
                g_markerHalf = {g_glyphHalf, g_glyphHalf};
            } else {
                SetPixel(dc, x, y, m_glyphColor);
                g_markerHalf = {1, 1};
            }
            break;
        }
        case kTypeRasterMarker: {
            BITMAP bm;
            if (!m_patternBitmap || !GetObject(m_patternBitmap.get(), sizeof bm, &bm)) {
                g_markerHalf = {0, 0};
                break;
            }
            int w = bm.bmWidth, h = std::abs(bm.bmHeight);
            HDC mem = CreateCompatibleDC(dc);
            HBITMAP old = SelectObject(mem, m_patternBitmap.get());
            BitBlt(dc, x - w / 2, y - h / 2, w, h, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
            g_markerHalf = {w / 2, h / 2};
            break;
        }
        default:
            Ellipse(dc, x - 3, y - 3, x + 3, y + 3);
            g_markerHalf = {1, 1};
            break;
    }
    return g_markerHalf;
}

void CSymbol::DrawSwatch(HDC dc, const RECT& rc) {
    int saved = SaveDC(dc);
    int cx = rc.left + (rc.right - rc.left) / 2, cy = rc.top + (rc.bottom - rc.top) / 2;
    switch (m_type) {
        case kTypeNone:
        case kTypeSimplePolygon:
        case kTypeRasterFill:
            SelectPen(dc, 0);
            SelectBrush(dc);
            SetTextColor(dc, m_fillColor);
            SetBkColor(dc, m_backgroundColor);
            Rectangle(dc, rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1);
            if (m_type == kTypeNone) DrawMarker(dc, cx, cy, 0, 0, 0);
            break;
        case kTypeSimpleLine:
            SelectPen(dc, 0);
            MoveToEx(dc, rc.left + 1, cy, nullptr);
            LineTo(dc, rc.right - 1, cy);
            break;
        default:
            DrawMarker(dc, cx, cy, 0, 0, 0);
            break;
    }
    RestoreDC(dc, saved);
}

void FillSymbolPolygon(HDC dc, const CSymbol& symbol, const POINT* points, int total,
                       const uint8_t* starts, int partCount, double scale) {
    if (!points || total <= 0 || partCount <= 0) return;
    HGDIOBJ oldBrush = GetCurrentObject(dc, OBJ_BRUSH);
    symbol.SelectBrush(dc);
    COLORREF oldText = GetTextColor(dc), oldBk = GetBkColor(dc);
    int oldMode = GetBkMode(dc);
    SelectObject(dc, GetStockObject(NULL_PEN));
    // One ring: its own points; several: the joined path, so holes stay open.
    const POINT* path = partCount == 1 ? points : points + total;
    int count = partCount == 1 ? total : total + partCount;
    if (symbol.m_fillMode == CSymbol::kFillStipple) {
        int oldRop = GetROP2(dc);
        // Clear the pattern's fill pixels, then merge the fill colour into
        // them; the clear bits leave the pixels underneath as they were.
        SetTextColor(dc, ~symbol.m_fillColor & 0xFFFFFF);
        SetBkColor(dc, 0);
        SetROP2(dc, R2_MASKNOTPEN);
        Polygon(dc, path, count);
        SetTextColor(dc, symbol.m_fillColor);
        SetBkColor(dc, 0);
        SetBkMode(dc, OPAQUE);
        SetROP2(dc, R2_MERGEPEN);
        Polygon(dc, path, count);
        SetBkColor(dc, symbol.m_backgroundColor);
        SetROP2(dc, oldRop);
    } else {
        SetTextColor(dc, symbol.m_fillColor);
        SetBkColor(dc, symbol.m_backgroundColor);
        SetBkMode(dc, symbol.m_backgroundMode);
        Polygon(dc, path, count);
    }
    symbol.SelectPen(dc, scale);
    ShpPolylineParts(dc, points, total, starts, partCount);
    SelectObject(dc, oldBrush);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBk);
    SetBkMode(dc, oldMode);
}
