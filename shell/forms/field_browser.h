// The Field Browser: the feature layers of a map and their fields in a tree,
// from which the user picks a layer or one of its fields.
#pragma once

#include <map>

#include "core/dialog_ext.h"
#include "map/layers/feature_layer.h"
#include "platform/win/commctrl.h"

class CLayerList;

// A tree of layers (item data: the layer) with their C, N, D and L fields
// (item data: the field index). It sets itself up when attached.
class CLayerFieldTree : public win::Wnd {
public:
    CLayerFieldTree() = default;
    ~CLayerFieldTree() override;

    bool Attach(HWND tree);
    // Fills the tree from the list's feature layers and selects the current
    // layer and field (the first layer when there is none).
    void Fill(CLayerList* layers);
    // The pair of the selected item: a field item gives its layer and index,
    // a layer item that layer and -1.
    void FollowSelection();

    CFeatureLayer* m_layer = nullptr;
    int m_field = -1;

private:
    HTREEITEM Insert(HTREEITEM parent, const WString& text, int image, LPARAM data);
    // The image of a layer: by its display class, or an extension layer's
    // own icon (added to the list once).
    int LayerImageOf(CLayer& layer);
    HIMAGELIST m_images = nullptr;
    std::map<HICON, int> m_extensionImages;
};

class CFieldBrowserDlg : public CDialogExt {
public:
    static constexpr const char* kRuntimeClassName = "CFieldBrowserDlg";
    // layer and field are the caller's: read as the current pair, written on
    // OK only.
    CFieldBrowserDlg(CLayerList* layers, CFeatureLayer*& layer, int& field, HWND parent = nullptr);

    bool OnInitDialog() override;
    void OnOK() override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    CLayerFieldTree& Tree() { return m_tree; }

private:
    CLayerList* m_layers;
    CFeatureLayer*& m_callerLayer;
    int& m_callerField;
    CLayerFieldTree m_tree;
};

// Runs the dialog over the layers; true with the chosen pair on OK.
bool BrowseField(HWND parent, CLayerList* layers, CFeatureLayer*& layer, int& field);
