// The desktop host's document as data: what a .dmap file holds, read and
// written by dmap_io. Scales are in the handheld's sense (the smallest and
// the largest denominator at which something draws; 0 is no limit).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace host {

struct DSymbol;
using DSymbolPtr = std::shared_ptr<DSymbol>;  // null: no symbol (<none/>)

struct DSymbol {
    SymbolKind kind = SymbolKind::SimpleMarker;
    double size = 0.0;   // markers
    double angle = 0.0;  // markers and text
    double width = 0.0;  // lines
    HostRgb color = 0;
    std::string style;  // marker shape, line style, fill style name
    LineKind lineKind = LineKind::Simple;
    HostFont font;                   // character markers and text
    int index = 0;                   // character markers
    std::string otherKind;           // other fills
    std::vector<DSymbolPtr> layers;  // multi-layer markers
    DSymbolPtr outline;              // fills (a line)
    bool operator==(const DSymbol& o) const;
};

struct DClass {
    std::string value;
    std::string label;
    DSymbolPtr symbol;
    bool operator==(const DClass& o) const;
};

struct DGroup {
    std::string heading;
    std::vector<DClass> classes;
    bool operator==(const DGroup&) const = default;
};

struct DBreak {
    double value = 0.0;
    std::string label;
    DSymbolPtr symbol;
    bool operator==(const DBreak& o) const;
};

struct DRenderer {
    RendererKind kind = RendererKind::Simple;
    // simple
    std::string label;
    DSymbolPtr symbol;
    bool hasRotation = false;
    std::string rotationField;
    int rotationType = 0;
    // unique value
    std::vector<std::string> fields;
    std::string defaultLabel;
    DSymbolPtr defaultSymbol;
    std::vector<DGroup> groups;
    // class breaks
    std::string field;
    double minimum = 0.0;
    std::vector<DBreak> breaks;
    // other
    std::string otherKind;
    bool operator==(const DRenderer& o) const;
};

struct DLabelClass {
    std::string expression;
    bool engineFlag = true;
    bool classFlag = true;
    double minScale = 0.0;
    double maxScale = 0.0;
    bool hasText = false;
    HostFont font;
    HostRgb color = 0;
    double angle = 0.0;
    bool operator==(const DLabelClass&) const = default;
};

enum class DLayerKind { Feature, Raster, Group, Annotation };

struct DData {
    std::string workspace;  // relative to the document's folder, as written
    std::string dataset;
    WorkspaceKind kind = WorkspaceKind::Shapefile;
    bool operator==(const DData&) const = default;
};

struct DLayer {
    DLayerKind kind = DLayerKind::Feature;
    std::string name;
    bool visible = true;
    double minScale = 0.0;
    double maxScale = 0.0;
    bool symbolsScale = false;
    bool showLabels = false;
    std::string hyperlinkField;
    std::optional<DData> data;  // feature layers
    std::optional<std::vector<int>> selection;
    std::optional<DRenderer> renderer;
    std::vector<DLabelClass> labelClasses;
    std::string file;                               // raster layers, relative as written
    std::vector<std::shared_ptr<DLayer>> children;  // group layers
    bool operator==(const DLayer& o) const;
};
using DLayerPtr = std::shared_ptr<DLayer>;

struct DCoordSys {
    std::string name;  // as written (informative)
    std::string prj;   // a .prj file, relative as written
    std::string wkt;   // or the text itself
    bool operator==(const DCoordSys&) const = default;
};

struct DMap {
    std::string name;
    double referenceScale = 0.0;
    std::string selected;  // the selected layer's name
    std::optional<DCoordSys> coordSys;
    std::optional<HostEnvelope> view;
    std::vector<DLayerPtr> layers;
    bool operator==(const DMap& o) const;
};

struct DDocument {
    std::string focus;  // the focus map's name
    std::vector<DMap> maps;
    bool operator==(const DDocument&) const = default;
};

bool operator==(const HostEnvelope& a, const HostEnvelope& b);

// Two symbol, layer or other pointers are equal when both are null or both
// hold equal values.
template <class T>
bool SameValue(const std::shared_ptr<T>& a, const std::shared_ptr<T>& b) {
    if (!a || !b) return !a && !b;
    return *a == *b;
}

}  // namespace host
