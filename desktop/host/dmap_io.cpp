#include "desktop/host/dmap_io.h"

#include <fcntl.h>
#include <libxml/tree.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "desktop/support/xml_parse.h"
#include "platform/fs/fs.h"

namespace host {

std::string DmapError::Text() const {
    std::string s;
    if (line > 0) s = "line " + std::to_string(line) + ": ";
    if (!name.empty()) s += name + ": ";
    return s + message;
}

// ------------------------------------------------------------------ numbers and colours

std::string DmapNumber(double value) {
    if (value == 0.0) return "0";  // no "-0"
    char buf[64];
    // Whole numbers as whole numbers ("600000", not the shorter "6e+05").
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value));
        return std::string(buf, r.ptr);
    }
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::optional<double> ParseDmapNumber(std::string_view t) {
    if (t.empty()) return std::nullopt;
    const char* b = t.data();
    const char* e = b + t.size();
    if (*b == '+') return std::nullopt;
    double v = 0.0;
    auto r = std::from_chars(b, e, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != e || !std::isfinite(v)) return std::nullopt;
    return v;
}

namespace {

std::optional<std::vector<double>> ParseTriple(std::string_view t) {
    std::vector<double> out;
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = t.find(',', start);
        if ((i < 2) != (comma != std::string_view::npos)) return std::nullopt;
        auto v = ParseDmapNumber(
            t.substr(start, comma == std::string_view::npos ? t.npos : comma - start));
        if (!v) return std::nullopt;
        out.push_back(*v);
        start = comma + 1;
    }
    return out;
}

}  // namespace

std::optional<HostRgb> ParseRgbText(std::string_view t) {
    auto v = ParseTriple(t);
    if (!v) return std::nullopt;
    int c[3];
    for (int i = 0; i < 3; ++i) {
        const double d = (*v)[i];
        if (d < 0 || d > 255 || d != std::floor(d)) return std::nullopt;
        c[i] = static_cast<int>(d);
    }
    return MakeRgb(c[0], c[1], c[2]);
}

// Hue in degrees (0 to 360), saturation and value in percent (0 to 100).
std::optional<HostRgb> ParseHsvText(std::string_view t) {
    auto v = ParseTriple(t);
    if (!v) return std::nullopt;
    double h = (*v)[0], s = (*v)[1] / 100.0, val = (*v)[2] / 100.0;
    if (h < 0 || h > 360 || s < 0 || s > 1 || val < 0 || val > 1) return std::nullopt;
    if (h == 360) h = 0;
    const double c = val * s;
    const double hp = h / 60.0;
    const double x = c * (1 - std::fabs(std::fmod(hp, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hp)) {
        case 0:
            r = c, g = x;
            break;
        case 1:
            r = x, g = c;
            break;
        case 2:
            g = c, b = x;
            break;
        case 3:
            g = x, b = c;
            break;
        case 4:
            r = x, b = c;
            break;
        default:
            r = c, b = x;
            break;
    }
    const double m = val - c;
    auto byte = [&](double f) { return static_cast<int>(std::lround((f + m) * 255.0)); };
    return MakeRgb(byte(r), byte(g), byte(b));
}

// ------------------------------------------------------------------ model equality

bool operator==(const HostEnvelope& a, const HostEnvelope& b) {
    return a.xmin == b.xmin && a.ymin == b.ymin && a.xmax == b.xmax && a.ymax == b.ymax;
}

bool DSymbol::operator==(const DSymbol& o) const {
    if (kind != o.kind || size != o.size || angle != o.angle || width != o.width ||
        color != o.color || style != o.style || lineKind != o.lineKind || !(font == o.font) ||
        index != o.index || otherKind != o.otherKind || layers.size() != o.layers.size() ||
        !SameValue(outline, o.outline))
        return false;
    for (size_t i = 0; i < layers.size(); ++i)
        if (!SameValue(layers[i], o.layers[i])) return false;
    return true;
}
bool DClass::operator==(const DClass& o) const {
    return value == o.value && label == o.label && SameValue(symbol, o.symbol);
}
bool DBreak::operator==(const DBreak& o) const {
    return value == o.value && label == o.label && SameValue(symbol, o.symbol);
}
bool DRenderer::operator==(const DRenderer& o) const {
    return kind == o.kind && label == o.label && SameValue(symbol, o.symbol) &&
           hasRotation == o.hasRotation && rotationField == o.rotationField &&
           rotationType == o.rotationType && fields == o.fields && defaultLabel == o.defaultLabel &&
           SameValue(defaultSymbol, o.defaultSymbol) && groups == o.groups && field == o.field &&
           minimum == o.minimum && breaks == o.breaks && otherKind == o.otherKind;
}
bool DLayer::operator==(const DLayer& o) const {
    if (kind != o.kind || name != o.name || visible != o.visible || minScale != o.minScale ||
        maxScale != o.maxScale || symbolsScale != o.symbolsScale || showLabels != o.showLabels ||
        hyperlinkField != o.hyperlinkField || data != o.data || selection != o.selection ||
        renderer != o.renderer || labelClasses != o.labelClasses || file != o.file ||
        children.size() != o.children.size())
        return false;
    for (size_t i = 0; i < children.size(); ++i)
        if (!SameValue(children[i], o.children[i])) return false;
    return true;
}
bool DMap::operator==(const DMap& o) const {
    if (name != o.name || referenceScale != o.referenceScale || selected != o.selected ||
        coordSys != o.coordSys || view != o.view || layers.size() != o.layers.size())
        return false;
    for (size_t i = 0; i < layers.size(); ++i)
        if (!SameValue(layers[i], o.layers[i])) return false;
    return true;
}

// ------------------------------------------------------------------ reading

namespace {

struct Failure {
    DmapError error;
};

std::string Name(xmlNodePtr n) {
    return reinterpret_cast<const char*>(n->name);
}

int Line(xmlNodePtr n) {
    return static_cast<int>(xmlGetLineNo(n));
}

[[noreturn]] void Fail(xmlNodePtr n, const std::string& name, const std::string& message) {
    throw Failure{DmapError{n ? Line(n) : 0, name, message}};
}

std::string Tag(xmlNodePtr n) {
    return "<" + Name(n) + ">";
}

// Checks that the element has only the listed attributes.
void AllowOnly(xmlNodePtr n, std::initializer_list<const char*> names) {
    for (xmlAttrPtr a = n->properties; a; a = a->next) {
        const char* an = reinterpret_cast<const char*>(a->name);
        if (a->ns || std::none_of(names.begin(), names.end(),
                                  [&](const char* k) { return std::strcmp(k, an) == 0; }))
            Fail(n, Tag(n) + " " + an, "unknown attribute");
    }
}

std::optional<std::string> Attr(xmlNodePtr n, const char* name) {
    xmlChar* v = xmlGetNoNsProp(n, reinterpret_cast<const xmlChar*>(name));
    if (!v) return std::nullopt;
    std::string s(reinterpret_cast<const char*>(v));
    xmlFree(v);
    return s;
}

std::string Required(xmlNodePtr n, const char* name) {
    auto v = Attr(n, name);
    if (!v) Fail(n, Tag(n) + " " + name, "missing attribute");
    return *v;
}

std::string Text(xmlNodePtr n, const char* name, std::string def = {}) {
    return Attr(n, name).value_or(def);
}

double Number(xmlNodePtr n, const char* name, double def = 0.0, bool required = false) {
    auto v = required ? std::optional<std::string>(Required(n, name)) : Attr(n, name);
    if (!v) return def;
    auto d = ParseDmapNumber(*v);
    if (!d) Fail(n, Tag(n) + " " + name, "not a number: \"" + *v + "\"");
    return *d;
}

double Scale(xmlNodePtr n, const char* name) {
    const double d = Number(n, name);
    if (d < 0) Fail(n, Tag(n) + " " + name, "a scale cannot be negative");
    return d;
}

int Integer(xmlNodePtr n, const char* name, int def = 0) {
    auto v = Attr(n, name);
    if (!v) return def;
    int i = 0;
    auto r = std::from_chars(v->data(), v->data() + v->size(), i);
    if (r.ec != std::errc() || r.ptr != v->data() + v->size())
        Fail(n, Tag(n) + " " + name, "not a whole number: \"" + *v + "\"");
    return i;
}

bool Bool(xmlNodePtr n, const char* name, bool def) {
    auto v = Attr(n, name);
    if (!v) return def;
    if (*v == "true") return true;
    if (*v == "false") return false;
    Fail(n, Tag(n) + " " + name, "not true or false: \"" + *v + "\"");
}

HostRgb Colour(xmlNodePtr n) {
    auto rgb = Attr(n, "color");
    auto hsv = Attr(n, "hsv");
    if (rgb && hsv) Fail(n, Tag(n) + " hsv", "a colour is given twice (color and hsv)");
    if (rgb) {
        auto c = ParseRgbText(*rgb);
        if (!c) Fail(n, Tag(n) + " color", "not a colour \"r,g,b\" of 0 to 255: \"" + *rgb + "\"");
        return *c;
    }
    if (hsv) {
        auto c = ParseHsvText(*hsv);
        if (!c)
            Fail(n, Tag(n) + " hsv",
                 "not a colour \"h,s,v\" (0-360, 0-100, 0-100): \"" + *hsv + "\"");
        return *c;
    }
    return 0;
}

std::vector<xmlNodePtr> Children(xmlNodePtr n) {
    std::vector<xmlNodePtr> out;
    for (xmlNodePtr c = n->children; c; c = c->next) {
        if (c->type == XML_ELEMENT_NODE) {
            if (c->ns) Fail(c, Tag(c), "unknown element");
            out.push_back(c);
        } else if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
            const char* t = reinterpret_cast<const char*>(c->content);
            if (t && std::strspn(t, " \t\r\n") != std::strlen(t))
                Fail(n, Tag(n), "text is not allowed here");
        } else if (c->type == XML_ENTITY_REF_NODE) {
            Fail(n, Tag(n), "entity references are not allowed");
        }
    }
    return out;
}

void NoChildren(xmlNodePtr n) {
    auto c = Children(n);
    if (!c.empty()) Fail(c[0], Tag(c[0]), "unknown element");
}

bool Is(xmlNodePtr n, const char* name) {
    return std::strcmp(reinterpret_cast<const char*>(n->name), name) == 0;
}

HostFont FontOf(xmlNodePtr n, double size) {
    HostFont f;
    f.name = Required(n, "font");
    if (f.name.empty()) Fail(n, Tag(n) + " font", "the font has no name");
    if (size < 0 || size > 1e6) Fail(n, Tag(n) + " size", "not a font size");
    f.size = std::llround(size * 10000.0);
    f.charset = Integer(n, "charset");
    if (f.charset < 0 || f.charset > 255)
        Fail(n, Tag(n) + " charset", "not a character set (0 to 255)");
    f.bold = Bool(n, "bold", false);
    f.italic = Bool(n, "italic", false);
    f.underline = Bool(n, "underline", false);
    f.strikeout = Bool(n, "strikeout", false);
    return f;
}

DSymbolPtr ReadSymbol(xmlNodePtr n);

DSymbolPtr ReadLine(xmlNodePtr n) {
    AllowOnly(n, {"kind", "width", "color", "hsv", "style"});
    NoChildren(n);
    auto s = std::make_shared<DSymbol>();
    s->kind = SymbolKind::Line;
    const std::string k = Text(n, "kind", "simple");
    if (k == "simple")
        s->lineKind = LineKind::Simple;
    else if (k == "cartographic")
        s->lineKind = LineKind::Cartographic;
    else if (k == "hash")
        s->lineKind = LineKind::Hash;
    else if (k == "multilayer")
        s->lineKind = LineKind::MultiLayer;
    else
        Fail(n, "<line> kind", "unknown value \"" + k + "\"");
    s->width = Number(n, "width", 1.0);
    s->color = Colour(n);
    s->style = Text(n, "style", "solid");
    static const char* kStyles[] = {"solid", "dash", "dot", "dashdot", "dashdotdot", "null"};
    if (std::none_of(std::begin(kStyles), std::end(kStyles),
                     [&](const char* x) { return s->style == x; }))
        Fail(n, "<line> style", "unknown value \"" + s->style + "\"");
    return s;
}

// The fills' <outline><line/></outline>.
void ReadOutline(xmlNodePtr fill, DSymbol* s) {
    for (xmlNodePtr c : Children(fill)) {
        if (!Is(c, "outline")) Fail(c, Tag(c), "unknown element");
        if (s->outline) Fail(c, Tag(c), "a fill has one outline");
        AllowOnly(c, {});
        auto lines = Children(c);
        if (lines.size() != 1 || !Is(lines[0], "line"))
            Fail(c, "<outline>", "holds exactly one <line>");
        s->outline = ReadLine(lines[0]);
    }
}

DSymbolPtr ReadSymbol(xmlNodePtr n) {
    auto s = std::make_shared<DSymbol>();
    if (Is(n, "none")) {
        AllowOnly(n, {});
        NoChildren(n);
        return nullptr;
    }
    if (Is(n, "simplemarker") || Is(n, "picturemarker")) {
        AllowOnly(n, {"size", "color", "hsv", "angle", "style"});
        NoChildren(n);
        s->kind = Is(n, "simplemarker") ? SymbolKind::SimpleMarker : SymbolKind::PictureMarker;
        s->size = Number(n, "size", 8.0);
        s->color = Colour(n);
        s->angle = Number(n, "angle");
        s->style = Text(n, "style", Is(n, "simplemarker") ? "circle" : "");
        if (Is(n, "simplemarker")) {
            static const char* kStyles[] = {"circle", "square", "cross", "x", "diamond"};
            if (std::none_of(std::begin(kStyles), std::end(kStyles),
                             [&](const char* x) { return s->style == x; }))
                Fail(n, "<simplemarker> style", "unknown value \"" + s->style + "\"");
        }
        return s;
    }
    if (Is(n, "charmarker")) {
        AllowOnly(n, {"font", "size", "charset", "bold", "italic", "underline", "strikeout",
                      "color", "hsv", "angle", "index"});
        NoChildren(n);
        s->kind = SymbolKind::CharacterMarker;
        s->size = Number(n, "size", 8.0);
        s->font = FontOf(n, s->size);
        s->color = Colour(n);
        s->angle = Number(n, "angle");
        s->index = Integer(n, "index");
        if (s->index < 0 || s->index > 0x10FFFF)
            Fail(n, "<charmarker> index", "not a character index");
        return s;
    }
    if (Is(n, "multilayermarker")) {
        AllowOnly(n, {"size", "color", "hsv", "angle"});
        s->kind = SymbolKind::MultiLayerMarker;
        s->size = Number(n, "size", 8.0);
        s->color = Colour(n);
        s->angle = Number(n, "angle");
        for (xmlNodePtr c : Children(n)) {
            auto layer = ReadSymbol(c);
            if (!layer || !(layer->kind == SymbolKind::SimpleMarker ||
                            layer->kind == SymbolKind::CharacterMarker ||
                            layer->kind == SymbolKind::PictureMarker ||
                            layer->kind == SymbolKind::MultiLayerMarker))
                Fail(c, Tag(c), "a multi-layer marker holds markers only");
            s->layers.push_back(layer);
        }
        return s;
    }
    if (Is(n, "line")) return ReadLine(n);
    if (Is(n, "simplefill")) {
        AllowOnly(n, {"color", "hsv", "style"});
        s->kind = SymbolKind::SimpleFill;
        s->color = Colour(n);
        s->style = Text(n, "style", "solid");
        static const char* kStyles[] = {"solid",     "hollow",    "horizontal", "vertical",
                                        "fdiagonal", "bdiagonal", "cross",      "diagcross"};
        if (std::none_of(std::begin(kStyles), std::end(kStyles),
                         [&](const char* x) { return s->style == x; }))
            Fail(n, "<simplefill> style", "unknown value \"" + s->style + "\"");
        ReadOutline(n, s.get());
        return s;
    }
    if (Is(n, "otherfill")) {
        AllowOnly(n, {"kind", "color", "hsv"});
        s->kind = SymbolKind::OtherFill;
        s->otherKind = Required(n, "kind");
        s->color = Colour(n);
        ReadOutline(n, s.get());
        return s;
    }
    Fail(n, Tag(n), "unknown element");
}

// The one symbol element inside n.
DSymbolPtr OneSymbol(xmlNodePtr n) {
    auto c = Children(n);
    if (c.size() != 1) Fail(n, Tag(n), "holds exactly one symbol");
    return ReadSymbol(c[0]);
}

DRenderer ReadRenderer(xmlNodePtr n) {
    DRenderer r;
    if (Is(n, "simplerenderer")) {
        AllowOnly(n, {"label"});
        r.kind = RendererKind::Simple;
        r.label = Text(n, "label");
        bool haveSymbol = false;
        for (xmlNodePtr c : Children(n)) {
            if (Is(c, "rotation")) {
                AllowOnly(c, {"field", "type"});
                NoChildren(c);
                if (r.hasRotation) Fail(c, "<rotation>", "given twice");
                r.hasRotation = true;
                r.rotationField = Text(c, "field");
                r.rotationType = Integer(c, "type");
            } else {
                if (haveSymbol) Fail(c, Tag(c), "a simple renderer holds one symbol");
                r.symbol = ReadSymbol(c);
                haveSymbol = true;
            }
        }
        if (!haveSymbol) Fail(n, "<simplerenderer>", "holds exactly one symbol");
        return r;
    }
    if (Is(n, "uniquevaluerenderer")) {
        AllowOnly(n, {"fields", "defaultlabel"});
        r.kind = RendererKind::UniqueValue;
        const std::string fields = Required(n, "fields");
        size_t start = 0;
        while (true) {
            const size_t comma = fields.find(',', start);
            std::string f = fields.substr(
                start, comma == std::string::npos ? std::string::npos : comma - start);
            if (f.empty()) Fail(n, "<uniquevaluerenderer> fields", "an empty field name");
            r.fields.push_back(f);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        r.defaultLabel = Text(n, "defaultlabel");
        bool haveDefault = false;
        for (xmlNodePtr c : Children(n)) {
            if (Is(c, "default")) {
                AllowOnly(c, {});
                if (haveDefault) Fail(c, "<default>", "given twice");
                r.defaultSymbol = OneSymbol(c);
                haveDefault = true;
            } else if (Is(c, "group")) {
                AllowOnly(c, {"heading"});
                DGroup g;
                g.heading = Text(c, "heading");
                for (xmlNodePtr k : Children(c)) {
                    if (!Is(k, "class")) Fail(k, Tag(k), "unknown element");
                    AllowOnly(k, {"value", "label"});
                    DClass cl;
                    cl.value = Required(k, "value");
                    cl.label = Text(k, "label");
                    cl.symbol = OneSymbol(k);
                    g.classes.push_back(std::move(cl));
                }
                r.groups.push_back(std::move(g));
            } else {
                Fail(c, Tag(c), "unknown element");
            }
        }
        return r;
    }
    if (Is(n, "classbreaksrenderer")) {
        AllowOnly(n, {"field", "minimum"});
        r.kind = RendererKind::ClassBreaks;
        r.field = Required(n, "field");
        r.minimum = Number(n, "minimum");
        for (xmlNodePtr c : Children(n)) {
            if (!Is(c, "break")) Fail(c, Tag(c), "unknown element");
            AllowOnly(c, {"value", "label"});
            DBreak b;
            b.value = Number(c, "value", 0.0, true);
            b.label = Text(c, "label");
            b.symbol = OneSymbol(c);
            r.breaks.push_back(std::move(b));
        }
        return r;
    }
    if (Is(n, "otherrenderer")) {
        AllowOnly(n, {"kind"});
        NoChildren(n);
        r.kind = RendererKind::Other;
        r.otherKind = Required(n, "kind");
        return r;
    }
    Fail(n, Tag(n), "unknown element");
}

DLabelClass ReadLabelClass(xmlNodePtr n) {
    AllowOnly(n, {"expression", "engineflag", "classflag", "minscale", "maxscale"});
    DLabelClass l;
    l.expression = Required(n, "expression");
    l.engineFlag = Bool(n, "engineflag", true);
    l.classFlag = Bool(n, "classflag", true);
    l.minScale = Scale(n, "minscale");
    l.maxScale = Scale(n, "maxscale");
    for (xmlNodePtr c : Children(n)) {
        if (!Is(c, "text")) Fail(c, Tag(c), "unknown element");
        if (l.hasText) Fail(c, "<text>", "given twice");
        AllowOnly(c, {"font", "size", "charset", "bold", "italic", "underline", "strikeout",
                      "color", "hsv", "angle"});
        NoChildren(c);
        l.hasText = true;
        l.font = FontOf(c, Number(c, "size", 8.0));
        l.color = Colour(c);
        l.angle = Number(c, "angle");
    }
    return l;
}

bool IsRenderer(xmlNodePtr c) {
    return Is(c, "simplerenderer") || Is(c, "uniquevaluerenderer") ||
           Is(c, "classbreaksrenderer") || Is(c, "otherrenderer");
}

DLayerPtr ReadLayer(xmlNodePtr n, int depth) {
    if (depth > kMaxLayerNesting) Fail(n, "<layer>", "layers are nested too deep");
    AllowOnly(n, {"kind", "name", "visible", "minscale", "maxscale", "symbolsscale", "showlabels",
                  "hyperlinkfield", "file"});
    auto l = std::make_shared<DLayer>();
    const std::string kind = Required(n, "kind");
    if (kind == "feature")
        l->kind = DLayerKind::Feature;
    else if (kind == "raster")
        l->kind = DLayerKind::Raster;
    else if (kind == "group")
        l->kind = DLayerKind::Group;
    else if (kind == "annotation")
        l->kind = DLayerKind::Annotation;
    else
        Fail(n, "<layer> kind", "unknown value \"" + kind + "\"");
    l->name = Required(n, "name");
    l->visible = Bool(n, "visible", true);
    l->minScale = Scale(n, "minscale");
    l->maxScale = Scale(n, "maxscale");
    l->symbolsScale = Bool(n, "symbolsscale", false);
    l->showLabels = Bool(n, "showlabels", false);
    l->hyperlinkField = Text(n, "hyperlinkfield");
    if (l->kind == DLayerKind::Raster) {
        l->file = Required(n, "file");
        if (l->file.empty()) Fail(n, "<layer> file", "an empty file name");
    } else if (Attr(n, "file")) {
        Fail(n, "<layer> file", "only raster layers name a file");
    }
    for (xmlNodePtr c : Children(n)) {
        const bool feature = l->kind == DLayerKind::Feature;
        if (Is(c, "data") && feature) {
            if (l->data) Fail(c, "<data>", "given twice");
            AllowOnly(c, {"workspace", "dataset", "wskind"});
            NoChildren(c);
            DData d;
            d.workspace = Required(c, "workspace");
            d.dataset = Required(c, "dataset");
            if (d.dataset.empty()) Fail(c, "<data> dataset", "an empty dataset name");
            const std::string k = Text(c, "wskind", "shapefile");
            if (k == "shapefile")
                d.kind = WorkspaceKind::Shapefile;
            else if (k == "ogr")
                d.kind = WorkspaceKind::Ogr;
            else if (k == "coverage")
                d.kind = WorkspaceKind::Coverage;
            else
                Fail(c, "<data> wskind", "unknown value \"" + k + "\"");
            l->data = d;
        } else if (Is(c, "selection") && feature) {
            if (l->selection) Fail(c, "<selection>", "given twice");
            AllowOnly(c, {});
            std::vector<int> records;
            std::string text;
            for (xmlNodePtr t = c->children; t; t = t->next) {
                if (t->type == XML_ELEMENT_NODE) Fail(t, Tag(t), "unknown element");
                if (t->type == XML_TEXT_NODE && t->content)
                    text += reinterpret_cast<const char*>(t->content);
            }
            const char* p = text.c_str();
            const char* e = p + text.size();
            while (p < e) {
                if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') {
                    ++p;
                    continue;
                }
                int v = 0;
                auto r = std::from_chars(p, e, v);
                if (r.ec != std::errc() || v < 0 || (r.ptr < e && !std::strchr(" \t\r\n", *r.ptr)))
                    Fail(c, "<selection>", "not a list of record numbers");
                records.push_back(v);
                p = r.ptr;
            }
            l->selection = records;
        } else if (IsRenderer(c) && feature) {
            if (l->renderer) Fail(c, Tag(c), "a layer has one renderer");
            l->renderer = ReadRenderer(c);
        } else if (Is(c, "labelclass") && feature) {
            l->labelClasses.push_back(ReadLabelClass(c));
        } else if (Is(c, "layer") && l->kind == DLayerKind::Group) {
            l->children.push_back(ReadLayer(c, depth + 1));
        } else {
            Fail(c, Tag(c), "unknown element");
        }
    }
    if (l->kind == DLayerKind::Feature && !l->data)
        Fail(n, "<layer>", "a feature layer needs its <data>");
    return l;
}

DMap ReadMap(xmlNodePtr n) {
    AllowOnly(n, {"name", "referencescale", "selected"});
    DMap m;
    m.name = Required(n, "name");
    m.referenceScale = Scale(n, "referencescale");
    m.selected = Text(n, "selected");
    for (xmlNodePtr c : Children(n)) {
        if (Is(c, "coordsys")) {
            if (m.coordSys) Fail(c, "<coordsys>", "given twice");
            AllowOnly(c, {"name", "prj", "wkt"});
            NoChildren(c);
            DCoordSys cs;
            cs.name = Text(c, "name");
            auto prj = Attr(c, "prj");
            auto wkt = Attr(c, "wkt");
            if (prj.has_value() == wkt.has_value())
                Fail(c, "<coordsys>", "needs exactly one of prj and wkt");
            cs.prj = prj.value_or("");
            cs.wkt = wkt.value_or("");
            m.coordSys = cs;
        } else if (Is(c, "view")) {
            if (m.view) Fail(c, "<view>", "given twice");
            AllowOnly(c, {"xmin", "ymin", "xmax", "ymax"});
            NoChildren(c);
            HostEnvelope e;
            e.xmin = Number(c, "xmin", 0, true);
            e.ymin = Number(c, "ymin", 0, true);
            e.xmax = Number(c, "xmax", 0, true);
            e.ymax = Number(c, "ymax", 0, true);
            if (e.xmax < e.xmin || e.ymax < e.ymin)
                Fail(c, "<view>", "the extent's maximum lies below its minimum");
            m.view = e;
        } else if (Is(c, "layer")) {
            m.layers.push_back(ReadLayer(c, 1));
        } else {
            Fail(c, Tag(c), "unknown element");
        }
    }
    return m;
}

DDocument ReadDocument(xmlDocPtr doc) {
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (!root) Fail(nullptr, "", "the document has no element");
    if (root->ns || !Is(root, "desktopmap"))
        Fail(root, Tag(root), "not a desktop map document (<desktopmap> expected)");
    AllowOnly(root, {"version", "focus"});
    const std::string version = Required(root, "version");
    int v = 0;
    auto r = std::from_chars(version.data(), version.data() + version.size(), v);
    if (r.ec != std::errc() || r.ptr != version.data() + version.size() || v < 1)
        Fail(root, "<desktopmap> version", "not a version number: \"" + version + "\"");
    if (v > 1)
        Fail(root, "<desktopmap> version",
             "version " + version + " is newer than this program reads (1)");
    DDocument d;
    d.focus = Text(root, "focus");
    for (xmlNodePtr c : Children(root)) {
        if (!Is(c, "map")) Fail(c, Tag(c), "unknown element");
        d.maps.push_back(ReadMap(c));
    }
    if (d.maps.empty()) Fail(root, "<desktopmap>", "holds no <map>");
    if (!d.focus.empty() && std::none_of(d.maps.begin(), d.maps.end(),
                                         [&](const DMap& m) { return m.name == d.focus; }))
        Fail(root, "<desktopmap> focus", "names no map of the document: \"" + d.focus + "\"");
    return d;
}

}  // namespace

std::optional<DDocument> ReadDmap(std::string_view bytes, DmapError* error) {
    zntools::XmlParseError pe;
    xmlDocPtr doc = zntools::ParseXml(bytes, {}, &pe);
    if (!doc) {
        if (error) *error = DmapError{pe.line, "", "not a well-formed XML document: " + pe.message};
        return std::nullopt;
    }
    std::optional<DDocument> out;
    try {
        out = ReadDocument(doc);
    } catch (const Failure& f) {
        if (error) *error = f.error;
    }
    xmlFreeDoc(doc);
    return out;
}

std::optional<DDocument> ReadDmapFile(const std::string& hostPath, DmapError* error) {
    auto fail = [&](const std::string& message) -> std::optional<DDocument> {
        if (error) *error = DmapError{0, hostPath, message};
        return std::nullopt;
    };
    // Opened without blocking so that a FIFO cannot hold the open, and only
    // a regular file is read.
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail("not a regular file");
    }
    std::string bytes;
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got != bytes.size()) return fail("the file could not be read whole");
    return ReadDmap(bytes, error);
}

// ------------------------------------------------------------------ writing

namespace {

std::string Escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\t':
                out += "&#9;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string RgbText(HostRgb c) {
    return std::to_string(c & 0xFF) + "," + std::to_string((c >> 8) & 0xFF) + "," +
           std::to_string((c >> 16) & 0xFF);
}

class Writer {
public:
    std::string out;

    void Open(int depth, const char* name) {
        out.append(static_cast<size_t>(depth) * 2, ' ');
        out += '<';
        out += name;
    }
    void A(const char* name, std::string_view value) {
        out += ' ';
        out += name;
        out += "=\"";
        out += Escape(value);
        out += '"';
    }
    void N(const char* name, double v) { A(name, DmapNumber(v)); }
    void B(const char* name, bool v) { A(name, v ? "true" : "false"); }
    void EndEmpty() { out += "/>\n"; }
    void EndOpen() { out += ">\n"; }
    void Close(int depth, const char* name) {
        out.append(static_cast<size_t>(depth) * 2, ' ');
        out += "</";
        out += name;
        out += ">\n";
    }

    void Font(const HostFont& f) {
        A("font", f.name);
        N("size", static_cast<double>(f.size) / 10000.0);
        if (f.charset) A("charset", std::to_string(f.charset));
        if (f.bold) B("bold", true);
        if (f.italic) B("italic", true);
        if (f.underline) B("underline", true);
        if (f.strikeout) B("strikeout", true);
    }

    void Line(int depth, const DSymbol& s, const char* name = "line") {
        Open(depth, name);
        static const char* kKinds[] = {"simple", "cartographic", "hash", "multilayer"};
        A("kind", kKinds[static_cast<int>(s.lineKind)]);
        N("width", s.width);
        A("color", RgbText(s.color));
        A("style", s.style);
        EndEmpty();
    }

    void Symbol(int depth, const DSymbolPtr& p) {
        if (!p) {
            Open(depth, "none");
            EndEmpty();
            return;
        }
        const DSymbol& s = *p;
        switch (s.kind) {
            case SymbolKind::SimpleMarker:
            case SymbolKind::PictureMarker:
                Open(depth, s.kind == SymbolKind::SimpleMarker ? "simplemarker" : "picturemarker");
                N("size", s.size);
                A("color", RgbText(s.color));
                if (s.angle != 0) N("angle", s.angle);
                if (!s.style.empty()) A("style", s.style);
                EndEmpty();
                break;
            case SymbolKind::CharacterMarker:
                Open(depth, "charmarker");
                A("font", s.font.name);
                N("size", s.size);
                if (s.font.charset) A("charset", std::to_string(s.font.charset));
                if (s.font.bold) B("bold", true);
                if (s.font.italic) B("italic", true);
                if (s.font.underline) B("underline", true);
                if (s.font.strikeout) B("strikeout", true);
                A("color", RgbText(s.color));
                if (s.angle != 0) N("angle", s.angle);
                A("index", std::to_string(s.index));
                EndEmpty();
                break;
            case SymbolKind::MultiLayerMarker:
                Open(depth, "multilayermarker");
                N("size", s.size);
                A("color", RgbText(s.color));
                if (s.angle != 0) N("angle", s.angle);
                if (s.layers.empty()) {
                    EndEmpty();
                    break;
                }
                EndOpen();
                for (const auto& l : s.layers) Symbol(depth + 1, l);
                Close(depth, "multilayermarker");
                break;
            case SymbolKind::Line:
                Line(depth, s);
                break;
            case SymbolKind::SimpleFill:
            case SymbolKind::OtherFill: {
                const char* name = s.kind == SymbolKind::SimpleFill ? "simplefill" : "otherfill";
                Open(depth, name);
                if (s.kind == SymbolKind::OtherFill) A("kind", s.otherKind);
                A("color", RgbText(s.color));
                if (s.kind == SymbolKind::SimpleFill) A("style", s.style);
                if (!s.outline) {
                    EndEmpty();
                    break;
                }
                EndOpen();
                Open(depth + 1, "outline");
                EndOpen();
                Line(depth + 2, *s.outline);
                Close(depth + 1, "outline");
                Close(depth, name);
                break;
            }
            case SymbolKind::Text:
                break;  // text symbols live in label classes only
        }
    }

    void Renderer(int depth, const DRenderer& r) {
        switch (r.kind) {
            case RendererKind::Simple:
                Open(depth, "simplerenderer");
                if (!r.label.empty()) A("label", r.label);
                EndOpen();
                if (r.hasRotation) {
                    Open(depth + 1, "rotation");
                    A("field", r.rotationField);
                    A("type", std::to_string(r.rotationType));
                    EndEmpty();
                }
                Symbol(depth + 1, r.symbol);
                Close(depth, "simplerenderer");
                break;
            case RendererKind::UniqueValue: {
                Open(depth, "uniquevaluerenderer");
                std::string fields;
                for (size_t i = 0; i < r.fields.size(); ++i) fields += (i ? "," : "") + r.fields[i];
                A("fields", fields);
                if (!r.defaultLabel.empty()) A("defaultlabel", r.defaultLabel);
                EndOpen();
                Open(depth + 1, "default");
                EndOpen();
                Symbol(depth + 2, r.defaultSymbol);
                Close(depth + 1, "default");
                for (const DGroup& g : r.groups) {
                    Open(depth + 1, "group");
                    if (!g.heading.empty()) A("heading", g.heading);
                    if (g.classes.empty()) {
                        EndEmpty();
                        continue;
                    }
                    EndOpen();
                    for (const DClass& c : g.classes) {
                        Open(depth + 2, "class");
                        A("value", c.value);
                        if (!c.label.empty()) A("label", c.label);
                        EndOpen();
                        Symbol(depth + 3, c.symbol);
                        Close(depth + 2, "class");
                    }
                    Close(depth + 1, "group");
                }
                Close(depth, "uniquevaluerenderer");
                break;
            }
            case RendererKind::ClassBreaks:
                Open(depth, "classbreaksrenderer");
                A("field", r.field);
                N("minimum", r.minimum);
                if (r.breaks.empty()) {
                    EndEmpty();
                    break;
                }
                EndOpen();
                for (const DBreak& b : r.breaks) {
                    Open(depth + 1, "break");
                    N("value", b.value);
                    if (!b.label.empty()) A("label", b.label);
                    EndOpen();
                    Symbol(depth + 2, b.symbol);
                    Close(depth + 1, "break");
                }
                Close(depth, "classbreaksrenderer");
                break;
            case RendererKind::Other:
                Open(depth, "otherrenderer");
                A("kind", r.otherKind);
                EndEmpty();
                break;
        }
    }

    void Layer(int depth, const DLayer& l) {
        static const char* kKinds[] = {"feature", "raster", "group", "annotation"};
        Open(depth, "layer");
        A("kind", kKinds[static_cast<int>(l.kind)]);
        A("name", l.name);
        B("visible", l.visible);
        if (l.minScale != 0) N("minscale", l.minScale);
        if (l.maxScale != 0) N("maxscale", l.maxScale);
        if (l.symbolsScale) B("symbolsscale", true);
        if (l.showLabels) B("showlabels", true);
        if (!l.hyperlinkField.empty()) A("hyperlinkfield", l.hyperlinkField);
        if (l.kind == DLayerKind::Raster) A("file", l.file);
        const bool empty =
            !l.data && !l.selection && !l.renderer && l.labelClasses.empty() && l.children.empty();
        if (empty) {
            EndEmpty();
            return;
        }
        EndOpen();
        if (l.data) {
            static const char* kWs[] = {"shapefile", "ogr", "coverage"};
            Open(depth + 1, "data");
            A("workspace", l.data->workspace);
            A("dataset", l.data->dataset);
            A("wskind", kWs[static_cast<int>(l.data->kind)]);
            EndEmpty();
        }
        if (l.selection) {
            Open(depth + 1, "selection");
            out += '>';
            for (size_t i = 0; i < l.selection->size(); ++i) {
                if (i) out += ' ';
                out += std::to_string((*l.selection)[i]);
            }
            out += "</selection>\n";
        }
        if (l.renderer) Renderer(depth + 1, *l.renderer);
        for (const DLabelClass& c : l.labelClasses) {
            Open(depth + 1, "labelclass");
            A("expression", c.expression);
            B("engineflag", c.engineFlag);
            B("classflag", c.classFlag);
            if (c.minScale != 0) N("minscale", c.minScale);
            if (c.maxScale != 0) N("maxscale", c.maxScale);
            if (!c.hasText) {
                EndEmpty();
                continue;
            }
            EndOpen();
            Open(depth + 2, "text");
            Font(c.font);
            A("color", RgbText(c.color));
            if (c.angle != 0) N("angle", c.angle);
            EndEmpty();
            Close(depth + 1, "labelclass");
        }
        for (const auto& child : l.children) Layer(depth + 1, *child);
        Close(depth, "layer");
    }
};

}  // namespace

std::string WriteDmap(const DDocument& d) {
    Writer w;
    w.out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    w.Open(0, "desktopmap");
    w.A("version", "1");
    if (!d.focus.empty()) w.A("focus", d.focus);
    w.EndOpen();
    for (const DMap& m : d.maps) {
        w.Open(1, "map");
        w.A("name", m.name);
        if (m.referenceScale != 0) w.N("referencescale", m.referenceScale);
        if (!m.selected.empty()) w.A("selected", m.selected);
        w.EndOpen();
        if (m.coordSys) {
            w.Open(2, "coordsys");
            if (!m.coordSys->name.empty()) w.A("name", m.coordSys->name);
            if (!m.coordSys->prj.empty() || m.coordSys->wkt.empty())
                w.A("prj", m.coordSys->prj);
            else
                w.A("wkt", m.coordSys->wkt);
            w.EndEmpty();
        }
        if (m.view) {
            w.Open(2, "view");
            w.N("xmin", m.view->xmin);
            w.N("ymin", m.view->ymin);
            w.N("xmax", m.view->xmax);
            w.N("ymax", m.view->ymax);
            w.EndEmpty();
        }
        for (const auto& l : m.layers) w.Layer(2, *l);
        w.Close(1, "map");
    }
    w.Close(0, "desktopmap");
    return w.out;
}

bool SaveDmapFile(const DDocument& document, const std::string& hostPath, std::string* error) {
    const std::string bytes = WriteDmap(document);
    if (fs::WriteWholeHostFile(hostPath, bytes.data(), bytes.size())) return true;
    if (error) {
        const uint32_t code = fs::GetLastError();
        *error = code == fs::kErrorDiskFull       ? "the disk is full"
                 : code == fs::kErrorAccessDenied ? "access denied"
                 : code == fs::kErrorPathNotFound
                     ? "the folder does not exist"
                     : "the file could not be written (error " + std::to_string(code) + ")";
    }
    return false;
}

}  // namespace host
