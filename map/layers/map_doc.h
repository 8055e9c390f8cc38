// The map document: the layer list, the map extent, the map coordinate
// system, the map title and the scale bar flag; new maps, map documents
// (.znm) and single datasets opened as maps, layers added with the
// coordinate-system checks, and saving.
#pragma once

#include <memory>
#include <vector>

#include "map/layers/layer_list.h"
#include "platform/win/document.h"

class CCoordSys;
class CXmlDocument;

// The view side of the document: the view registers with the document and
// is told when a new map needs its edit toolbars updated.
class IMapDocView : public win::DocumentView {
public:
    virtual void UpdateEditToolbars() = 0;
};

class CMapDoc : public win::Document {
public:
    // The built-in system when the documents folder has no "Zarnip.prj".
    static const WChar kDefaultWkt[];

    CMapDoc();
    ~CMapDoc() override;

    bool OnNewDocument() override;
    bool OnOpenDocument(const WString& path) override;
    bool OnSaveDocument(const WString& path) override;
    void OnCloseDocument() override;
    bool DoSave(const WString& path, bool replace = true) override;

    void ResetMap(bool loadDefault);
    // The document owns the system; notify updates the views with hint 1.
    void SetMapCoordSys(CCoordSys* coordSys, bool notify);
    CCoordSys* GetMapCoordSys() const { return m_coordSys; }
    bool ReadMapFile(const WString& path, bool layersOnly);
    // False, with the old file untouched, when the file cannot be written.
    bool WriteMapFile(const WString& path);
    bool OpenDatasetAsMap(const WString& path);
    bool AddLayerFromPath(const WString& path, CLayer** layer);
    // Position 0 by category, 1 at the tail, 2 at the head. The layer as
    // the list holds it, or null when the map refuses it (it is then
    // destroyed).
    CLayer* AddLayer(std::unique_ptr<CLayer> layer, int position);
    CLayer* FindLayerByPath(WStringView path) const;

    CLayerList& GetLayers() { return m_layers; }
    const CDoubleRect& GetMapExtent() const { return m_mapExtent; }
    void SetMapExtent(const CDoubleRect& extent) { m_mapExtent = extent; }
    const WString& GetMapTitle() const { return m_mapTitle; }
    void SetMapTitle(WStringView title) { m_mapTitle = title; }
    bool IsScaleBarVisible() const { return m_scaleBarVisible; }
    void SetScaleBarVisible(bool visible) { m_scaleBarVisible = visible; }
    // Layer elements whose datasets were missing or did not open when the
    // document was read; they are written back as they were.
    int GetKeptLayerCount() const { return static_cast<int>(m_kept.size()); }

private:
    struct KeptLayer {
        std::vector<uint64_t> preceding;  // serials of the layers read before it
        std::unique_ptr<CXmlNode> element;
        WString folder;  // the folder of the document it was read from
    };
    // The MAP element of a map document, else null with the reason (the
    // file system's, the XML parser's, or that it is no map document).
    static const CXmlNode* LoadMapElement(const WString& path, CXmlDocument& document,
                                          WString& reason);
    // The map extent becomes the layers' full extent (when they have one):
    // a document that stores none, or a dataset opened by itself, is shown
    // whole rather than at the default map's extent.
    void ShowWholeMap();
    void WriteLayer(CConfigXmlFile& writer, CLayer* layer, const WString& folder);
    void WriteKept(CConfigXmlFile& writer, uint64_t anchor, const WString& folder);
    uint64_t AnchorOf(const KeptLayer& kept) const;
    void ReadLayerElement(const CXmlNode* element, const WString& folder, bool layersOnly,
                          std::vector<uint64_t>& added, std::vector<WString>& failed);

    CLayerList m_layers;
    CDoubleRect m_mapExtent;
    CCoordSys* m_coordSys = nullptr;
    WString m_mapTitle;
    bool m_scaleBarVisible = true;
    bool m_statusBarVisible = true;  // when there is no main window
    std::vector<KeptLayer> m_kept;
};

// True when the text after the last dot is "znm" in any case.
bool IsMapDocumentPath(WStringView path);
