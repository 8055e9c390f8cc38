#include "map/symbology/text_symbol.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "map/symbology/font_attributes.h"

namespace {

// Sizes in tenths of a point beyond any font.
constexpr int kMaxTenths = 100000;

int Tenths(double points) { return std::clamp(ClampToInt(points * 10), -kMaxTenths, kMaxTenths); }

}  // namespace

namespace {
LabelFontSource g_labelFontSource = nullptr;
}  // namespace

void SetLabelFontSource(LabelFontSource source) { g_labelFontSource = source; }

const LOGFONT* GetDefaultLabelFont() {
    if (const LOGFONT* font = g_labelFontSource ? g_labelFontSource() : nullptr) return font;
    static const LOGFONT system = [] {
        LOGFONT lf;
        GetObject(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
        return lf;
    }();
    return &system;
}

CTextSymbol::CTextSymbol() : CTextSymbol(*GetDefaultLabelFont()) {}

CTextSymbol::CTextSymbol(const LOGFONT& start) {
    m_fontRecord = start;
    m_size = std::clamp(10 * FontHeightToPoints(m_fontRecord.lfHeight), -kMaxTenths, kMaxTenths);
}

CTextSymbol::~CTextSymbol() { DeleteFont(); }

void CTextSymbol::DeleteFont() {
    m_font.reset();
}

void CTextSymbol::CopyFrom(const CTextSymbol& o) {
    if (&o == this) return;
    m_angle = o.m_angle;
    m_textColor = o.m_textColor;
    m_blockoutColor = o.m_blockoutColor;
    m_blockout = o.m_blockout;
    m_read = o.m_read;
    m_fontRecord = o.m_fontRecord;
    m_size = o.m_size;
    DeleteFont();
}

bool CTextSymbol::ReadXml(const CXmlNode* e, const LOGFONT* def) {
    if (!e) return false;
    m_fontRecord = def ? *def : LOGFONT{};
    m_read = true;
    m_textColor = e->GetAttributeColor(u"fontcolor", 0);
    m_blockout = e->HasAttribute(u"blockout");
    if (m_blockout) m_blockoutColor = e->GetAttributeColor(u"blockout", RGB(255, 255, 255));
    WString defFace;
    if (def)
        for (int i = 0; i < LF_FACESIZE && def->lfFaceName[i]; ++i)
            defFace.push_back(def->lfFaceName[i]);
    WString face = e->GetAttribute(u"font", defFace.c_str());
    std::memset(m_fontRecord.lfFaceName, 0, sizeof m_fontRecord.lfFaceName);
    for (size_t i = 0; i < face.size() && i < LF_FACESIZE - 1; ++i) m_fontRecord.lfFaceName[i] = face[i];
    m_size = Tenths(ReadLocaleNumber(e, u"fontsize", def ? FontHeightToPoints(def->lfHeight) : 0));
    double angle = std::trunc(ReadLocaleNumber(e, u"angle", 0) * 10);
    m_angle = std::isfinite(angle) ? static_cast<int>(std::fmod(angle, 3600.0)) : 0;
    ParseFontStyle(e->GetAttribute(u"fontstyle", u"regular"), m_fontRecord);
    CreateFont();
    return true;
}

void CTextSymbol::WriteXml(CConfigXmlFile& out) const {
    out.BeginElement(-1, u"TEXTSYMBOL");
    out.WriteColorAttribute(u"fontcolor", m_textColor);
    if (m_blockout) out.WriteColorAttribute(u"blockout", m_blockoutColor);
    WString face;
    for (int i = 0; i < LF_FACESIZE && m_fontRecord.lfFaceName[i]; ++i)
        face.push_back(m_fontRecord.lfFaceName[i]);
    out.WriteStringAttribute(u"font", face);
    int code = (m_fontRecord.lfWeight > FW_NORMAL ? 1 : 0) | (m_fontRecord.lfItalic ? 2 : 0) |
               (m_fontRecord.lfUnderline ? 4 : 0) | (m_fontRecord.lfStrikeOut ? 8 : 0);
    static const WChar* const kNames[] = {u"regular", u"bold", u"italic", u"bolditalic",
                                          u"underline"};
    out.WriteStringAttribute(u"fontstyle", code <= 4 ? kNames[code] : FontStyleWords(m_fontRecord));
    out.WriteDoubleAttribute(u"fontsize", m_size / 10.0, 0.0);
    out.WriteDoubleAttribute(u"angle", m_angle / 10.0, 0.0);
    out.EndStartTag(false);
}

void CTextSymbol::EnsureFont(int angle, int size) {
    int height = FontPointsToHeight(size / 10);
    if (m_font.get() && m_fontRecord.lfOrientation == angle && m_fontRecord.lfHeight == height) return;
    DeleteFont();
    m_fontRecord.lfHeight = height;
    m_fontRecord.lfEscapement = angle;
    m_fontRecord.lfOrientation = angle;
    m_font.reset(CreateFontIndirect(&m_fontRecord));
}

void CTextSymbol::CreateFont() { EnsureFont(m_angle, m_size); }

HFONT CTextSymbol::SelectInto(HDC dc) {
    if (!m_font.get()) CreateFont();
    HFONT previous = SelectObject(dc, m_font.get());
    SetTextColor(dc, m_textColor);
    if (m_blockout) {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, m_blockoutColor);
    } else {
        SetBkMode(dc, TRANSPARENT);
    }
    return previous;
}

HFONT CTextSymbol::SelectWithAngle(HDC dc, int angle) {
    EnsureFont(angle, m_size);
    return SelectInto(dc);
}

HFONT CTextSymbol::SelectScaled(HDC dc, double factor, int angle) {
    if (angle == 0) angle = m_angle;
    if (factor != 1) {
        int s = std::clamp(ClampToInt(m_size * factor), -kMaxTenths, kMaxTenths);
        if (s < 6 || std::abs(FontPointsToHeight(s / 10)) < 4) return nullptr;
        EnsureFont(angle, s);
    } else {
        EnsureFont(angle, m_size);
    }
    return SelectInto(dc);
}

void CTextSymbol::SetFontRecord(const LOGFONT& font) {
    m_fontRecord = font;
    m_size = std::clamp(10 * FontHeightToPoints(font.lfHeight), -kMaxTenths, kMaxTenths);
    DeleteFont();
}
