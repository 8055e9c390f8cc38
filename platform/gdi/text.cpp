// Fonts and text: faces found through fontconfig, glyphs rendered by
// FreeType, laid out with whole-pixel advances and drawn with the reference
// point at the top-left of the character cell (or as the text alignment
// says), rotated counter-clockwise by the escapement about that point.
//
// Face substitution: a face name that fontconfig does not have installed is
// replaced by the table below (the handheld's fonts are not on Linux), and
// anything else falls back to DejaVu Sans:
//   Tahoma, MS Sans Serif, System, Arial, Helvetica, Segoe UI,
//   Verdana, Frutiger Linotype, Courier New (mono), Times New Roman (serif),
//   symbol fonts (character set 2)                       -> DejaVu Sans / Mono / Serif
// Metrics: the cell height is the face's Windows ascent plus descent (OS/2
// table), scaled so that a negative LOGFONT height is the em height in pixels
// and a positive one the cell height.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>

#include "platform/gdi/gdi_internal.h"

namespace gdi::detail {
bool ResolveBrush(Dc* dc, HBRUSH brush, Paint* out, int rop2);
}

using namespace gdi::detail;

namespace {

struct Library {
    FT_Library ft = nullptr;
    bool fcInit = false;
    std::map<std::pair<std::string, int>, FT_Face> faces;
    Library() {
        FT_Init_FreeType(&ft);
        fcInit = FcInit();
    }
    ~Library() {
        for (auto& f : faces) FT_Done_Face(f.second);
        if (ft) FT_Done_FreeType(ft);
    }
};
Library& lib() {
    static Library l;
    return l;
}

std::string Narrow(const WChar* s, size_t max) {
    WString w;
    for (size_t i = 0; i < max && s[i]; ++i) w.push_back(s[i]);
    return text::ToUtf8(w);
}

bool IEquals(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct Substitute {
    const char* face;
    const char* installed;
};
const Substitute kSubstitutes[] = {
    {"Tahoma", "DejaVu Sans"},
    {"MS Sans Serif", "DejaVu Sans"},
    {"System", "DejaVu Sans"},
    {"Arial", "DejaVu Sans"},
    {"Helvetica", "DejaVu Sans"},
    {"Segoe UI", "DejaVu Sans"},
    {"Verdana", "DejaVu Sans"},
    {"Frutiger Linotype", "DejaVu Sans"},
    {"Courier New", "DejaVu Sans Mono"},
    {"Courier", "DejaVu Sans Mono"},
    {"Lucida Console", "DejaVu Sans Mono"},
    {"Times New Roman", "DejaVu Serif"},
    {"Times", "DejaVu Serif"},
    {"Georgia", "DejaVu Serif"},
};

bool Installed(const std::string& family) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fs = FcFontList(nullptr, pat, os);
    bool found = fs && fs->nfont > 0;
    if (fs) FcFontSetDestroy(fs);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    return found;
}

std::string SubstituteNarrow(const std::string& face, int charSet) {
    lib();
    static std::map<std::string, bool> installed;
    if (!face.empty()) {
        auto it = installed.find(face);
        if (it == installed.end()) it = installed.emplace(face, Installed(face)).first;
        if (it->second) return face;
    }
    for (const Substitute& s : kSubstitutes)
        if (IEquals(face, s.face)) return s.installed;
    (void)charSet;  // symbol faces have no stand-in with the same glyphs
    return "DejaVu Sans";
}

}  // namespace

namespace gdi::detail {

struct Glyph {
    int left = 0, top = 0;  // bitmap offset from the pen position (top is up)
    int w = 0, h = 0;
    std::vector<uint8_t> cov;
    int advance = 0;  // whole pixels along the baseline
};

struct FontImpl {
    FT_Face face = nullptr;
    double emX = 12, emY = 12;  // pixels
    int ascent = 0, descent = 0, internalLeading = 0, aveWidth = 0, maxWidth = 0;
    int underlinePos = 0, underlineThick = 1, strikePos = 0;
    bool symbolMap = false;
    bool mono = false;
    bool synthBold = false;
    double angle = 0;                            // radians, counter-clockwise
    std::unordered_map<uint32_t, Glyph> glyphs;  // rotated bitmaps
    std::unordered_map<uint32_t, int> advances;  // unrotated whole-pixel advances
};

}  // namespace gdi::detail

namespace {

FT_Face OpenFaceUncached(const std::string& family, int weight, bool italic);

// Faces by family and style: labels make a font per angle, and a fontconfig
// match per font would cost more than drawing the label.
FT_Face OpenFace(const std::string& family, int weight, bool italic) {
    static std::map<std::tuple<std::string, bool, bool>, FT_Face> cache;
    auto key = std::make_tuple(family, weight >= 600, italic);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    FT_Face f = OpenFaceUncached(family, weight, italic);
    if (f) cache[key] = f;
    return f;
}

FT_Face OpenFaceUncached(const std::string& family, int weight, bool italic) {
    Library& L = lib();
    if (!L.ft) return nullptr;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res;
    FcPattern* match = FcFontMatch(nullptr, pat, &res);
    FcPatternDestroy(pat);
    if (!match) return nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    std::string path;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternDestroy(match);
    if (path.empty()) return nullptr;
    auto key = std::make_pair(path, index);
    auto it = L.faces.find(key);
    if (it != L.faces.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(L.ft, path.c_str(), index, &face) != 0) return nullptr;
    L.faces[key] = face;
    return face;
}

void SetSize(FontImpl& f) {
    FT_Set_Char_Size(f.face, static_cast<FT_F26Dot6>(std::lround(f.emX * 64)),
                     static_cast<FT_F26Dot6>(std::lround(f.emY * 64)), 72, 72);
}

std::shared_ptr<FontImpl> Realise(const LOGFONT& lf) {
    auto f = std::make_shared<FontImpl>();
    std::string face = SubstituteNarrow(Narrow(lf.lfFaceName, LF_FACESIZE), lf.lfCharSet);
    int weight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    f->face = OpenFace(face, weight, lf.lfItalic != 0);
    if (!f->face) return nullptr;
    FT_Face ft = f->face;
    double upem = ft->units_per_EM ? ft->units_per_EM : 2048;
    double asc = ft->ascender, desc = -ft->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            asc = os2->usWinAscent;
            desc = os2->usWinDescent;
        }
    }
    double em;
    if (lf.lfHeight < 0)
        em = -double(lf.lfHeight);
    else if (lf.lfHeight > 0)
        em = double(lf.lfHeight) * upem / (asc + desc);
    else
        em = 12;
    em = std::min(em, 4096.0);
    f->emX = f->emY = em;
    double scale = em / upem;
    f->ascent = static_cast<int>(std::lround(asc * scale));
    f->descent = static_cast<int>(std::lround(desc * scale));
    f->internalLeading = std::max(0, f->ascent + f->descent - static_cast<int>(std::lround(em)));
    f->underlinePos = static_cast<int>(std::lround(-ft->underline_position * scale));
    f->underlineThick = std::max(1, static_cast<int>(std::lround(ft->underline_thickness * scale)));
    f->strikePos = static_cast<int>(std::lround(f->ascent * 0.3));
    f->synthBold = weight >= 600 && !(ft->style_flags & FT_STYLE_FLAG_BOLD);
    f->mono = lf.lfQuality == NONANTIALIASED_QUALITY || lf.lfQuality == 1 /* draft */;
    f->angle = (lf.lfEscapement % 3600) * M_PI / 1800.0;
    // Symbol faces map the character codes 0x20-0xFF to U+F020-U+F0FF.
    f->symbolMap = false;
    for (int i = 0; i < ft->num_charmaps; ++i)
        if (ft->charmaps[i]->encoding == FT_ENCODING_MS_SYMBOL) f->symbolMap = true;
    SetSize(*f);
    // Average width: as the face's own figure when it has one, else of "x".
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2)))
        f->aveWidth = static_cast<int>(std::lround(os2->xAvgCharWidth * scale));
    f->maxWidth = static_cast<int>(std::lround((ft->bbox.xMax - ft->bbox.xMin) * scale));
    if (lf.lfWidth > 0 && f->aveWidth > 0) {
        f->emX = em * lf.lfWidth / f->aveWidth;
        f->aveWidth = lf.lfWidth;
        SetSize(*f);
    }
    return f;
}

FontImpl* FontOf(Dc* dc) {
    Font* font = GetFont(dc->st.font);
    if (!font) return nullptr;
    if (!font->impl) font->impl = Realise(font->lf);
    return font->impl.get();
}

FT_UInt GlyphIndex(FontImpl& f, uint32_t ch) {
    FT_UInt gi = 0;
    if (f.symbolMap) {
        FT_Select_Charmap(f.face, FT_ENCODING_MS_SYMBOL);
        gi = FT_Get_Char_Index(f.face, ch < 0x100 ? 0xF000 + ch : ch);
        FT_Select_Charmap(f.face, FT_ENCODING_UNICODE);
        if (gi) return gi;
    }
    return FT_Get_Char_Index(f.face, ch);
}

int Advance(FontImpl& f, uint32_t ch) {
    auto it = f.advances.find(ch);
    if (it != f.advances.end()) return it->second;
    SetSize(f);
    FT_Set_Transform(f.face, nullptr, nullptr);
    int adv = 0;
    if (FT_Load_Glyph(f.face, GlyphIndex(f, ch),
                      f.mono ? (FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) : FT_LOAD_TARGET_LIGHT) == 0)
        adv = static_cast<int>((f.face->glyph->advance.x + 32) >> 6);
    if (f.synthBold && adv > 0) adv += 1;
    f.advances[ch] = adv;
    return adv;
}

const Glyph& Render(FontImpl& f, uint32_t ch) {
    auto it = f.glyphs.find(ch);
    if (it != f.glyphs.end()) return it->second;
    Glyph g;
    g.advance = Advance(f, ch);
    SetSize(f);
    FT_Matrix m;
    double c = std::cos(f.angle), s = std::sin(f.angle);
    m.xx = static_cast<FT_Fixed>(std::lround(c * 65536));
    m.xy = static_cast<FT_Fixed>(std::lround(-s * 65536));
    m.yx = static_cast<FT_Fixed>(std::lround(s * 65536));
    m.yy = static_cast<FT_Fixed>(std::lround(c * 65536));
    bool rotated = f.angle != 0;
    FT_Set_Transform(f.face, rotated ? &m : nullptr, nullptr);
    FT_Int32 flags = f.mono ? (FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) : FT_LOAD_TARGET_LIGHT;
    if (rotated) flags |= FT_LOAD_NO_HINTING;
    if (FT_Load_Glyph(f.face, GlyphIndex(f, ch), flags) == 0) {
        FT_GlyphSlot slot = f.face->glyph;
        if (f.synthBold && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_Embolden(&slot->outline, static_cast<FT_Pos>(f.emY * 64 / 24));
        if (FT_Render_Glyph(slot, f.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& bm = slot->bitmap;
            g.left = slot->bitmap_left;
            g.top = slot->bitmap_top;
            g.w = static_cast<int>(bm.width);
            g.h = static_cast<int>(bm.rows);
            g.cov.resize(size_t(g.w) * g.h);
            for (int y = 0; y < g.h; ++y) {
                const uint8_t* row = bm.buffer + ptrdiff_t(y) * bm.pitch;
                for (int x = 0; x < g.w; ++x) {
                    uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO
                                    ? (((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0)
                                    : row[x];
                    g.cov[size_t(y) * g.w + x] = v;
                }
            }
        }
    }
    FT_Set_Transform(f.face, nullptr, nullptr);
    return f.glyphs.emplace(ch, std::move(g)).first->second;
}

// UTF-16 units to code points (a lone surrogate stands for itself).
std::vector<uint32_t> Codepoints(const WChar* s, int n) {
    std::vector<uint32_t> out;
    for (int i = 0; i < n; ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

int Length(const WChar* s, int count) {
    if (count >= 0) return count;
    int n = 0;
    while (s[n]) ++n;
    return n;
}

inline uint32_t Blend(uint32_t dst, uint32_t src, int a) {
    uint32_t r = 0;
    for (int sh = 0; sh <= 16; sh += 8) {
        int d = (dst >> sh) & 0xFF, s = (src >> sh) & 0xFF;
        r |= uint32_t((d * (255 - a) + s * a + 127) / 255) << sh;
    }
    return r;
}

// Fills a rotated rectangle given by its four corners (surface pixels).
void FillQuad(const Target& t, const Paint& p, const double* xs, const double* ys) {
    IPoint q[4];
    for (int i = 0; i < 4; ++i)
        q[i] = IPoint{static_cast<int64_t>(std::lround(xs[i])),
                      static_cast<int64_t>(std::lround(ys[i]))};
    int four = 4;
    FillPolygon(t, p, q, &four, 1, false);
}

}  // namespace

HFONT CreateFontIndirect(const LOGFONT* lf) {
    if (!lf) return nullptr;
    auto f = std::make_unique<Font>();
    f->kind = Kind::Font;
    f->lf = *lf;
    f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    return Handle<HFONT>(AddObject(std::move(f)));
}

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm) {
    Dc* dc = GetDc(hdc);
    if (!dc || !tm) return FALSE;
    FontImpl* f = FontOf(dc);
    Font* font = GetFont(dc->st.font);
    if (!f || !font) return FALSE;
    *tm = TEXTMETRIC{};
    tm->tmAscent = f->ascent;
    tm->tmDescent = f->descent;
    tm->tmHeight = f->ascent + f->descent;
    tm->tmInternalLeading = f->internalLeading;
    tm->tmAveCharWidth = f->aveWidth;
    tm->tmMaxCharWidth = f->maxWidth;
    tm->tmWeight = font->lf.lfWeight ? font->lf.lfWeight : FW_NORMAL;
    tm->tmItalic = font->lf.lfItalic;
    tm->tmUnderlined = font->lf.lfUnderline;
    tm->tmStruckOut = font->lf.lfStrikeOut;
    tm->tmCharSet = font->lf.lfCharSet;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmPitchAndFamily = 0x06;  // variable pitch, TrueType
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = gdi::GetScreenMetrics().logPixelsY;
    return TRUE;
}

int GetTextFace(HDC hdc, int count, WChar* out) {
    Dc* dc = GetDc(hdc);
    Font* font = dc ? GetFont(dc->st.font) : nullptr;
    if (!font) return 0;
    int n = 0;
    while (n < LF_FACESIZE && font->lf.lfFaceName[n]) ++n;
    if (!out) return n + 1;
    int m = std::min(n, count - 1);
    if (m < 0) return 0;
    std::copy(font->lf.lfFaceName, font->lf.lfFaceName + m, out);
    out[m] = 0;
    return m;
}

BOOL GetTextExtentExPoint(HDC hdc, const WChar* text, int count, int maxExtent, int* fit,
                          int* partial, SIZE* out) {
    Dc* dc = GetDc(hdc);
    if (!dc || (!text && count > 0) || count < 0) return FALSE;
    FontImpl* f = FontOf(dc);
    if (!f) return FALSE;
    int x = 0, fits = 0;
    // Extents are per UTF-16 unit; the second unit of a pair adds nothing.
    for (int i = 0; i < count; ++i) {
        uint32_t c = text[i];
        bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 &&
                    text[i + 1] < 0xE000;
        if (pair) c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        x += Advance(*f, c);
        if (partial) partial[i] = x;
        if (x <= maxExtent) ++fits;
        if (pair) {
            ++i;
            if (partial) partial[i] = x;
            if (x <= maxExtent) ++fits;
        }
    }
    if (fit) *fit = fits;
    if (out) *out = SIZE{x, f->ascent + f->descent};
    return TRUE;
}

BOOL GetTextExtentPoint32(HDC hdc, const WChar* text, int count, SIZE* out) {
    return GetTextExtentExPoint(hdc, text, count, 0, nullptr, nullptr, out);
}

BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* rect, const WChar* text,
                UINT count, const int* dx) {
    Dc* dc = GetDc(hdc);
    if (!dc || (!text && count > 0)) return FALSE;
    Target t;
    if (!MakeTarget(dc, &t)) return TRUE;
    POINT off = DcOffset(dc);
    Paint bk;
    SolidPaint(ToPixel(dc->st.bk), R2_COPYPEN, &bk);
    if ((options & ETO_OPAQUE) && rect) {
        RECT r = *rect;
        OffsetRect(&r, off.x, off.y);
        FillRectS(t, bk, r);
    }
    FontImpl* f = FontOf(dc);
    Font* font = GetFont(dc->st.font);
    if (!f || !font || count == 0) return f != nullptr || count == 0;
    // Text clipped to the rectangle: a clip list narrowed for this call.
    std::vector<RECT> narrowed;
    if ((options & ETO_CLIPPED) && rect) {
        RECT r = *rect;
        OffsetRect(&r, off.x, off.y);
        narrowed = RegionCombine(*t.clip, RegionFromRect(r), RGN_AND);
        if (narrowed.empty()) return TRUE;
        t.clip = &narrowed;
        RECT b = narrowed[0];
        for (const RECT& q : narrowed) UnionRect(&b, &b, &q);
        t.bounds = b;
    }
    std::vector<uint32_t> cps = Codepoints(text, static_cast<int>(count));
    // Advances: the caller's per-unit distances, or the glyphs' own.
    std::vector<int> adv(cps.size());
    {
        size_t unit = 0;
        for (size_t i = 0; i < cps.size(); ++i) {
            int a = Advance(*f, cps[i]);
            if (dx) {
                a = dx[unit];
                if (cps[i] >= 0x10000 && unit + 1 < count) a += dx[unit + 1];
            }
            unit += cps[i] >= 0x10000 ? 2 : 1;
            adv[i] = a;
        }
    }
    int width = 0;
    for (int a : adv) width += a;
    int cellH = f->ascent + f->descent;
    // Offsets of the reference point along and across the baseline.
    UINT align = dc->st.textAlign;
    double along = 0, down = 0;  // from the reference point to the cell's top-left
    if ((align & TA_CENTER) == TA_CENTER)
        along = -width / 2;
    else if (align & TA_RIGHT)
        along = -width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        down = -f->ascent;
    else if (align & TA_BOTTOM)
        down = -cellH;
    double c = std::cos(f->angle), s = std::sin(f->angle);
    // Device y grows downward: "along" runs (c, -s), "down" runs (s, c).
    double ox = x + off.x + along * c + down * s;
    double oy = y + off.y - along * s + down * c;
    auto at = [&](double a, double d, double* px, double* py) {
        *px = ox + a * c + d * s;
        *py = oy - a * s + d * c;
    };
    if (dc->st.bkMode == OPAQUE) {
        double xs[4], ys[4];
        at(0, 0, &xs[0], &ys[0]);
        at(width, 0, &xs[1], &ys[1]);
        at(width, cellH, &xs[2], &ys[2]);
        at(0, cellH, &xs[3], &ys[3]);
        if (f->angle == 0) {
            FillRectS(t, bk,
                      RECT{int(std::lround(xs[0])), int(std::lround(ys[0])),
                           int(std::lround(xs[2])), int(std::lround(ys[2]))});
        } else {
            FillQuad(t, bk, xs, ys);
        }
    }
    uint32_t fg = ToPixel(dc->st.text);
    // Text ignores the ROP2 mode, as on the platform: glyphs are copied.
    const int rop2 = R2_COPYPEN;
    Paint solid;
    SolidPaint(fg, rop2, &solid);
    bool multiClip = t.clip->size() > 1;
    double pen = 0;
    for (size_t i = 0; i < cps.size(); ++i) {
        const Glyph& g = Render(*f, cps[i]);
        double bx, by;
        at(pen, f->ascent, &bx, &by);
        int gx = static_cast<int>(std::lround(bx)) + g.left;
        int gy = static_cast<int>(std::lround(by)) - g.top;
        Touch(t.dirty, std::max(gx, int(t.bounds.left)), std::max(gy, int(t.bounds.top)),
              std::min(gx + g.w, int(t.bounds.right)), std::min(gy + g.h, int(t.bounds.bottom)));
        for (int r = 0; r < g.h; ++r) {
            int yy = gy + r;
            if (yy < t.bounds.top || yy >= t.bounds.bottom) continue;
            for (int q = 0; q < g.w; ++q) {
                int a = g.cov[size_t(r) * g.w + q];
                if (!a) continue;
                int xx = gx + q;
                if (xx < t.bounds.left || xx >= t.bounds.right) continue;
                if (multiClip && !InClip(*t.clip, xx, yy)) continue;
                if (rop2 == R2_COPYPEN && a < 255) {
                    t.s->Set(xx, yy, Blend(t.s->Get(xx, yy), fg, a));
                } else if (a >= 128) {
                    PlotPixel(t, solid, xx, yy);
                }
            }
        }
        pen += adv[i];
    }
    // Underline and strike-out: bars along the baseline.
    auto bar = [&](int pos) {
        double xs[4], ys[4];
        double top = f->ascent + pos, th = f->underlineThick;
        at(0, top, &xs[0], &ys[0]);
        at(width, top, &xs[1], &ys[1]);
        at(width, top + th, &xs[2], &ys[2]);
        at(0, top + th, &xs[3], &ys[3]);
        FillQuad(t, solid, xs, ys);
    };
    if (font->lf.lfUnderline) bar(f->underlinePos);
    if (font->lf.lfStrikeOut) bar(-f->strikePos);
    return TRUE;
}

BOOL TextOut(HDC hdc, int x, int y, const WChar* text, int count) {
    if (count < 0) return FALSE;
    return ExtTextOut(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

int DrawText(HDC hdc, const WChar* text, int count, RECT* rect, UINT format) {
    Dc* dc = GetDc(hdc);
    if (!dc || !rect || !text) return 0;
    FontImpl* f = FontOf(dc);
    if (!f) return 0;
    int n = Length(text, count);
    WString s(text, text + n);
    size_t underline = WString::npos;  // the letter after a single "&"
    if (!(format & DT_NOPREFIX)) {
        // "&x" shows x underlined; "&&" shows one ampersand.
        WString o;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == u'&' && i + 1 < s.size()) {
                ++i;
                if (s[i] != u'&' && underline == WString::npos) underline = o.size();
            }
            if (s[i] == u'&' && i + 1 == s.size()) continue;
            o.push_back(s[i]);
        }
        s = o;
    }
    auto measure = [&](const WString& line) {
        SIZE sz{};
        GetTextExtentPoint32(hdc, line.data(), static_cast<int>(line.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    int lineH = f->ascent + f->descent;
    int maxW = rect->right - rect->left;
    std::vector<WString> lines;
    if (format & DT_SINGLELINE) {
        for (WChar& ch : s)
            if (ch == u'\r' || ch == u'\n') ch = u' ';
        lines.push_back(s);
    } else {
        WString cur;
        auto flushParagraph = [&](const WString& para) {
            if (!(format & DT_WORDBREAK)) {
                lines.push_back(para);
                return;
            }
            // Words are broken at blanks; a word wider than the rectangle
            // stands on its own line.
            WString line;
            size_t i = 0;
            if (para.empty()) lines.push_back(para);
            while (i < para.size()) {
                size_t j = para.find(u' ', i);
                if (j == WString::npos) j = para.size();
                WString word = para.substr(i, j - i);
                WString trial = line.empty() ? word : line + u' ' + word;
                if (!line.empty() && measure(trial) > maxW) {
                    lines.push_back(line);
                    line = word;
                } else {
                    line = trial;
                }
                i = j + 1;
                if (j == para.size()) break;
            }
            if (!line.empty()) lines.push_back(line);
        };
        for (size_t i = 0; i <= s.size(); ++i) {
            if (i == s.size() || s[i] == u'\n') {
                if (!cur.empty() && cur.back() == u'\r') cur.pop_back();
                flushParagraph(cur);
                cur.clear();
            } else {
                cur.push_back(s[i]);
            }
        }
    }
    int total = lineH * static_cast<int>(lines.size());
    int widest = 0;
    for (const WString& l : lines) widest = std::max(widest, measure(l));
    if (format & DT_CALCRECT) {
        if (!(format & DT_WORDBREAK) || lines.size() <= 1)
            rect->right = rect->left + widest;
        else
            rect->right = rect->left + std::max(widest, 0);
        rect->bottom = rect->top + total;
        return total;
    }
    int top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->top + (rect->bottom - rect->top - lineH) / 2;
        else if (format & DT_BOTTOM)
            top = rect->bottom - lineH;
    }
    int saved = SaveDC(hdc);
    SetTextAlign(hdc, TA_LEFT | TA_TOP);
    UINT opts = (format & DT_NOCLIP) ? 0 : ETO_CLIPPED;
    int y = top;
    size_t from = 0;  // where the next line starts in s
    for (const WString& l : lines) {
        int w = measure(l);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (maxW - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        ExtTextOut(hdc, x, y, opts, rect, l.data(), static_cast<UINT>(l.size()), nullptr);
        size_t at = l.empty() ? WString::npos : s.find(l, from);
        if (at != WString::npos) {
            if (underline >= at && underline < at + l.size()) {
                size_t k = underline - at;
                int x0 = x + measure(l.substr(0, k));
                int x1 = x + measure(l.substr(0, k + 1));
                RECT bar{x0, y + f->ascent + 1, x1, y + f->ascent + 2};
                if (!(format & DT_NOCLIP)) IntersectRect(&bar, &bar, rect);
                HBRUSH b = CreateSolidBrush(GetTextColor(hdc));
                FillRect(hdc, &bar, b);
                DeleteObject(b);
            }
            from = at + l.size();
        }
        y += lineH;
    }
    RestoreDC(hdc, saved);
    return (top - rect->top) + total;
}

int EnumFontFamilies(HDC hdc, const WChar* family, FONTENUMPROC proc, LPARAM param) {
    if (!proc) return 0;
    lib();
    std::vector<std::string> names;
    if (family && family[0]) {
        names.push_back(Narrow(family, LF_FACESIZE));
    } else {
        FcPattern* pat = FcPatternCreate();
        FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_SCALABLE, nullptr);
        FcFontSet* fs = FcFontList(nullptr, pat, os);
        for (int i = 0; fs && i < fs->nfont; ++i) {
            FcChar8* fam = nullptr;
            FcBool scalable = FcFalse;
            FcPatternGetBool(fs->fonts[i], FC_SCALABLE, 0, &scalable);
            if (scalable && FcPatternGetString(fs->fonts[i], FC_FAMILY, 0, &fam) == FcResultMatch)
                names.push_back(reinterpret_cast<const char*>(fam));
        }
        if (fs) FcFontSetDestroy(fs);
        FcObjectSetDestroy(os);
        FcPatternDestroy(pat);
        // The faces documents name, which stand for installed ones.
        for (const Substitute& s : kSubstitutes) names.push_back(s.face);
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
    }
    int result = 1;
    for (const std::string& name : names) {
        LOGFONT lf;
        WString w = text::FromUtf8(name);
        size_t n = std::min<size_t>(w.size(), LF_FACESIZE - 1);
        std::copy(w.begin(), w.begin() + n, lf.lfFaceName);
        lf.lfHeight = 16;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = ANSI_CHARSET;
        TEXTMETRIC tm;
        HFONT h = CreateFontIndirect(&lf);
        HDC mem = CreateCompatibleDC(hdc);
        HFONT old = SelectObject(mem, h);
        GetTextMetrics(mem, &tm);
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(h);
        result = proc(&lf, &tm, TRUETYPE_FONTTYPE, param);
        if (!result) break;
    }
    return result;
}

namespace gdi {

WString SubstituteFace(const WString& face, int charSet) {
    return text::FromUtf8(SubstituteNarrow(text::ToUtf8(face), charSet));
}

void ResetFontsForTests() {
    // Realised fonts keep pointers into the face cache, which lives for the
    // process; nothing else to reset.
}

}  // namespace gdi
