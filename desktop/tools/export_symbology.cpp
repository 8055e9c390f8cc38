#include "desktop/tools/export_symbology.h"

#include <strings.h>

#include "desktop/support/xml_parse.h"
#include "desktop/tools/xml_utilities.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace zntools8 {
namespace {

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

std::string Number(double v) {
    return text::ToUtf8(text::DoubleToText(v));
}

// "1:" and the denominator; "" (the attribute removed) when not above 0.
std::string ScaleText(double scale) {
    return scale > 0 ? "1:" + Number(scale) : std::string();
}

bool IsName(const xmlNode* n, const char* name) {
    return n->type == XML_ELEMENT_NODE &&
           std::string(reinterpret_cast<const char*>(n->name)) == name;
}

// The layer file as it is, or a new one. A file that is there but does not
// load is never replaced: the export of the layer fails instead.
DocPtr LoadLayerFile(const std::string& hostPath, bool* declaration) {
    *declaration = false;
    const WString device = fs::DevicePathFromHost(hostPath);
    std::string bytes;
    fs::Resolved resolved;
    const bool exists = !device.empty() && fs::ResolvePath(device, &resolved) && resolved.exists;
    if (exists) {
        if (!fs::ReadWholeFile(device, &bytes))
            throw ExportError("The layer file " + hostPath + " could not be read: " +
                              text::ToUtf8(fs::ErrorText(fs::GetLastError())));
        zntools::XmlParseOptions options;
        options.keepBlanks = true;
        zntools::XmlParseError error;
        DocPtr doc(zntools::ParseXml(bytes, options, &error));
        if (!doc) {
            std::string message = "The layer file " + hostPath + " could not be read: " +
                                  error.message;
            if (error.line > 0) message += " (line " + std::to_string(error.line) + ")";
            throw ExportError(message);
        }
        if (!xmlDocGetRootElement(doc.get()))
            throw ExportError("The layer file " + hostPath + " could not be read: no root element");
        *declaration = zntools::StartsWithDeclaration(bytes);
        return doc;
    }
    DocPtr doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
    if (!doc) throw ExportError("out of memory");
    xmlDocSetRootElement(doc.get(), NewElement(doc.get(), "Zarnip"));
    return doc;
}

bool IsFieldNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

std::string ExportSymbology::LabelField(const std::string& expression) {
    if (expression.size() < 3) return {};
    if (expression.front() == '[' && expression.back() == ']') {
        const std::string inner = expression.substr(1, expression.size() - 2);
        if (inner.find_first_of("[]") != std::string::npos) return {};
        return inner;
    }
    for (char c : expression)
        if (!IsFieldNameChar(c)) return {};
    return expression;
}

std::string ExportSymbology::Renamed(const std::string& field) const {
    auto it = m_renames.find(field);
    if (it != m_renames.end()) return it->second;
    // dBASE field names are matched without regard to case.
    for (const auto& [from, to] : m_renames)
        if (::strcasecmp(from.c_str(), field.c_str()) == 0) return to;
    return field;
}

void ExportSymbology::ExportLayer(host::IHostMap& map,
                                  const std::shared_ptr<host::IHostLayer>& layer,
                                  const std::string& outputPath) {
    auto geo = std::dynamic_pointer_cast<host::IHostGeoFeatureLayer>(layer);
    if (!geo || !layer->Is(host::LayerRole::GeoFeature)) return;
    auto dataset = geo->Dataset();
    if (!dataset) throw ExportError("The layer " + layer->Name() + " has no data");
    const std::string defaultPath =
        dataset->Workspace()->PathName() + "/" + dataset->BrowseName() + ".znl";
    bool declaration = false;
    DocPtr doc = LoadLayerFile(defaultPath, &declaration);

    xmlNodePtr layerElement = GetOrCreateChild(xmlDocGetRootElement(doc.get()), "LAYER");
    SetAttributeUnlessDefault(layerElement, "name", layer->Name());
    SetAttributeUnlessDefault(layerElement, "maxscale", ScaleText(layer->MaximumScale()));
    SetAttributeUnlessDefault(layerElement, "minscale", ScaleText(layer->MinimumScale()));
    WriteSymbology(map, layerElement, *geo);
    WriteHyperlink(layerElement, *geo);

    const std::string path =
        outputPath.empty() ? defaultPath : outputPath + "/" + layer->Name() + ".znl";
    SaveXmlDocument(doc.get(), path, declaration);
}

void ExportSymbology::WriteSymbology(host::IHostMap& map, xmlNodePtr layerElement,
                                     host::IHostGeoFeatureLayer& layer) {
    auto renderer = layer.Renderer();
    // Every old SYMBOLOGY goes: the handheld reads the first one only, and
    // old and new renderers must never mix.
    for (xmlNodePtr c = layerElement->children; c;) {
        xmlNodePtr next = c->next;
        if (IsName(c, "SYMBOLOGY")) {
            xmlUnlinkNode(c);
            xmlFreeNode(c);
        }
        c = next;
    }
    xmlNodePtr symbology = GetOrCreateChild(layerElement, "SYMBOLOGY");

    xmlNodePtr labels = nullptr;
    if (auto classes = layer.LabelClasses(); classes && classes->Count() > 0)
        labels = WriteLabels(symbology, *classes->Class(0), layer.DisplayLabels());

    xmlNodePtr element = nullptr;
    if (auto unique = std::dynamic_pointer_cast<host::IHostUniqueValueRenderer>(renderer)) {
        if (unique->ValueCount() == 0) {
            // The handheld refuses a value map holding OTHER alone and would
            // draw its own default symbol: one symbol for all instead.
            element = GetOrCreateChild(symbology, "SIMPLERENDERER");
            SetAttributeUnlessDefault(element, "label", unique->DefaultLabel());
            ExportSymbol(element, unique->DefaultSymbol());
        } else {
            auto legend = unique->Legend();
            const int group = legend->LegendGroupCount() == 1 ? 0 : 1;
            element = WriteUniqueValueRenderer(symbology, *unique, *legend->LegendGroup(group));
        }
    } else if (auto breaks = std::dynamic_pointer_cast<host::IHostClassBreaksRenderer>(renderer)) {
        element = WriteClassBreaksRenderer(symbology, *breaks);
    } else if (auto simple = std::dynamic_pointer_cast<host::IHostSimpleRenderer>(renderer)) {
        element = WriteSimpleRenderer(symbology, *simple, simple->Rotation());
    } else {
        m_ui.MessageBox("Export Symbology", "Unsupported symbology style",
                        host::PromptIcon::Exclamation, host::PromptButtons::Ok);
        return;
    }

    const double referenceScale = map.ReferenceScale();
    if (!layer.ScaleSymbols() || !(referenceScale > 0)) {
        RemoveAttributeQuietly(element, "refscale");
        RemoveAttributeQuietly(labels, "refscale");
    } else {
        SetAttributeUnlessDefault(element, "refscale", ScaleText(referenceScale));
        if (labels) SetAttributeUnlessDefault(labels, "refscale", ScaleText(referenceScale));
    }
}

xmlNodePtr ExportSymbology::WriteLabels(xmlNodePtr symbology, host::IHostLabelClass& labelClass,
                                        bool shown) {
    auto engine = labelClass.EngineProperties();
    if (!engine || !engine->GateFlag() || !labelClass.GateFlag()) return nullptr;
    const std::string field = LabelField(engine->Expression());
    if (field.empty()) return nullptr;
    xmlNodePtr e = AppendElement(symbology, "SIMPLELABELRENDERER");
    SetBoolAttribute(e, "visible", shown);
    SetAttributeUnlessDefault(e, "field", Renamed(field));
    if (labelClass.MaximumScale() > 0)
        SetAttributeUnlessDefault(e, "maxscale", ScaleText(labelClass.MaximumScale()));
    if (labelClass.MinimumScale() > 0)
        SetAttributeUnlessDefault(e, "minscale", ScaleText(labelClass.MinimumScale()));
    auto text = engine->Symbol();
    if (!text) throw ExportError("The label class has no text symbol");
    WriteTextSymbol(e, *text);
    return e;
}

xmlNodePtr ExportSymbology::WriteSimpleRenderer(
    xmlNodePtr symbology, host::IHostSimpleRenderer& renderer,
    const std::shared_ptr<host::IHostRotationRenderer>& rotation) {
    xmlNodePtr e = GetOrCreateChild(symbology, "SIMPLERENDERER");
    SetAttributeUnlessDefault(e, "label", renderer.Label());
    if (rotation) {
        const std::string field = rotation->RotationField();
        if (!field.empty()) {
            SetAttributeUnlessDefault(e, "rotationfield", Renamed(field));
            SetAttributeUnlessDefault(e, "rotationtype",
                                      rotation->RotationType() == 1 ? "arithmetic" : "geographic");
        } else {
            RemoveAttributeQuietly(e, "rotationfield");
            RemoveAttributeQuietly(e, "rotationtype");
        }
    }
    ExportSymbol(e, renderer.Symbol());
    return e;
}

xmlNodePtr ExportSymbology::WriteUniqueValueRenderer(xmlNodePtr symbology,
                                                     host::IHostUniqueValueRenderer& renderer,
                                                     host::IHostLegendGroup& group) {
    xmlNodePtr e = GetOrCreateChild(symbology, "VALUEMAPRENDERER");
    SetAttributeUnlessDefault(e, "lookupfield",
                              renderer.FieldCount() > 0 ? Renamed(renderer.Field(0)) : "");
    const int count = group.ClassCount();
    for (int i = 0; i < count; ++i) {
        auto legendClass = group.Class(i);
        WriteExactEntry(e, renderer.Value(i), legendClass->Label(), legendClass->Symbol());
    }
    WriteOtherEntry(e, renderer.DefaultLabel(), renderer.DefaultSymbol());
    return e;
}

xmlNodePtr ExportSymbology::WriteClassBreaksRenderer(xmlNodePtr symbology,
                                                     host::IHostClassBreaksRenderer& renderer) {
    xmlNodePtr e = GetOrCreateChild(symbology, "VALUEMAPRENDERER");
    SetAttributeUnlessDefault(e, "lookupfield", Renamed(renderer.Field()));
    std::string lower = Number(renderer.MinimumBreak());
    const int count = renderer.BreakCount();
    for (int i = 0; i < count; ++i) {
        const std::string upper = Number(renderer.Break(i));
        WriteRangeEntry(e, lower, upper, renderer.Label(i), renderer.Symbol(i));
        lower = upper;
    }
    return e;
}

void ExportSymbology::WriteExactEntry(xmlNodePtr renderer, const std::string& value,
                                      const std::string& label,
                                      const std::shared_ptr<host::IHostSymbol>& symbol) {
    xmlNodePtr e = AppendElement(renderer, "EXACT");
    SetAttributeUnlessDefault(e, "value", value);
    SetAttributeUnlessDefault(e, "label", label);
    ExportSymbol(e, symbol);
}

void ExportSymbology::WriteRangeEntry(xmlNodePtr renderer, const std::string& lower,
                                      const std::string& upper, const std::string& label,
                                      const std::shared_ptr<host::IHostSymbol>& symbol) {
    xmlNodePtr e = AppendElement(renderer, "RANGE");
    SetAttributeUnlessDefault(e, "lower", lower);
    SetAttributeUnlessDefault(e, "upper", upper);
    SetAttributeUnlessDefault(e, "label", label);
    ExportSymbol(e, symbol);
}

void ExportSymbology::WriteOtherEntry(xmlNodePtr renderer, const std::string& label,
                                      const std::shared_ptr<host::IHostSymbol>& symbol) {
    xmlNodePtr e = AppendElement(renderer, "OTHER");
    SetAttributeUnlessDefault(e, "label", label);
    ExportSymbol(e, symbol);
}

void ExportSymbology::WriteHyperlink(xmlNodePtr layerElement, host::IHostFeatureLayer& layer) {
    xmlNodePtr e = nullptr;
    for (xmlNodePtr c = layerElement->children; c && !e; c = c->next)
        if (IsName(c, "HYPERLINK")) e = c;
    if (!e) {
        // A new one goes before SYMBOLOGY, which stays last: the next export
        // then gives the same file.
        e = NewElement(layerElement->doc, "HYPERLINK");
        xmlNodePtr symbology = nullptr;
        for (xmlNodePtr c = layerElement->children; c; c = c->next)
            if (IsName(c, "SYMBOLOGY")) symbology = c;
        if (!(symbology ? xmlAddPrevSibling(symbology, e) : xmlAddChild(layerElement, e))) {
            xmlFreeNode(e);
            throw ExportError("out of memory");
        }
    }
    std::string field;
    if (auto links = layer.Hyperlinks()) field = links->HyperlinkField();
    SetAttributeUnlessDefault(e, "field", field.empty() ? field : Renamed(field));
}

void ExportSymbology::SaveLayerFile(const std::shared_ptr<host::IHostLayer>& layer) {
    auto feature = std::dynamic_pointer_cast<host::IHostFeatureLayer>(layer);
    if (!feature) throw ExportError("Only feature layers have a layer file");
    auto dataset = feature->Dataset();
    const std::string path =
        dataset->Workspace()->PathName() + "/" + dataset->BrowseName() + ".lyr";
    if (!m_layerFiles) throw ExportError("The host's layer files are not available");
    auto file = m_layerFiles();
    if (!file) throw ExportError("The host's layer files are not available");
    file->New(path);
    try {
        file->ReplaceContents(layer);
        file->Save();
    } catch (const std::exception&) {
        // As designed: what goes wrong in this last step is not reported.
    }
}

}  // namespace zntools8
