#include "map/symbology/font_attributes.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "core/text_helpers.h"

const CharSetEntry kCharSetTable[19] = {
    {u"ANSI", 0},          {u"Default", 1},       {u"Symbol", 2},     {u"Shift JIS", 128},
    {u"Hangeul", 129},     {u"GB2312", 134},      {u"Chinese Big5", 136}, {u"OEM", 255},
    {u"Johab", 130},       {u"Hebrew", 177},      {u"Arabic", 178},   {u"Greek", 161},
    {u"Turkish", 162},     {u"Vietnamese", 163},  {u"Thai", 222},     {u"East Europe", 238},
    {u"Russian", 204},     {u"Mac", 77},          {u"Baltic", 186},
};

namespace {

int g_logPixelsY = 0;

int LogPixelsY() {
    if (g_logPixelsY <= 0) {
        HDC dc = CreateCompatibleDC(nullptr);
        g_logPixelsY = GetDeviceCaps(dc, LOGPIXELSY);
        DeleteDC(dc);
        if (g_logPixelsY <= 0) g_logPixelsY = 96;
    }
    return g_logPixelsY;
}

int MulDivTruncate(int a, int b, int c) {
    long long r = static_cast<long long>(a) * b / c;
    if (r > INT_MAX) return INT_MAX;
    if (r < INT_MIN) return INT_MIN;
    return static_cast<int>(r);
}

void CopyFace(LOGFONT& font, WStringView face) {
    std::memset(font.lfFaceName, 0, sizeof font.lfFaceName);
    size_t n = face.size() < LF_FACESIZE - 1 ? face.size() : LF_FACESIZE - 1;
    for (size_t i = 0; i < n; ++i) font.lfFaceName[i] = face[i];
}

}  // namespace

int FontPointsToHeight(int points) { return -MulDivTruncate(points, LogPixelsY(), 72); }

int FontHeightToPoints(int height) {
    if (height >= 0) return height;
    return MulDivTruncate(height == INT_MIN ? INT_MAX : -height, 72, LogPixelsY());
}

void ResetFontMetricsForTests() { g_logPixelsY = 0; }

const WChar* CharSetName(int number) {
    for (const CharSetEntry& e : kCharSetTable)
        if (e.number == number) return e.name;
    return nullptr;
}

int CharSetFromName(WStringView name) {
    for (const CharSetEntry& e : kCharSetTable)
        if (text::EqualsNoCase(name, e.name)) return e.number;
    return -1;
}

void ParseFontStyle(WStringView style, LOGFONT& font) {
    font.lfWeight = style.find(u"bold") != WStringView::npos ? FW_BOLD : FW_NORMAL;
    font.lfItalic = style.find(u"italic") != WStringView::npos;
    font.lfUnderline = style.find(u"underline") != WStringView::npos;
    font.lfStrikeOut = style.find(u"strikeout") != WStringView::npos;
}

WString FontStyleWords(const LOGFONT& font) {
    WString s = font.lfWeight > FW_NORMAL ? u"bold" : u"normal";
    if (font.lfItalic) s += u",italic";
    if (font.lfUnderline) s += u",underline";
    if (font.lfStrikeOut) s += u",strikeout";
    return s;
}

void WriteFontAttributes(CConfigXmlFile& out, const WChar* element, const LOGFONT& font) {
    out.BeginElement(-1, element);
    WString face;
    for (int i = 0; i < LF_FACESIZE && font.lfFaceName[i]; ++i) face.push_back(font.lfFaceName[i]);
    out.WriteStringAttribute(u"font", face);
    // The truncating conversions lose a point on the way back (-13 is 9.75
    // points, and 9 points read back as -12): write the size that reads
    // back as this height when there is one, so a font keeps its size
    // through every save.
    int points = FontHeightToPoints(font.lfHeight);
    if (font.lfHeight < 0 && points < INT_MAX && FontPointsToHeight(points) != font.lfHeight &&
        FontPointsToHeight(points + 1) == font.lfHeight)
        ++points;
    out.WriteIntAttribute(u"fontsize", points, 0);
    if (const WChar* name = CharSetName(font.lfCharSet))
        out.WriteStringAttribute(u"charset", name);
    else
        out.WriteIntAttribute(u"charset", font.lfCharSet, 0);
    out.WriteStringAttribute(u"fontstyle", FontStyleWords(font));
    out.EndStartTag(false);
}

bool HasFontAttributes(const CXmlNode* element) {
    if (!element) return false;
    return element->HasAttribute(u"font") || element->HasAttribute(u"fontsize") ||
           element->HasAttribute(u"fontstyle") || element->HasAttribute(u"charset");
}

bool ReadFontAttributes(const CXmlNode* element, LOGFONT& font, const LOGFONT* def) {
    if (!element && !def) return false;
    font = def ? *def : LOGFONT{};
    if (!element) return false;
    WString defFace = u"Tahoma";
    if (def) {
        defFace.clear();
        for (int i = 0; i < LF_FACESIZE && def->lfFaceName[i]; ++i)
            defFace.push_back(def->lfFaceName[i]);
    }
    CopyFace(font, element->GetAttribute(u"font", defFace.c_str()));
    double points = ReadLocaleNumber(element, u"fontsize",
                                     def ? FontHeightToPoints(def->lfHeight) : 10);
    font.lfHeight = FontPointsToHeight(ClampToInt(points));
    WString cs = element->GetAttribute(u"charset");
    int number = CharSetFromName(cs);
    if (number < 0) number = text::ParseLong(WStringView(cs));
    font.lfCharSet = static_cast<BYTE>(number);
    ParseFontStyle(element->GetAttribute(u"fontstyle"), font);
    return true;
}

double ParseLocaleNumber(WStringView s) {
    double value = 0;
    if (ParseDocumentNumber(s, value)) return value;
    // Not a whole number: its leading number, as attribute numbers are read.
    return text::ParseDouble(s);
}

double ReadLocaleNumber(const CXmlNode* element, WStringView name, double def) {
    if (!element || !element->HasAttribute(name)) return def;
    return ParseLocaleNumber(element->GetAttribute(name));
}

int ClampToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT_MAX;
    if (value <= -2147483648.0) return INT_MIN;
    return static_cast<int>(value);
}
