// The Layer Properties sheet: the pages a layer's kind and display class
// call for (name and comments; point, line or polygon style; labels; the
// symbology legend; the hyperlink field; the scale range; the geography
// text), or the preferences' own grid or tracklog page for the map grid and
// the tracklog. Pages take copies of the layer's values; only OK writes them
// back, and only what the user changed, so that an untouched sheet leaves
// every value as it was.
#pragma once

#include <memory>
#include <vector>

#include "core/color_picker.h"
#include "core/dialog_ext.h"
#include "map/dialogs/new_shapefile_dlg.h"
#include "map/symbology/symbol_list_ctrl.h"
#include "platform/gdi/gdi.h"
#include "platform/win/framework.h"

class CLayer;
class CFeatureLayer;
class CSymbol;

// A page of the sheet: its colour swatch buttons and its "S" buttons, which
// put the map's current scale into an edit.
class CLayerPage : public CPropertyPageExt {
public:
    CLayerPage(UINT templateId);
    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    // Called before the page's data are shown: subclass and fill controls.
    virtual void SetupControls() {}
    void AddColor(int id, COLORREF* colour);
    void AddScaleButton(int id, int edit);
    void AddFontButton(int id);
    void ExchangeColors(CDataExchange* dx);
    void SetSpinRange(int spin, int low, int high);

private:
    struct Color {
        int id;
        COLORREF* value;
        std::unique_ptr<CColorButton> button;
    };
    std::vector<Color> m_colors;
    std::vector<std::pair<int, int>> m_scaleButtons;
    std::vector<std::unique_ptr<win::BitmapButton>> m_bitmaps;
};

class CLayerInfoPage : public CLayerPage {
public:
    explicit CLayerInfoPage(CLayer* layer);
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    WString m_name;
    WString m_comments;

protected:
    void SetupControls() override;

private:
    CLayer* m_layer;
};

class CLayerGeographyPage : public CLayerPage {
public:
    CLayerGeographyPage();
    void DoDataExchange(CDataExchange* dx) override;
    WString m_text;
};

// The Point, Line and Polygon Style pages.
class CSymbolStylePage : public CLayerPage {
public:
    enum class Kind { Point, Line, Polygon };
    explicit CSymbolStylePage(Kind kind);
    void DoDataExchange(CDataExchange* dx) override;

    // The symbol's values into the page, and the page's back (only what
    // differs from what the page was given).
    void CopyIn(const CSymbol& symbol);
    void CopyOut(CSymbol& symbol) const;

    Kind m_kind;
    COLORREF m_outline = 0;
    COLORREF m_fill = 0;
    int m_filled = 0;
    int m_size = 0;
    int m_style = -1;  // the list's selection: 0 solid, 1 dash, -1 none
    int m_width = 0;
    int m_saveDefault = 0;

protected:
    void SetupControls() override;

private:
    struct Start {
        int filled, size, style, width;
    } m_start{};
};

class CLabelsPage : public CLayerPage {
public:
    explicit CLabelsPage(CFeatureLayer* layer);
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

    void CopyIn();
    void CopyOut();

    int m_on = 0;
    int m_field = -1;
    int m_size = 0;
    double m_referenceScale = 0;
    COLORREF m_color = 0;
    int m_opaque = 0;
    COLORREF m_blockout = 0;
    int m_range = 0;  // 0 same as the layer, 1 its own
    double m_minScale = 0;
    double m_maxScale = 0;
    // The font chosen with "F", held until OK.
    LOGFONT m_font{};
    bool m_fontChosen = false;

protected:
    void SetupControls() override;

private:
    void UpdateEnabling();
    void OnFont();
    CFeatureLayer* m_layer;
    int m_startSize = 0;
};

class CSymbologyPage : public CLayerPage {
public:
    explicit CSymbologyPage(CLayer* layer);
    void DoDataExchange(CDataExchange* dx) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnApply() override;
    int m_use = 0;

protected:
    void SetupControls() override;

private:
    CLayer* m_layer;
    CSymbolListCtrl m_list;
};

class CHyperlinkPage : public CLayerPage {
public:
    explicit CHyperlinkPage(CFeatureLayer* layer);
    void DoDataExchange(CDataExchange* dx) override;
    // The list's index: the field + 1 (0 is "<None>").
    int m_index = 0;

protected:
    void SetupControls() override;

private:
    CFeatureLayer* m_layer;
};

class CAttributesPage : public CLayerPage {
public:
    explicit CAttributesPage(CFeatureLayer* layer);
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void SetupControls() override;

private:
    CFeatureLayer* m_layer;
    CFieldListCtrl m_list;
};

class CScalePage : public CLayerPage {
public:
    CScalePage();
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    int m_range = 0;  // 0 all scales, 1 the range
    double m_minScale = 0;
    double m_maxScale = 0;

protected:
    void SetupControls() override;

private:
    void UpdateEnabling();
};

class CLayerPropertySheet : public CPropertySheetExt {
public:
    CLayerPropertySheet(CLayer* layer, UINT captionId, HWND parent = nullptr, UINT startPage = 0);
    ~CLayerPropertySheet() override;

    bool OnInitDialog() override;
    // Runs the sheet; on OK the pages' values go to the layer (and the
    // preferences where asked). True on OK.
    bool RunModal();

    // The pages in the order the sheet shows them.
    const std::vector<win::PropertyPage*>& Pages() const { return m_order; }

    WString m_geography;
    std::unique_ptr<CLayerInfoPage> m_info;
    std::unique_ptr<CLayerGeographyPage> m_geographyPage;
    std::unique_ptr<CSymbolStylePage> m_style;
    std::unique_ptr<CLabelsPage> m_labels;
    std::unique_ptr<CSymbologyPage> m_symbology;
    std::unique_ptr<CHyperlinkPage> m_hyperlink;
    std::unique_ptr<CAttributesPage> m_attributes;
    std::unique_ptr<CScalePage> m_scale;
    std::unique_ptr<win::PropertyPage> m_ombrix;
    std::unique_ptr<win::PropertyPage> m_gridPage;
    std::unique_ptr<win::PropertyPage> m_tracklogPage;

private:
    void Add(win::PropertyPage* page, int image);
    void CopyIn();
    void CopyOut();

    CLayer* m_layer;
    std::vector<win::PropertyPage*> m_order;
    std::vector<std::pair<win::PropertyPage*, int>> m_images;
};

// The sheet for one layer with the caption "Layer Properties"; true on OK.
bool RunLayerPropertySheet(CLayer* layer, const WString& geography, HWND parent);
