// The legend list of the Symbology page: one row per renderer class (or per
// legend record of an extension layer) with its swatch in the Symbol cell,
// its value text, its label and a check box that switches it on and off.
#pragma once

#include "core/list_ctrl_ex.h"
#include "map/symbology/renderer.h"

// The legend of an extension feature layer, as the list reads it. The
// extension layers implement it.
class ILegendSource {
public:
    virtual ~ILegendSource() = default;
    // The number of legend records (0 when the extension reports fewer).
    virtual int GetLegendClassCount() = 0;
    // The texts of queries 302 (Value) and 301 (Label).
    virtual WString GetString302(int record) = 0;
    virtual WString GetString301(int record) = 0;
    // Bit 0 of the record's flags.
    virtual bool GetRecordFlag(int record) = 0;
    virtual void SetRecordFlag(int record, bool on) = 0;
    // The extension draws the record's symbol into the rectangle.
    virtual void DrawRecord(int record, HDC dc, const RECT& rect) = 0;
    // The extension's symbol dialog; true when the symbol changed.
    virtual bool DialogSymbol(HWND window, int record) = 0;
};

class CSymbolListCtrl : public CListCtrlEx {
public:
    // The columns of the list.
    enum { kColumnValue = 0, kColumnSymbol = 1, kColumnLabel = 2 };

    // Check boxes, full-row selection, the columns "Value", "Symbol" and
    // "Label", the Symbol column shown first.
    void Initialize();
    // Shows the renderer's classes (not owned).
    void FillFromRenderer(CRenderer* renderer);
    // Shows the legend records of an extension layer (not owned).
    void FillFromExtensionLayer(ILegendSource* layer);
    // Writes the check boxes back to the classes' visibility or the
    // records' flags.
    void ApplyChecks();
    // The list's notifications, which its parent hands on: custom drawing
    // of the Symbol cell and taps on it. True when handled.
    bool HandleNotify(NMHDR* nm, LRESULT* result);

private:
    void DrawSymbolCell(HDC dc, int row);

    CRenderer* m_renderer = nullptr;
    ILegendSource* m_layer = nullptr;
};
