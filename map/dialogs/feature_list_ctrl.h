// The list of a feature layer's records: one row per record, a first
// column with the record's symbol and one column per attribute field. Rows
// hold only record numbers (from 1, as the layer counts); every cell is read
// from the layer when it is painted, so values are never copied. The list
// draws its rows itself (owner draw) and the symbol after each row.
#pragma once

#include <vector>

#include "core/list_ctrl_ex.h"
#include "platform/win/controls.h"

class CFeatureLayer;

class CFeatureListCtrl : public CListCtrlEx {
public:
    static constexpr int kSymbolColumnWidth = 27;
    static constexpr int kSymbolHeaderImage = 15;

    // Grid lines, full-row selection, the record images (bitmap 333) and
    // the field-type header images (bitmap 293), the language's
    // right-to-left style on the list and its header.
    bool Attach(HWND list);

    // Deletes all rows and columns and shows the layer's records from now on.
    void SetLayer(CFeatureLayer* layer);
    CFeatureLayer* GetLayer() const { return m_layer; }
    // The symbol column and one column per field; the field's column (-1:
    // none) goes second.
    void SetupColumns(int field);
    int AddRecord(int row, int record);
    int GetRecord(int row) const { return static_cast<int>(GetItemData(row)); }
    void MoveColumnToSecond(int field);
    // Orders the rows by the column's field texts (ascending, as text; the
    // symbol column does not sort).
    void SortByColumn(int column);
    void SetCaseSensitiveSort(bool on) { m_caseSensitive = on; }
    int GetSortField() const { return m_sortField; }

    // The width of a field's column: 11 pixels a character plus 32.
    static int FieldColumnWidth(const WString& name);

    // What the parent hands on: the row drawing (WM_DRAWITEM), custom draw
    // (the symbol after each row) and header taps. True when handled.
    bool HandleDrawItem(DRAWITEMSTRUCT* item);
    bool HandleNotify(NMHDR* nm, LRESULT* result);

private:
    void DrawRow(const DRAWITEMSTRUCT& item);
    void DrawSymbol(HDC dc, int row);

    CFeatureLayer* m_layer = nullptr;
    int m_sortField = -1;
    bool m_caseSensitive = false;
    std::vector<int> m_columnOrder;
    CHeaderCtrlEx m_header;
};

// Fills a combo box of the dialog with the layer's field names (item data
// the field index), after "<None>" (item data -1) when `addNone`.
void FillComboFromList(HWND dialog, int comboId, CFeatureLayer* layer, bool addNone);
