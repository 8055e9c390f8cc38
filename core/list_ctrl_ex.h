// Extensions of the list view and header controls: single calls for images,
// column data, widths, selection, sorting by a column's texts, number cells
// and copying or moving whole rows. The objects are bound to an existing
// control with Attach (or SubclassDlgItem).
#pragma once

#include <initializer_list>
#include <vector>

#include "platform/win/commctrl.h"
#include "platform/win/framework.h"

// Converts points from one window's client coordinates to the screen and,
// when `to` is given, on to that window's client coordinates.
void MapPointsToWindow(HWND from, POINT* points, int count, HWND to);

class CHeaderCtrlEx : public win::Wnd {
public:
    CHeaderCtrlEx() = default;
    ~CHeaderCtrlEx() override;

    bool SubclassDlgItem(int id, HWND parent) { return Attach(::GetDlgItem(parent, id)); }

    // Index below 0 appends. The width (unless -1), format (unless 0) and
    // bitmap (unless none) are set, the item data always.
    int InsertItem(int index, const WChar* text, int width, int format, HBITMAP bitmap,
                   LPARAM data);
    void DeleteAllItems();
    int GetItemCount() const;
    int GetItemWidth(int i) const;
    bool SetItemWidth(int i, int width);
    int GetTotalWidth() const;
    LPARAM GetItemData(int i) const;
    bool SetItemData(int i, LPARAM value);
    // An image list from a bitmap resource of the program; owned.
    bool SetImageList(UINT bitmapId, int width, COLORREF maskColour);
    // A negative image clears the item's image format flag; returns the old image.
    int SetItemImage(int i, int image);
    int GetItemImage(int i) const;

private:
    HIMAGELIST m_imageList = nullptr;
};

// Which image list of a list view.
enum class ListImages { Normal = 0, Small = 1, State = 2 };

class CListCtrlEx : public win::Wnd {
public:
    static constexpr int kNoImage = 255;

    CListCtrlEx() = default;
    ~CListCtrlEx() override;

    bool SubclassDlgItem(int id, HWND parent) { return Attach(::GetDlgItem(parent, id)); }

    // ---- plain list operations ----
    int InsertColumn(int index, const WChar* heading, int format = LVCFMT_LEFT, int width = -1);
    int GetColumnCount() const;
    int InsertItem(int index, const WChar* text, int image = -1);
    bool SetItemText(int item, int subItem, const WChar* text);
    WString GetItemText(int item, int subItem) const;
    bool SetItemData(int item, LPARAM data);
    LPARAM GetItemData(int item) const;
    int GetItemCount() const;
    bool DeleteItem(int item);
    bool DeleteAllItems();
    int GetNextItem(int start, UINT flags) const;
    UINT GetItemState(int item, UINT mask) const;
    bool SetItemState(int item, UINT state, UINT mask);
    HWND GetHeader() const;
    DWORD SetExtendedStyle(DWORD style);

    // ---- extensions ----
    // Exchanges two entries of the column display order.
    void SwapColumns(int i, int j);
    // 255 (kNoImage) or a negative image means none. Returns the old image.
    int SetItemImage(int item, int subItem, int image);
    int GetItemImage(int item, int subItem) const;
    // An image list from a bitmap resource of the program (images `width`
    // pixels wide, growing by 1) as the normal, small or state list. Owned.
    bool SetImageList(UINT bitmapId, ListImages which, int width, COLORREF maskColour);
    // The small image list, growing by `grow`.
    bool SetImageList(UINT bitmapId, int width, int grow, COLORREF maskColour);
    // One width per column, in column order.
    void SetColumnWidths(std::initializer_list<int> widths);
    // Selected and focused, then scrolled into view.
    void SelectItem(int item);
    // The focused item becomes selected and is scrolled into view.
    void SelectFocused();
    // The first selected item loses the selection and keeps the focus.
    void DeselectFirst();
    // A stable sort of the rows by the texts of one column.
    void SortByColumn(int column, bool caseSensitive);
    // "%.15g", or empty for 0 with `emptyIfZero`.
    void SetItemNumber(int item, int subItem, double value, bool emptyIfZero);
    void SetColumnData(int column, LPARAM value);
    LPARAM GetColumnData(int column) const;
    int SetColumnImage(int column, int image);
    int GetColumnImage(int column) const;
    void DeleteAllColumns();
    // Inserts a copy of row `from` (every cell's text and image, the item
    // data) at `to`. False for equal or negative positions.
    bool CopyItem(int from, int to);
    // Copies the row, then deletes the source: a row moved down lands at
    // to - 1.
    bool MoveItem(int from, int to);
    // The column whose strip of the row holds the point (client coordinates)
    // and its rectangle; -1 for none.
    int SubItemHitTest(int item, POINT point, RECT* rect) const;
    // State image 2 is checked, 1 unchecked.
    void SetCheck(int item, bool on);
    bool GetCheck(int item) const;

protected:
    // Custom drawing that paints over each row once the list has drawn it:
    // answers every stage of NM_CUSTOMDRAW and calls drawRow(dc, row) after
    // a row's paint. False when `nm` is no custom-draw notification.
    template <class DrawRow>
    static bool AnswerRowPostPaint(NMHDR* nm, LRESULT* result, DrawRow drawRow) {
        if (nm->code != NM_CUSTOMDRAW) return false;
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(nm);
        switch (cd->nmcd.dwDrawStage) {
            case CDDS_PREPAINT:
                *result = CDRF_NOTIFYITEMDRAW;
                break;
            case CDDS_ITEMPREPAINT:
                *result = CDRF_NOTIFYPOSTPAINT;
                break;
            case CDDS_ITEMPOSTPAINT:
                drawRow(cd->nmcd.hdc, static_cast<int>(cd->nmcd.dwItemSpec));
                *result = CDRF_DODEFAULT;
                break;
            default:
                *result = CDRF_DODEFAULT;
                break;
        }
        return true;
    }

private:
    std::vector<HIMAGELIST> m_imageLists;
};
