#include "map/dialogs/feature_list_ctrl.h"

#include <utility>

#include "core/language_module.h"
#include "map/layers/feature_layer.h"
#include "map/services/main_window.h"
#include "platform/win/window.h"
#include "resources/zres.h"

namespace {

constexpr COLORREF kWhiteMask = 0xFFFFFF;
constexpr COLORREF kMagentaMask = 0xFF00FF;

// The layer reads through one record buffer: the comparison copies the
// first record's text before it reads the second.
struct SortContext {
    CFeatureLayer* layer;
    int field;
    bool caseSensitive;
};

// The field's text without the blanks a dBASE table pads it with.
WString FieldText(CFeatureLayer* layer, int record, int field) {
    WString text;
    if (layer->ReadRecord(record)) layer->GetFieldText(field, text);
    const size_t first = text.find_first_not_of(u' ');
    if (first == WString::npos) return WString();
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

int CompareRecords(LPARAM a, LPARAM b, LPARAM context) {
    auto* sort = reinterpret_cast<SortContext*>(context);
    const WString first = FieldText(sort->layer, static_cast<int>(a), sort->field);
    const WString second = FieldText(sort->layer, static_cast<int>(b), sort->field);
    if (sort->caseSensitive) return first < second ? -1 : (second < first ? 1 : 0);
    return text::CompareNoCase(first, second);
}

}  // namespace

bool CFeatureListCtrl::Attach(HWND list) {
    if (!CListCtrlEx::Attach(list)) return false;
    SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    SetImageList(IDB_IDENTIFY_IMAGES, ListImages::Small, 16, kWhiteMask);
    if (m_header.Attach(GetHeader())) m_header.SetImageList(IDB_FIELD_TYPES, 16, kMagentaMask);
    CLanguageModule* lang = GetLanguageModule();
    if (lang->IsRightToLeft()) {
        lang->ApplyRtlStyle(list);
        lang->ApplyRtlStyle(GetHeader());
    }
    return true;
}

int CFeatureListCtrl::FieldColumnWidth(const WString& name) {
    return static_cast<int>(name.size()) * 11 + 32;
}

void CFeatureListCtrl::SetLayer(CFeatureLayer* layer) {
    DeleteAllItems();
    DeleteAllColumns();
    m_layer = layer;
    m_sortField = -1;
    m_columnOrder.assign(static_cast<size_t>((layer ? layer->GetFieldCount() : 0) + 4), 0);
}

void CFeatureListCtrl::SetupColumns(int field) {
    int column = InsertColumn(0, u"Symbol", LVCFMT_LEFT, kSymbolColumnWidth);
    SetColumnData(column, -1);
    SetColumnImage(column, kSymbolHeaderImage);
    if (!m_layer) return;
    const int count = m_layer->GetFieldCount();
    for (int i = 0; i < count; ++i) {
        WString name = m_layer->GetFieldName(i);
        column = InsertColumn(i + 1, name.c_str(), LVCFMT_LEFT, FieldColumnWidth(name));
        SetColumnData(column, i);
        SetColumnImage(column, FieldTypeToColumnFormat(m_layer->GetFieldType(i)));
    }
    MoveColumnToSecond(field);
}

int CFeatureListCtrl::AddRecord(int row, int record) {
    int item = InsertItem(row, u"");
    if (item >= 0) SetItemData(item, record);
    return item;
}

void CFeatureListCtrl::MoveColumnToSecond(int field) {
    if (field < 0) return;
    const int columns = GetColumnCount();
    for (int c = 1; c < columns; ++c) {
        if (static_cast<int>(GetColumnData(c)) != field) continue;
        // Swap the positions in the display order, not the columns.
        std::vector<int> order(static_cast<size_t>(columns));
        SendMessage(GetSafeHwnd(), LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(columns),
                    reinterpret_cast<LPARAM>(order.data()));
        if (columns < 2) return;
        for (int p = 0; p < columns; ++p) {
            if (order[static_cast<size_t>(p)] == c) {
                std::swap(order[static_cast<size_t>(p)], order[1]);
                break;
            }
        }
        SendMessage(GetSafeHwnd(), LVM_SETCOLUMNORDERARRAY, static_cast<WPARAM>(columns),
                    reinterpret_cast<LPARAM>(order.data()));
        return;
    }
}

void CFeatureListCtrl::SortByColumn(int column) {
    if (!m_layer || column < 0 || column >= GetColumnCount()) return;
    const int field = static_cast<int>(GetColumnData(column));
    if (field < 0) return;  // the symbol column
    m_sortField = field;
    SortContext context{m_layer, field, m_caseSensitive};
    SendMessage(GetSafeHwnd(), LVM_SORTITEMS, reinterpret_cast<WPARAM>(&context),
                reinterpret_cast<LPARAM>(&CompareRecords));
}

bool CFeatureListCtrl::HandleDrawItem(DRAWITEMSTRUCT* item) {
    if (!item || item->hwndItem != GetSafeHwnd()) return false;
    DrawRow(*item);
    return true;
}

void CFeatureListCtrl::DrawRow(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const int row = static_cast<int>(item.itemID);
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    int saved = SaveDC(dc);
    if (selected) {
        HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
        FillRect(dc, &item.rcItem, b);
        DeleteObject(b);
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    SetBkMode(dc, TRANSPARENT);
    if (m_layer && m_layer->ReadRecord(GetRecord(row))) {
        const int columns = GetColumnCount();
        std::vector<int> order(static_cast<size_t>(columns));
        SendMessage(GetSafeHwnd(), LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(columns),
                    reinterpret_cast<LPARAM>(order.data()));
        for (int c : order) {
            const int field = static_cast<int>(GetColumnData(c));
            if (field < 0) continue;
            RECT cell{};
            cell.top = c;
            cell.left = LVIR_BOUNDS;
            if (!SendMessage(GetSafeHwnd(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                             reinterpret_cast<LPARAM>(&cell)))
                continue;
            cell.left += 1;
            // A table pads its numbers with blanks; narrow columns show digits.
            WString text;
            m_layer->GetFieldText(field, text);
            const size_t first = text.find_first_not_of(u' ');
            text.erase(0, first == WString::npos ? text.size() : first);
            DrawText(dc, text.c_str(), -1, &cell, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
        }
    }
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &item.rcItem);
    RestoreDC(dc, saved);
}

void CFeatureListCtrl::DrawSymbol(HDC dc, int row) {
    if (!m_layer) return;
    RECT cell{};
    cell.top = 0;
    cell.left = LVIR_BOUNDS;
    if (!SendMessage(GetSafeHwnd(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&cell)))
        return;
    // The first column's strip of the row, wherever it stands.
    int width = static_cast<int>(SendMessage(GetSafeHwnd(), LVM_GETCOLUMNWIDTH, 0, 0));
    cell.right = cell.left + width;
    int saved = SaveDC(dc);
    m_layer->DrawFeatureSymbol(GetRecord(row), dc, cell);
    RestoreDC(dc, saved);
}

bool CFeatureListCtrl::HandleNotify(NMHDR* nm, LRESULT* result) {
    if (!nm || nm->hwndFrom != GetSafeHwnd()) return false;
    if (AnswerRowPostPaint(nm, result, [this](HDC dc, int row) { DrawSymbol(dc, row); }))
        return true;
    if (nm->code == LVN_COLUMNCLICK) {
        SortByColumn(reinterpret_cast<NMLISTVIEW*>(nm)->iSubItem);
        *result = 0;
        return true;
    }
    return false;
}

void FillComboFromList(HWND dialog, int comboId, CFeatureLayer* layer, bool addNone) {
    HWND combo = GetDlgItem(dialog, comboId);
    if (!combo) return;
    SendMessage(combo, CB_RESETCONTENT, 0, 0);
    auto add = [&](const WString& text, LPARAM data) {
        LRESULT i = SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (i >= 0) SendMessage(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), data);
    };
    if (addNone) add(u"<None>", -1);
    if (!layer) return;
    for (int i = 0; i < layer->GetFieldCount(); ++i) add(layer->GetFieldName(i), i);
}
