// The symbol writers of ExportSymbology: each host symbol kind mapped onto
// one of the layer file's four symbol elements (or TEXTSYMBOL for labels).
#include <cinttypes>

#include "desktop/tools/export_symbology.h"
#include "desktop/tools/xml_utilities.h"
#include "platform/text/text.h"

namespace zntools8 {
namespace {

std::string Number(double v) {
    return text::ToUtf8(text::DoubleToText(v));
}

// A new RGB colour object holding the packed value: the components are read
// from it whatever the colour model of the symbol's own colour.
class RgbColor : public host::IHostRgbColor {
public:
    explicit RgbColor(host::HostRgb rgb) : m_rgb(rgb) {}
    host::HostRgb Rgb() const override { return m_rgb; }
    int Red() const override { return static_cast<int>(m_rgb & 0xFF); }
    int Green() const override { return static_cast<int>((m_rgb >> 8) & 0xFF); }
    int Blue() const override { return static_cast<int>((m_rgb >> 16) & 0xFF); }

private:
    host::HostRgb m_rgb;
};

std::string ColorText(const std::shared_ptr<host::IHostColor>& color) {
    if (!color) throw ExportError("A symbol has no colour");
    return ExportSymbology::CColor(*color);
}

}  // namespace

std::string ExportSymbology::CColor(const host::IHostColor& color) {
    const RgbColor rgb(color.Rgb());
    return std::to_string(rgb.Red()) + "," + std::to_string(rgb.Green()) + "," +
           std::to_string(rgb.Blue());
}

std::string ExportSymbology::FontSizeText(int64_t size) {
    // Fixed point with four decimals, never through a double: 8.25 must not
    // come out as 8.2499999.
    const bool negative = size < 0;
    const uint64_t magnitude =
        negative ? static_cast<uint64_t>(-(size + 1)) + 1 : static_cast<uint64_t>(size);
    std::string out = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    uint64_t fraction = magnitude % 10000;
    if (fraction) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04" PRIu64, fraction);
        std::string f = digits;
        while (!f.empty() && f.back() == '0') f.pop_back();
        out += "." + f;
    }
    return out;
}

std::string ExportSymbology::StyleSeparator(const std::string& styles) {
    return styles.empty() ? std::string() : std::string(",");
}

const std::vector<std::string>& ExportSymbology::GetSymbolFonts() {
    if (m_symbolFonts.empty()) m_symbolFonts.push_back("QOVA Default Marker");
    return m_symbolFonts;
}

void ExportSymbology::WriteFont(xmlNodePtr element, const host::HostFont& font,
                                std::vector<std::string>& names) {
    SetAttributeUnlessDefault(element, "font", font.name);
    SetAttributeUnlessDefault(element, "charset", std::to_string(font.charset));
    SetAttributeUnlessDefault(element, "fontsize", FontSizeText(font.size));
    std::string style;
    const std::pair<bool, const char*> flags[] = {{font.bold, "bold"},
                                                  {font.italic, "italic"},
                                                  {font.underline, "underline"},
                                                  {font.strikeout, "strikeout"}};
    for (const auto& [set, name] : flags)
        if (set) style += StyleSeparator(style) + name;
    SetAttributeUnlessDefault(element, "fontstyle", style.empty() ? "regular" : style);
    for (const std::string& n : names)
        if (n == font.name) return;
    names.push_back(font.name);
}

void ExportSymbology::WriteSymbolFont(xmlNodePtr element, const host::HostFont& font) {
    WriteFont(element, font, m_symbolFonts);
}

void ExportSymbology::WriteLabelFont(xmlNodePtr element, const host::HostFont& font) {
    WriteFont(element, font, m_labelFonts);
}

void ExportSymbology::ExportSymbol(xmlNodePtr parent,
                                   const std::shared_ptr<host::IHostSymbol>& symbol) {
    if (!symbol) return;
    if (auto marker = std::dynamic_pointer_cast<host::IHostMarkerSymbol>(symbol))
        ExportMarkerSymbol(parent, *marker);
    else if (auto line = std::dynamic_pointer_cast<host::IHostLineSymbol>(symbol))
        ExportLineSymbol(parent, *line);
    else if (auto fill = std::dynamic_pointer_cast<host::IHostFillSymbol>(symbol))
        ExportPolygonSymbol(parent, *fill);
}

void ExportSymbology::ExportMarkerSymbol(xmlNodePtr parent,
                                         const host::IHostMarkerSymbol& symbol) {
    if (dynamic_cast<const host::IHostSimpleMarkerSymbol*>(&symbol)) {
        ExportSimpleMarkerSymbol(parent, symbol);
    } else if (auto* glyph = dynamic_cast<const host::IHostCharacterMarkerSymbol*>(&symbol)) {
        ExportTrueTypeMarkerSymbol(parent, *glyph);
    } else if (auto* multi = dynamic_cast<const host::IHostMultiLayerMarkerSymbol*>(&symbol)) {
        // Only a glyph in the first layer has a place in the layer file.
        if (multi->LayerCount() < 1) return;
        auto first = multi->Layer(0);
        if (auto glyph0 = std::dynamic_pointer_cast<host::IHostCharacterMarkerSymbol>(first))
            ExportTrueTypeMarkerSymbol(parent, *glyph0);
    }
}

// The handheld reads width as a whole half-size in pixels, so the marker
// draws at about twice its desktop size; that is the format's.
void ExportSymbology::ExportSimpleMarkerSymbol(xmlNodePtr parent,
                                               const host::IHostMarkerSymbol& symbol) {
    xmlNodePtr e = AppendElement(parent, "SIMPLEMARKERSYMBOL");
    SetAttributeUnlessDefault(e, "width", Number(symbol.Size()));
    SetAttributeUnlessDefault(e, "color", ColorText(symbol.Color()));
}

void ExportSymbology::ExportTrueTypeMarkerSymbol(xmlNodePtr parent,
                                                 const host::IHostCharacterMarkerSymbol& symbol) {
    xmlNodePtr e = AppendElement(parent, "TRUETYPEMARKERSYMBOL");
    SetAttributeUnlessDefault(e, "character", std::to_string(symbol.CharacterIndex()));
    WriteSymbolFont(e, symbol.Font());
    SetAttributeUnlessDefault(e, "fontcolor", ColorText(symbol.Color()));
    SetAttributeUnlessDefault(e, "angle", Number(symbol.Angle()));
}

void ExportSymbology::ExportLineSymbol(xmlNodePtr parent, const host::IHostLineSymbol& symbol) {
    ExportSimpleLineSymbol(parent, symbol);
}

void ExportSymbology::ExportSimpleLineSymbol(xmlNodePtr parent,
                                             const host::IHostLineSymbol& symbol) {
    xmlNodePtr e = AppendElement(parent, "SIMPLELINESYMBOL");
    SetAttributeUnlessDefault(e, "type", "solid");
    SetAttributeUnlessDefault(e, "width", Number(symbol.Width()));
    SetAttributeUnlessDefault(e, "color", ColorText(symbol.Color()));
}

void ExportSymbology::ExportPolygonSymbol(xmlNodePtr parent, const host::IHostFillSymbol& symbol) {
    ExportSimplePolygonSymbol(parent, symbol);
}

void ExportSymbology::ExportSimplePolygonSymbol(xmlNodePtr parent,
                                                const host::IHostFillSymbol& symbol) {
    // The transparency attributes carry an opacity: "0" is not drawn.
    std::string opacity = "1";
    if (auto* simple = dynamic_cast<const host::IHostSimpleFillSymbol*>(&symbol))
        if (simple->Style() == host::FillStyle::Hollow) opacity = "0";
    xmlNodePtr e = AppendElement(parent, "SIMPLEPOLYGONSYMBOL");
    SetAttributeUnlessDefault(e, "filltype", "solid");
    SetAttributeUnlessDefault(e, "filltransparency", opacity);
    SetAttributeUnlessDefault(e, "fillcolor", ColorText(symbol.Color()));
    SetAttributeUnlessDefault(e, "boundarytype", "solid");
    if (auto outline = symbol.Outline()) {
        SetAttributeUnlessDefault(e, "boundarywidth", Number(outline->Width()));
        SetAttributeUnlessDefault(e, "boundarycolor", ColorText(outline->Color()));
        SetAttributeUnlessDefault(e, "boundarytransparency", "1");
    } else {
        // A fill without an outline draws none on the handheld either.
        SetAttributeUnlessDefault(e, "boundarytransparency", "0");
    }
}

void ExportSymbology::WriteTextSymbol(xmlNodePtr labelRenderer,
                                      const host::IHostTextSymbol& symbol) {
    xmlNodePtr e = AppendElement(labelRenderer, "TEXTSYMBOL");
    WriteLabelFont(e, symbol.Font());
    SetAttributeUnlessDefault(e, "fontcolor", ColorText(symbol.Color()));
    SetAttributeUnlessDefault(e, "angle", Number(symbol.Angle()));
}

}  // namespace zntools8
