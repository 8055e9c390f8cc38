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
//
// Lines: text that only holds scripts written left to right without joining
// (Latin, Greek, Cyrillic, ...) is laid out character by character with whole-
// pixel advances. Anything else goes through FriBidi (the bidirectional
// order, with right-to-left paragraphs for ETO_RTLREADING, DT_RTLREADING,
// TA_RTLREADING and mirrored DCs) and HarfBuzz (joining, marks, mirrored
// brackets), run by run, with the same whole-pixel advances. A character
// the face lacks is taken from an installed face that has it, found through
// fontconfig.
#include <fontconfig/fontconfig.h>
#include <fribidi.h>
#include <ft2build.h>
#include <hb.h>
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
};

// A glyph placed on a line: x is its pen position from the line's left
// end, (dx, dy) a mark's offset from it; unit is the first UTF-16 unit of
// the characters it shows.
struct Placed {
    uint32_t key;  // GlyphKey
    int x, dx, dy, advance, unit;
    bool rtl = false;  // in a run read right to left
};

struct Line {
    std::vector<Placed> glyphs;  // left to right as shown
    int width = 0;
};

// A glyph of a font: the face slot in the top byte, the glyph index below.
using GlyphKey = uint32_t;
constexpr GlyphKey kSlotShift = 24;

struct FaceSlot {
    FT_Face ft = nullptr;
    hb_font_t* hb = nullptr;  // made when a run on this face is shaped
};

struct FontImpl {
    FT_Face face = nullptr;
    double emX = 12, emY = 12;  // pixels
    int ascent = 0, descent = 0, internalLeading = 0, aveWidth = 0, maxWidth = 0;
    int underlinePos = 0, underlineThick = 1, strikePos = 0;
    bool symbolMap = false;
    bool mono = false;
    bool synthBold = false;
    bool bold = false, italic = false;
    std::string family;
    double angle = 0;                             // radians, counter-clockwise
    std::vector<FaceSlot> slots;                  // the face, then fallbacks
    std::unordered_map<uint32_t, GlyphKey> keys;  // code point -> glyph
    std::unordered_map<GlyphKey, Glyph> glyphs;   // rotated bitmaps
    std::unordered_map<GlyphKey, int> advances;   // unrotated whole-pixel advances
    // The first 256 code points, looked up on every simple line.
    struct Quick {
        GlyphKey key = 0;
        int advance = -1;
    };
    Quick quick[256];
    // Shaped lines by text and direction (text.cpp's Line).
    std::unordered_map<WString, Line> lines;
    ~FontImpl() {
        for (FaceSlot& s : slots)
            if (s.hb) hb_font_destroy(s.hb);
    }
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

FT_Face OpenFile(const std::string& path, int index) {
    Library& L = lib();
    auto key = std::make_pair(path, index);
    auto it = L.faces.find(key);
    if (it != L.faces.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(L.ft, path.c_str(), index, &face) != 0) return nullptr;
    L.faces[key] = face;
    return face;
}

FT_Face MatchFace(FcPattern* pat) {
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res;
    FcPattern* match = FcFontMatch(nullptr, pat, &res);
    if (!match) return nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    std::string path;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternDestroy(match);
    return path.empty() ? nullptr : OpenFile(path, index);
}

FcPattern* FacePattern(const std::string& family, int weight, bool italic) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    return pat;
}

FT_Face OpenFaceUncached(const std::string& family, int weight, bool italic) {
    if (!lib().ft) return nullptr;
    FcPattern* pat = FacePattern(family, weight, italic);
    FT_Face f = MatchFace(pat);
    FcPatternDestroy(pat);
    return f;
}

// An installed face that has a character, preferring the family's style;
// null when none has it. Asked once per character and style.
FT_Face FallbackFace(uint32_t ch, const std::string& family, bool bold, bool italic) {
    static std::map<std::tuple<uint32_t, std::string, bool, bool>, FT_Face> cache;
    auto key = std::make_tuple(ch, family, bold, italic);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    FT_Face found = nullptr;
    if (lib().ft) {
        FcPattern* pat = FacePattern(family, bold ? 700 : 400, italic);
        FcCharSet* cs = FcCharSetCreate();
        FcCharSetAddChar(cs, ch);
        FcPatternAddCharSet(pat, FC_CHARSET, cs);
        FcCharSetDestroy(cs);
        FT_Face f = MatchFace(pat);
        FcPatternDestroy(pat);
        if (f && FT_Get_Char_Index(f, ch)) found = f;
    }
    cache[key] = found;
    return found;
}

void SetSize(FontImpl& f, FT_Face face) {
    FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(std::lround(f.emX * 64)),
                     static_cast<FT_F26Dot6>(std::lround(f.emY * 64)), 72, 72);
}
void SetSize(FontImpl& f) {
    SetSize(f, f.face);
}

std::shared_ptr<FontImpl> Realise(const LOGFONT& lf) {
    auto f = std::make_shared<FontImpl>();
    std::string face = SubstituteNarrow(Narrow(lf.lfFaceName, LF_FACESIZE), lf.lfCharSet);
    int weight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    f->face = OpenFace(face, weight, lf.lfItalic != 0);
    if (!f->face) return nullptr;
    f->slots.push_back(FaceSlot{f->face, nullptr});
    f->family = face;
    f->bold = weight >= 600;
    f->italic = lf.lfItalic != 0;
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

int SlotOf(FontImpl& f, FT_Face face) {
    for (size_t i = 0; i < f.slots.size(); ++i)
        if (f.slots[i].ft == face) return static_cast<int>(i);
    f.slots.push_back(FaceSlot{face, nullptr});
    return static_cast<int>(f.slots.size() - 1);
}

// The glyph that shows a character: the font's own, else a fallback face's,
// else the font's missing-glyph box.
GlyphKey KeyFor(FontImpl& f, uint32_t ch) {
    auto it = f.keys.find(ch);
    if (it != f.keys.end()) return it->second;
    GlyphKey key = GlyphIndex(f, ch);
    bool control = ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || (ch >= 0xD800 && ch < 0xE000);
    if (!key && !control && !f.symbolMap) {
        if (FT_Face fb = FallbackFace(ch, f.family, f.bold, f.italic)) {
            int slot = SlotOf(f, fb);
            if (slot < 255) key = (GlyphKey(slot) << kSlotShift) | FT_Get_Char_Index(fb, ch);
        }
    }
    f.keys.emplace(ch, key);
    return key;
}

FT_Face FaceOf(FontImpl& f, GlyphKey key) {
    return f.slots[key >> kSlotShift].ft;
}

FT_Int32 LoadFlags(const FontImpl& f) {
    return f.mono ? (FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) : FT_LOAD_TARGET_LIGHT;
}

int AdvanceOfKey(FontImpl& f, GlyphKey key) {
    auto it = f.advances.find(key);
    if (it != f.advances.end()) return it->second;
    FT_Face face = FaceOf(f, key);
    SetSize(f, face);
    FT_Set_Transform(face, nullptr, nullptr);
    int adv = 0;
    if (FT_Load_Glyph(face, key & ((1u << kSlotShift) - 1), LoadFlags(f)) == 0)
        adv = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    if (f.synthBold && adv > 0) adv += 1;
    f.advances.emplace(key, adv);
    return adv;
}

// Glyph and advance of a character on the simple path.
inline void CharGlyph(FontImpl& f, uint32_t ch, GlyphKey* key, int* advance) {
    if (ch < 256) {
        FontImpl::Quick& q = f.quick[ch];
        if (q.advance < 0) {
            q.key = KeyFor(f, ch);
            q.advance = AdvanceOfKey(f, q.key);
        }
        *key = q.key;
        *advance = q.advance;
        return;
    }
    *key = KeyFor(f, ch);
    *advance = AdvanceOfKey(f, *key);
}

const Glyph& Render(FontImpl& f, GlyphKey key) {
    auto it = f.glyphs.find(key);
    if (it != f.glyphs.end()) return it->second;
    Glyph g;
    FT_Face face = FaceOf(f, key);
    SetSize(f, face);
    FT_Matrix m;
    double c = std::cos(f.angle), s = std::sin(f.angle);
    m.xx = static_cast<FT_Fixed>(std::lround(c * 65536));
    m.xy = static_cast<FT_Fixed>(std::lround(-s * 65536));
    m.yx = static_cast<FT_Fixed>(std::lround(s * 65536));
    m.yy = static_cast<FT_Fixed>(std::lround(c * 65536));
    bool rotated = f.angle != 0;
    FT_Set_Transform(face, rotated ? &m : nullptr, nullptr);
    FT_Int32 flags = LoadFlags(f);
    if (rotated) flags |= FT_LOAD_NO_HINTING;
    if (FT_Load_Glyph(face, key & ((1u << kSlotShift) - 1), flags) == 0) {
        FT_GlyphSlot slot = face->glyph;
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
    FT_Set_Transform(face, nullptr, nullptr);
    return f.glyphs.emplace(key, std::move(g)).first->second;
}

// The shaping face of a FreeType face, read from the same file; it lives as
// long as the process, as the FreeType faces do.
hb_face_t* HbFace(FT_Face ft) {
    static auto* faces = new std::map<FT_Face, hb_face_t*>;
    auto it = faces->find(ft);
    if (it != faces->end()) return it->second;
    hb_face_t* face = nullptr;
    for (const auto& [file, open] : lib().faces)
        if (open == ft) {
            hb_blob_t* blob = hb_blob_create_from_file(file.first.c_str());
            face = hb_face_create(blob, static_cast<unsigned>(file.second));
            hb_blob_destroy(blob);
        }
    if (!face) face = hb_face_get_empty();
    faces->emplace(ft, face);
    return face;
}

hb_font_t* HbFont(FontImpl& f, int slot) {
    FaceSlot& s = f.slots[static_cast<size_t>(slot)];
    if (!s.hb) {
        s.hb = hb_font_create(HbFace(s.ft));
        hb_font_set_scale(s.hb, static_cast<int>(std::lround(f.emX * 64)),
                          static_cast<int>(std::lround(f.emY * 64)));
    }
    return s.hb;
}

// ---- lines ----

// Characters laid out one by one: below Hebrew, no combining marks.
inline bool Simple(uint32_t c) {
    return c < 0x0590 && !(c >= 0x0300 && c < 0x0370) && !(c >= 0x0483 && c < 0x048A);
}

struct Char {
    uint32_t cp;
    int unit;
};

std::vector<Char> Chars(const WChar* s, int n) {
    std::vector<Char> out;
    out.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        uint32_t c = s[i];
        int at = i;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(Char{c, at});
    }
    return out;
}

void AddSimpleRun(FontImpl& f, const Char* cs, size_t n, bool reversed, Line* line) {
    for (size_t k = 0; k < n; ++k) {
        const Char& c = cs[reversed ? n - 1 - k : k];
        uint32_t cp = c.cp;
        if (reversed) cp = fribidi_get_mirror_char(cp, &cp) ? cp : c.cp;
        GlyphKey key;
        int adv;
        CharGlyph(f, cp, &key, &adv);
        line->glyphs.push_back(Placed{key, 0, 0, 0, adv, c.unit, reversed});
    }
}

void AddShapedRun(FontImpl& f, const Char* cs, size_t n, bool rtl, int slot, Line* line) {
    hb_buffer_t* buf = hb_buffer_create();
    for (size_t k = 0; k < n; ++k) hb_buffer_add(buf, cs[k].cp, static_cast<unsigned>(k));
    hb_buffer_set_content_type(buf, HB_BUFFER_CONTENT_TYPE_UNICODE);
    hb_buffer_set_direction(buf, rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buf);
    // Whole-pixel advances without kerning or optional ligatures, as the
    // simple path lays out; joining forms and marks stay.
    static const hb_feature_t features[] = {
        {HB_TAG('k', 'e', 'r', 'n'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('l', 'i', 'g', 'a'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
    };
    hb_shape(HbFont(f, slot), buf, features, 2);
    unsigned count = 0;
    hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &count);
    hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &count);
    for (unsigned i = 0; i < count; ++i) {
        GlyphKey key = (GlyphKey(slot) << kSlotShift) | info[i].codepoint;
        int adv = pos[i].x_advance == 0 ? 0 : AdvanceOfKey(f, key);
        int dx = static_cast<int>(std::lround(pos[i].x_offset / 64.0));
        int dy = -static_cast<int>(std::lround(pos[i].y_offset / 64.0));
        line->glyphs.push_back(Placed{key, 0, dx, dy, adv, cs[info[i].cluster].unit, rtl});
    }
    hb_buffer_destroy(buf);
}

Line LayoutUncached(FontImpl& f, const WChar* s, int n, bool rtl, const int* dx);

// Lays out one line. rtl makes it a right-to-left paragraph; dx, when
// given, are the caller's distances per UTF-16 unit. Lines that go through
// shaping are kept per font: controls measure and draw the same labels on
// every paint.
Line Layout(FontImpl& f, const WChar* s, int n, bool rtl, const int* dx) {
    bool simple = !rtl && !dx;
    for (int i = 0; simple && i < n; ++i) simple = s[i] < 0x0300;
    if (simple || dx || n > 256) return LayoutUncached(f, s, n, rtl, dx);
    WString key(s, s + n);
    key.push_back(rtl ? u'R' : u'L');
    auto it = f.lines.find(key);
    if (it != f.lines.end()) return it->second;
    if (f.lines.size() >= 512) f.lines.clear();
    Line line = LayoutUncached(f, s, n, rtl, dx);
    f.lines.emplace(std::move(key), line);
    return line;
}

Line LayoutUncached(FontImpl& f, const WChar* s, int n, bool rtl, const int* dx) {
    Line line;
    std::vector<Char> cs = Chars(s, n);
    bool simple = !rtl;
    for (size_t i = 0; simple && i < cs.size(); ++i) simple = Simple(cs[i].cp);
    if (simple) {
        AddSimpleRun(f, cs.data(), cs.size(), false, &line);
    } else if (!cs.empty()) {
        size_t len = cs.size();
        std::vector<FriBidiChar> text(len);
        for (size_t i = 0; i < len; ++i) text[i] = cs[i].cp;
        std::vector<FriBidiCharType> types(len);
        std::vector<FriBidiBracketType> brackets(len);
        std::vector<FriBidiLevel> levels(len);
        fribidi_get_bidi_types(text.data(), static_cast<FriBidiStrIndex>(len), types.data());
        fribidi_get_bracket_types(text.data(), static_cast<FriBidiStrIndex>(len), types.data(),
                                  brackets.data());
        FriBidiParType base = rtl ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
        if (!fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(),
                                                 static_cast<FriBidiStrIndex>(len), &base,
                                                 levels.data()))
            std::fill(levels.begin(), levels.end(), rtl ? 1 : 0);
        // Runs of one level on one face; a mark stays on its base's face.
        std::vector<int> slot(len);
        for (size_t i = 0; i < len; ++i) {
            int own = static_cast<int>(KeyFor(f, cs[i].cp) >> kSlotShift);
            bool mark = hb_unicode_general_category(hb_unicode_funcs_get_default(), cs[i].cp) ==
                        HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK;
            slot[i] = (mark && i > 0) ? slot[i - 1] : own;
        }
        struct Run {
            size_t from, to;
            int level;
        };
        std::vector<Run> runs;
        for (size_t i = 0; i < len;) {
            size_t j = i + 1;
            while (j < len && levels[j] == levels[i] && slot[j] == slot[i]) ++j;
            runs.push_back(Run{i, j, levels[i]});
            i = j;
        }
        // Shown order: from the highest level down to the lowest odd one,
        // every sequence of runs at that level or above is reversed.
        int high = 0, lowOdd = 255;
        for (const Run& r : runs) {
            high = std::max(high, r.level);
            if (r.level & 1) lowOdd = std::min(lowOdd, r.level);
        }
        for (int lv = high; lv >= lowOdd && lv > 0; --lv)
            for (size_t i = 0; i < runs.size();) {
                if (runs[i].level < lv) {
                    ++i;
                    continue;
                }
                size_t j = i;
                while (j < runs.size() && runs[j].level >= lv) ++j;
                std::reverse(runs.begin() + static_cast<ptrdiff_t>(i),
                             runs.begin() + static_cast<ptrdiff_t>(j));
                i = j;
            }
        for (const Run& r : runs) {
            bool odd = r.level & 1;
            bool plain = true;
            for (size_t i = r.from; plain && i < r.to; ++i) plain = Simple(cs[i].cp);
            if (plain)
                AddSimpleRun(f, cs.data() + r.from, r.to - r.from, odd, &line);
            else
                AddShapedRun(f, cs.data() + r.from, r.to - r.from, odd, slot[r.from], &line);
        }
    }
    if (dx) {
        // The caller's distances: a glyph takes those of its characters
        // (up to the next character shown by another glyph); marks and the
        // rest of a ligature take none.
        std::vector<int> starts;
        for (const Placed& g : line.glyphs) starts.push_back(g.unit);
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        std::vector<bool> given(static_cast<size_t>(n), false);
        for (Placed& g : line.glyphs) {
            if (given[static_cast<size_t>(g.unit)]) {
                g.advance = 0;
                continue;
            }
            given[static_cast<size_t>(g.unit)] = true;
            auto next = std::upper_bound(starts.begin(), starts.end(), g.unit);
            int end = next == starts.end() ? n : *next;
            int a = 0;
            for (int u = g.unit; u < end; ++u) a += dx[u];
            g.advance = a;
        }
    }
    int x = 0;
    for (Placed& g : line.glyphs) {
        g.x = x;
        x += g.advance;
    }
    line.width = x;
    return line;
}

// Left and right of what shows a UTF-16 unit on a line (its glyphs, or
// those of the character it belongs to).
std::pair<int, int> UnitSpan(const Line& line, int unit) {
    for (int u = unit; u >= 0; --u) {
        int l = INT32_MAX, r = INT32_MIN;
        for (const Placed& g : line.glyphs)
            if (g.unit == u) {
                l = std::min(l, g.x);
                r = std::max(r, g.x + g.advance);
            }
        if (l <= r) return {l, r};
    }
    return {0, 0};
}

int Length(const WChar* s, int count) {
    if (count >= 0) return count;
    int n = 0;
    while (s[n]) ++n;
    return n;
}

// Each channel (d (255 - a) + s a + 127) / 255, rounded down; red and blue
// side by side in one word. For x up to 65152, x / 255 is
// (x + 1 + (x >> 8)) >> 8.
inline uint32_t Blend(uint32_t dst, uint32_t src, int a) {
    const uint32_t na = uint32_t(255 - a), sa = uint32_t(a);
    uint32_t rb = (dst & 0xFF00FF) * na + (src & 0xFF00FF) * sa + 0x7F007F;
    uint32_t g = ((dst >> 8) & 0xFF) * na + ((src >> 8) & 0xFF) * sa + 0x7F;
    rb = ((rb + 0x10001 + ((rb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
    g = (g + 1 + (g >> 8)) >> 8;
    return rb | (g << 8);
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

bool ReadsRightToLeft(const Dc* dc, UINT options) {
    return (options & ETO_RTLREADING) || (dc->st.textAlign & TA_RTLREADING) || dc->mirrored;
}

// Draws a laid-out line with the DC's alignment, colours and background
// mode; clip narrows the drawing (surface pixels of the DC's own, unmirrored
// clip when the DC is mirrored).
void DrawLine(Dc* dc, FontImpl* f, Font* font, const Line& line, int x, int y, const RECT* clip) {
    Target t;
    if (!MakeRealTarget(dc, &t)) return;
    POINT off = DcOffset(dc);
    // Kept between lines: most labels are clipped to their own box.
    static std::vector<RECT> narrowed;
    narrowed.clear();
    if (clip) {
        if (QuickDrawingOn() && t.clip->size() == 1) {
            // One rectangle within another: their intersection.
            RECT r;
            if (IntersectRect(&r, &(*t.clip)[0], clip)) narrowed.push_back(r);
        } else {
            narrowed = RegionCombine(*t.clip, RegionFromRect(*clip), RGN_AND);
        }
        if (narrowed.empty()) return;
        t.clip = &narrowed;
        RECT b = narrowed[0];
        for (const RECT& q : narrowed) UnionRect(&b, &b, &q);
        t.bounds = b;
    }
    int width = line.width;
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
    double rx = x + off.x;
    if (dc->mirrored) {
        // The text's box is placed mirrored; the text itself reads as usual.
        rx = MirrorAxis(dc) + 1 - rx;
        along = -(along + width);
    }
    double c = std::cos(f->angle), s = std::sin(f->angle);
    // Device y grows downward: "along" runs (c, -s), "down" runs (s, c).
    double ox = rx + along * c + down * s;
    double oy = y + off.y - along * s + down * c;
    auto at = [&](double a, double d, double* px, double* py) {
        *px = ox + a * c + d * s;
        *py = oy - a * s + d * c;
    };
    if (dc->st.bkMode == OPAQUE) {
        Paint bk;
        SolidPaint(ToPixel(dc->st.bk), R2_COPYPEN, &bk);
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
    Paint solid;
    SolidPaint(fg, R2_COPYPEN, &solid);
    bool multiClip = t.clip->size() > 1;
    const bool direct = Direct(t);
    for (const Placed& pl : line.glyphs) {
        const Glyph& g = Render(*f, pl.key);
        if (g.w == 0) continue;
        double bx, by;
        at(pl.x + pl.dx, f->ascent + pl.dy, &bx, &by);
        int gx = static_cast<int>(std::lround(bx)) + g.left;
        int gy = static_cast<int>(std::lround(by)) - g.top;
        Touch(t.dirty, std::max(gx, int(t.bounds.left)), std::max(gy, int(t.bounds.top)),
              std::min(gx + g.w, int(t.bounds.right)), std::min(gy + g.h, int(t.bounds.bottom)));
        if (direct) {
            // The glyph's rows straight onto the surface's, within the one
            // clipping rectangle.
            int q0 = std::max(0, int(t.bounds.left) - gx);
            int q1 = std::min(g.w, int(t.bounds.right) - gx);
            int r0 = std::max(0, int(t.bounds.top) - gy);
            int r1 = std::min(g.h, int(t.bounds.bottom) - gy);
            for (int r = r0; r < r1; ++r) {
                uint32_t* row = t.s->Row32(gy + r) + gx;
                const uint8_t* cov = g.cov.data() + size_t(r) * g.w;
                for (int q = q0; q < q1; ++q) {
                    int a = cov[q];
                    if (!a) continue;
                    row[q] = a < 255 ? Blend(row[q] & 0xFFFFFF, fg, a) : fg;
                }
            }
            continue;
        }
        for (int r = 0; r < g.h; ++r) {
            int yy = gy + r;
            if (yy < t.bounds.top || yy >= t.bounds.bottom) continue;
            for (int q = 0; q < g.w; ++q) {
                int a = g.cov[size_t(r) * g.w + q];
                if (!a) continue;
                int xx = gx + q;
                if (xx < t.bounds.left || xx >= t.bounds.right) continue;
                if (multiClip && !InClip(*t.clip, xx, yy)) continue;
                if (a < 255)
                    t.s->Set(xx, yy, Blend(t.s->Get(xx, yy), fg, a));
                else
                    t.s->Set(xx, yy, fg);
            }
        }
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
}

// Tab stops in pixels from the tab origin, which lies `shift` pixels before
// the start of the line; Next works in pixels from the start of the line.
struct TabStops {
    std::vector<int> stops;
    int every = 0;  // repeating stops
    int shift = 0;
    int Next(int x) const {
        int a = x + shift;
        for (int s : stops)
            if (s > a) return s - shift;
        if (every <= 0) return x;
        int q = a >= 0 ? a / every : -((-a + every - 1) / every);
        return (q + 1) * every - shift;
    }
};

TabStops MakeStops(int count, const int* stops, int aveWidth) {
    TabStops t;
    if (count <= 0 || !stops) {
        t.every = 8 * std::max(1, aveWidth);
    } else if (count == 1) {
        t.every = std::max(1, std::abs(stops[0]));
    } else {
        for (int i = 0; i < count; ++i) t.stops.push_back(std::abs(stops[i]));
        std::sort(t.stops.begin(), t.stops.end());
    }
    return t;
}

// A line with tabs: its pieces between tabs, each at its offset from the
// start of reading.
struct Piece {
    int from, to, offset;
    Line line;
};
struct TabbedLine {
    std::vector<Piece> pieces;
    int width = 0;
};

TabbedLine LayoutTabbed(FontImpl& f, const WChar* s, int n, bool rtl, const TabStops& stops) {
    TabbedLine out;
    int x = 0;
    for (int i = 0; i <= n;) {
        int j = i;
        while (j < n && s[j] != u'\t') ++j;
        Piece p{i, j, x, Layout(f, s + i, j - i, rtl, nullptr)};
        x += p.line.width;
        out.pieces.push_back(std::move(p));
        if (j >= n) break;
        x = stops.Next(x);
        i = j + 1;
        if (i == n) out.pieces.push_back(Piece{n, n, x, Line{}});
    }
    out.width = x;
    return out;
}

// Left of a piece in a line drawn from x: reading starts at the left, or,
// for a right-to-left paragraph on an unmirrored DC, at the right.
int PieceLeft(const TabbedLine& tl, const Piece& p, int x, bool fromRight) {
    return fromRight ? x + tl.width - p.offset - p.line.width : x + p.offset;
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
    Line line = Layout(*f, text, count, ReadsRightToLeft(dc, 0), nullptr);
    if (fit || partial) {
        // Extents run in reading order, per UTF-16 unit: the advances of the
        // glyphs of the characters up to and including it (the second unit
        // of a pair, like the rest of a cluster, adds nothing).
        std::vector<int> per(static_cast<size_t>(count), 0);
        for (const Placed& g : line.glyphs) per[static_cast<size_t>(g.unit)] += g.advance;
        int x = 0, fits = 0;
        for (int i = 0; i < count; ++i) {
            x += per[static_cast<size_t>(i)];
            if (partial) partial[i] = x;
            if (x <= maxExtent) ++fits;
        }
        if (fit) *fit = fits;
    }
    if (out) *out = SIZE{line.width, f->ascent + f->descent};
    return TRUE;
}

namespace gdi {

BOOL GetTextUnitPlaces(HDC hdc, const WChar* text, int count, UINT options, TextUnitPlace* out) {
    Dc* dc = GetDc(hdc);
    if (!dc || (!text && count > 0) || count < 0 || (!out && count > 0)) return FALSE;
    FontImpl* f = FontOf(dc);
    if (!f) return FALSE;
    Line line = Layout(*f, text, count, ReadsRightToLeft(dc, options), nullptr);
    for (int i = 0; i < count; ++i) out[i] = TextUnitPlace{INT32_MAX, INT32_MIN, false};
    for (const Placed& g : line.glyphs) {
        TextUnitPlace& p = out[g.unit];
        p.left = std::min(p.left, g.x);
        p.right = std::max(p.right, g.x + g.advance);
        p.rtl = g.rtl;
    }
    // Units without a glyph of their own (the second of a pair, the rest of
    // a cluster) stand where the character they belong to stands.
    for (int i = 0; i < count; ++i)
        if (out[i].left > out[i].right) out[i] = i > 0 ? out[i - 1] : TextUnitPlace{0, 0, false};
    if (dc->mirrored) {
        // Placed mirrored: the line's box is flipped, not what it shows.
        for (int i = 0; i < count; ++i)
            out[i] = TextUnitPlace{line.width - out[i].right, line.width - out[i].left, !out[i].rtl};
    }
    return TRUE;
}

}  // namespace gdi

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
    if ((options & ETO_OPAQUE) && rect) {
        Paint bk;
        SolidPaint(ToPixel(dc->st.bk), R2_COPYPEN, &bk);
        RECT r = *rect;
        OffsetRect(&r, off.x, off.y);
        FillRectS(t, bk, r);
    }
    FontImpl* f = FontOf(dc);
    Font* font = GetFont(dc->st.font);
    if (!f || !font || count == 0) return f != nullptr || count == 0;
    // Text clipped to the rectangle (in the surface's own pixels).
    RECT clipRect;
    const RECT* clip = nullptr;
    if ((options & ETO_CLIPPED) && rect) {
        clipRect = SurfaceRect(dc, *rect);
        clip = &clipRect;
    }
    Line line = Layout(*f, text, static_cast<int>(count), ReadsRightToLeft(dc, options), dx);
    DrawLine(dc, f, font, line, x, y, clip);
    return TRUE;
}

BOOL TextOut(HDC hdc, int x, int y, const WChar* text, int count) {
    if (count < 0) return FALSE;
    return ExtTextOut(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

namespace {

LONG Tabbed(HDC hdc, int x, int y, const WChar* text, int count, int tabPositions,
            const int* tabStops, int tabOrigin, bool draw) {
    Dc* dc = GetDc(hdc);
    if (!dc || (!text && count > 0) || count < 0) return 0;
    FontImpl* f = FontOf(dc);
    Font* font = GetFont(dc->st.font);
    if (!f || !font) return 0;
    bool rtl = ReadsRightToLeft(dc, 0);
    TabStops stops = MakeStops(tabPositions, tabStops, f->aveWidth);
    // Stops count from tabOrigin; the line starts at x.
    TabStops local = stops;
    local.shift = draw ? x - tabOrigin : 0;
    TabbedLine tl = LayoutTabbed(*f, text, count, rtl, local);
    int h = f->ascent + f->descent;
    if (draw) {
        int saved = SaveDC(hdc);
        SetTextAlign(hdc, dc->st.textAlign & ~TA_CENTER);
        bool fromRight = rtl && !dc->mirrored;
        for (const Piece& p : tl.pieces)
            if (!p.line.glyphs.empty())
                DrawLine(dc, f, font, p.line, PieceLeft(tl, p, x, fromRight), y, nullptr);
        RestoreDC(hdc, saved);
    }
    return static_cast<LONG>((uint32_t(h) << 16) | (uint32_t(tl.width) & 0xFFFF));
}

}  // namespace

LONG TabbedTextOut(HDC hdc, int x, int y, const WChar* text, int count, int tabPositions,
                   const int* tabStops, int tabOrigin) {
    return Tabbed(hdc, x, y, text, count, tabPositions, tabStops, tabOrigin, true);
}

DWORD GetTabbedTextExtent(HDC hdc, const WChar* text, int count, int tabPositions,
                          const int* tabStops) {
    return static_cast<DWORD>(Tabbed(hdc, 0, 0, text, count, tabPositions, tabStops, 0, false));
}

namespace {

// DrawText of one plain line: the same placement, clip and result as the
// general route below, which lays it out as a single piece.
int SingleLine(Dc* dc, FontImpl* f, Font* font, const WChar* text, int n, RECT* rect,
               UINT format) {
    bool rtl = (format & DT_RTLREADING) || ReadsRightToLeft(dc, 0);
    Line line = Layout(*f, text, n, rtl, nullptr);
    const int lineH = f->ascent + f->descent;
    if (format & DT_CALCRECT) {
        rect->right = rect->left + std::max(line.width, 0);
        rect->bottom = rect->top + lineH;
        return lineH;
    }
    int top = rect->top;
    if (format & DT_VCENTER)
        top = rect->top + (rect->bottom - rect->top - lineH) / 2;
    else if (format & DT_BOTTOM)
        top = rect->bottom - lineH;
    const RECT clipRect = SurfaceRect(dc, *rect);
    const RECT* clip = (format & DT_NOCLIP) ? nullptr : &clipRect;
    int x = rect->left;
    if (format & DT_CENTER)
        x = rect->left + (rect->right - rect->left - line.width) / 2;
    else if (format & DT_RIGHT)
        x = rect->right - line.width;
    if (!line.glyphs.empty()) {
        // Placed from the top-left of its cell; the caller's alignment is
        // given back afterwards.
        const UINT align = dc->st.textAlign;
        dc->st.textAlign = TA_LEFT | TA_TOP;
        DrawLine(dc, f, font, line, x, top, clip);
        dc->st.textAlign = align;
    }
    return (top - rect->top) + lineH;
}

}  // namespace

int DrawText(HDC hdc, const WChar* text, int count, RECT* rect, UINT format) {
    Dc* dc = GetDc(hdc);
    if (!dc || !rect || !text) return 0;
    FontImpl* f = FontOf(dc);
    Font* font = GetFont(dc->st.font);
    if (!f || !font) return 0;
    // DT_TABSTOP takes the tab size in characters from bits 8-15.
    int tabChars = 8;
    if (format & DT_TABSTOP) {
        tabChars = static_cast<int>((format >> 8) & 0xFF);
        format &= ~0xFF00u;
    }
    int n = Length(text, count);
    // One line without tabs, prefixes or line breaks (labels, captions):
    // laid out once, drawn without copies.
    if ((format & DT_SINGLELINE) && !(format & DT_EXPANDTABS) && QuickDrawingOn()) {
        bool plain = true;
        for (int i = 0; plain && i < n; ++i)
            plain = text[i] != u'\r' && text[i] != u'\n' &&
                    (text[i] != u'&' || (format & DT_NOPREFIX));
        if (plain) return SingleLine(dc, f, font, text, n, rect, format);
    }
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
    bool rtl = (format & DT_RTLREADING) || ReadsRightToLeft(dc, 0);
    TabStops stops;
    stops.every = std::max(1, tabChars * f->aveWidth);
    bool tabs = format & DT_EXPANDTABS;
    auto layout = [&](const WString& l) {
        if (tabs) return LayoutTabbed(*f, l.data(), static_cast<int>(l.size()), rtl, stops);
        TabbedLine tl;
        tl.pieces.push_back(
            Piece{0, int(l.size()), 0, Layout(*f, l.data(), static_cast<int>(l.size()), rtl, nullptr)});
        tl.width = tl.pieces[0].line.width;
        return tl;
    };
    auto measure = [&](const WString& l) { return layout(l).width; };
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
    std::vector<TabbedLine> laid;
    laid.reserve(lines.size());
    int widest = 0;
    for (const WString& l : lines) {
        laid.push_back(layout(l));
        widest = std::max(widest, laid.back().width);
    }
    int total = lineH * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
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
    // The rectangle clips in the surface's own pixels.
    const RECT clipRect = SurfaceRect(dc, *rect);
    const RECT* clip = (format & DT_NOCLIP) ? nullptr : &clipRect;
    bool fromRight = rtl && !dc->mirrored;
    int y = top;
    size_t from = 0;  // where the next line starts in s
    for (size_t li = 0; li < lines.size(); ++li) {
        const WString& l = lines[li];
        const TabbedLine& tl = laid[li];
        int w = tl.width;
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (maxW - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        for (const Piece& p : tl.pieces)
            if (!p.line.glyphs.empty())
                DrawLine(dc, f, font, p.line, PieceLeft(tl, p, x, fromRight), y, clip);
        size_t at = l.empty() ? WString::npos : s.find(l, from);
        if (at != WString::npos) {
            if (underline >= at && underline < at + l.size()) {
                int k = static_cast<int>(underline - at);
                for (const Piece& p : tl.pieces) {
                    if (k < p.from || k >= p.to) continue;
                    auto [u0, u1] = UnitSpan(p.line, k - p.from);
                    int left = PieceLeft(tl, p, x, fromRight);
                    // In a mirrored DC the piece reads left to right on the
                    // surface while its box is placed mirrored.
                    int x0 = dc->mirrored ? left + p.line.width - u1 : left + u0;
                    int x1 = dc->mirrored ? left + p.line.width - u0 : left + u1;
                    RECT bar{x0, y + f->ascent + 1, x1, y + f->ascent + 2};
                    if (!(format & DT_NOCLIP)) IntersectRect(&bar, &bar, rect);
                    HBRUSH b = CreateSolidBrush(GetTextColor(hdc));
                    FillRect(hdc, &bar, b);
                    DeleteObject(b);
                }
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
