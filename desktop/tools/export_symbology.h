// The layer file (.znl) the handheld reads beside a shapefile: the layer's
// name and scale range, its renderer with every class and symbol, its labels
// and its hyperlink field. An existing layer file is updated in place, so the
// forms, scripts and locale a map author wrote into it survive; one that does
// not load is left alone and the export of that layer fails.
//
// One instance serves a whole run: it collects the fonts the exported
// symbols and labels use, for the wizard's summary.
#pragma once

#include <libxml/tree.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

class ExportSymbology {
public:
    explicit ExportSymbology(host::IHostUi& ui) : m_ui(ui) {}

    // Takes the layers and does nothing.
    void ExportLayerSet(const std::vector<std::shared_ptr<host::IHostLayer>>&) {}
    // The glyph fonts of the exported markers, in order of first use;
    // "QOVA Default Marker" when none was used yet.
    const std::vector<std::string>& GetSymbolFonts();
    // The fonts of the exported labels, in order of first use.
    const std::vector<std::string>& GetLabelFonts() const { return m_labelFonts; }

    // Field names as the exported table has them (the field checker's
    // renames); references to a renamed source field are written renamed.
    void SetFieldRenames(std::map<std::string, std::string> renames) {
        m_renames = std::move(renames);
    }

    // Writes the layer file of a geo-feature layer (any other layer: nothing).
    // It is loaded from beside the layer's data (<workspace>/<browse name>.znl,
    // found without regard to case) and saved to outputPath/<layer name>.znl,
    // or back to where it came from when outputPath is empty. Raises
    // ExportError or HostError; no file is then changed.
    void ExportLayer(host::IHostMap& map, const std::shared_ptr<host::IHostLayer>& layer,
                     const std::string& outputPath = {});

    // The symbol writers: each appends its element to the parent.
    void ExportMarkerSymbol(xmlNodePtr parent, const host::IHostMarkerSymbol& symbol);
    void ExportSimpleMarkerSymbol(xmlNodePtr parent, const host::IHostMarkerSymbol& symbol);
    void ExportTrueTypeMarkerSymbol(xmlNodePtr parent,
                                    const host::IHostCharacterMarkerSymbol& symbol);
    void ExportLineSymbol(xmlNodePtr parent, const host::IHostLineSymbol& symbol);
    void ExportSimpleLineSymbol(xmlNodePtr parent, const host::IHostLineSymbol& symbol);
    void ExportPolygonSymbol(xmlNodePtr parent, const host::IHostFillSymbol& symbol);
    void ExportSimplePolygonSymbol(xmlNodePtr parent, const host::IHostFillSymbol& symbol);
    // Any symbol by its kind; kinds the layer file cannot hold write nothing.
    void ExportSymbol(xmlNodePtr parent, const std::shared_ptr<host::IHostSymbol>& symbol);
    // TEXTSYMBOL into a label renderer.
    void WriteTextSymbol(xmlNodePtr labelRenderer, const host::IHostTextSymbol& symbol);

    // Writes the layer into the host's own layer file
    // <workspace>/<browse name>.lyr, made by the factory given (the add-in
    // never links the host, so its caller hands the factory over); errors of
    // the last step are not reported. Nothing in the add-in calls it.
    using LayerFileFactory = std::function<std::shared_ptr<host::IHostLayerFile>()>;
    void SetLayerFileFactory(LayerFileFactory factory) { m_layerFiles = std::move(factory); }
    void SaveLayerFile(const std::shared_ptr<host::IHostLayer>& layer);

    // "r,g,b" of a colour, read back through a new RGB colour object.
    static std::string CColor(const host::IHostColor& color);
    // The font size (1/10000 point) as its exact decimal, trailing zeros
    // dropped: 82500 gives "8.25", 100000 gives "10".
    static std::string FontSizeText(int64_t size);
    // The label field of an expression: "[x]" gives x, one plain field name
    // is taken whole, anything else gives "".
    static std::string LabelField(const std::string& expression);

private:
    void WriteSymbology(host::IHostMap& map, xmlNodePtr layerElement,
                        host::IHostGeoFeatureLayer& layer);
    xmlNodePtr WriteLabels(xmlNodePtr symbology, host::IHostLabelClass& labelClass, bool shown);
    xmlNodePtr WriteSimpleRenderer(xmlNodePtr symbology, host::IHostSimpleRenderer& renderer,
                                   const std::shared_ptr<host::IHostRotationRenderer>& rotation);
    xmlNodePtr WriteUniqueValueRenderer(xmlNodePtr symbology,
                                        host::IHostUniqueValueRenderer& renderer,
                                        host::IHostLegendGroup& group);
    xmlNodePtr WriteClassBreaksRenderer(xmlNodePtr symbology,
                                        host::IHostClassBreaksRenderer& renderer);
    void WriteExactEntry(xmlNodePtr renderer, const std::string& value, const std::string& label,
                         const std::shared_ptr<host::IHostSymbol>& symbol);
    void WriteRangeEntry(xmlNodePtr renderer, const std::string& lower, const std::string& upper,
                         const std::string& label,
                         const std::shared_ptr<host::IHostSymbol>& symbol);
    void WriteOtherEntry(xmlNodePtr renderer, const std::string& label,
                         const std::shared_ptr<host::IHostSymbol>& symbol);
    void WriteHyperlink(xmlNodePtr layerElement, host::IHostFeatureLayer& layer);
    void WriteSymbolFont(xmlNodePtr element, const host::HostFont& font);
    void WriteLabelFont(xmlNodePtr element, const host::HostFont& font);
    static void WriteFont(xmlNodePtr element, const host::HostFont& font,
                          std::vector<std::string>& names);
    static std::string StyleSeparator(const std::string& styles);
    std::string Renamed(const std::string& field) const;

    host::IHostUi& m_ui;
    std::vector<std::string> m_symbolFonts;
    std::vector<std::string> m_labelFonts;
    std::map<std::string, std::string> m_renames;
    LayerFileFactory m_layerFiles;
};

}  // namespace zntools8
