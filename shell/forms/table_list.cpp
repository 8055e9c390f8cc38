#include "shell/forms/table_list.h"

#include <algorithm>

#include "core/language_module.h"
#include "platform/res/resource.h"
#include "platform/text/text.h"
#include "platform/win/controls.h"
#include "resources/zres.h"
#include "core/stylus.h"

namespace {

constexpr COLORREF kMaskColour = 0xFF00FF;

int FieldTypeImage(char type) {
    switch (type) {
        case 'C':
            return 0;
        case 'N':
            return 1;
        case 'D':
            return 2;
        case 'L':
            return 3;
        default:
            return -1;
    }
}

bool IsNumberType(char type) {
    return type == 'N' || type == 'F';
}

}  // namespace

CTableListCtrl::~CTableListCtrl() {
    m_table.Close();
}

void CTableListCtrl::Prepare() {
    if (m_initialised) return;
    m_initialised = true;
    SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    SetImageList(IDB_TABLE_ROWS, ListImages::Small, 16, kMaskColour);
    if (HWND header = GetHeader()) {
        HIMAGELIST images = ImageList_LoadBitmap(
            res::GetProgramModule(), MAKEINTRESOURCE(static_cast<WORD>(IDB_FIELD_TYPES)), 16, 1,
            kMaskColour);
        if (images) SendMessage(header, HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    }
    if (GetLanguageModule()->IsRightToLeft()) {
        GetLanguageModule()->ApplyRtlStyle(GetSafeHwnd());
        if (HWND header = GetHeader()) GetLanguageModule()->ApplyRtlStyle(header);
    }
}

bool CTableListCtrl::Open(const WChar* path, const WChar* linkField) {
    Prepare();
    m_table.Close();
    m_linkField = -1;
    m_changed.clear();
    DeleteAllItems();
    DeleteAllColumns();
    if (!path) return false;
    // Read-only media still show their rows.
    bool opened = !m_readOnly && m_table.Open(path, kDbfReadWrite);
    if (!opened) opened = m_table.Open(path, 0);
    if (!opened) return false;
    m_linkField = linkField ? m_table.FindField(linkField) : -1;
    int column = 0;
    for (int f = 0; f < m_table.GetFieldCount(); ++f) {
        if (f == m_linkField) continue;
        const WString name = m_table.GetFieldName(f);
        InsertColumn(column, name.c_str(), LVCFMT_LEFT, 11 * static_cast<int>(name.size()) + 32);
        SetColumnData(column, f);
        const int image = FieldTypeImage(DbfGetFieldType(m_table.Table(), f));
        if (image >= 0) SetColumnImage(column, image);
        ++column;
    }
    return true;
}

void CTableListCtrl::Refresh(const WChar* linkValue, bool writeBack) {
    if (linkValue) m_linkValue = text::Trim(WStringView(linkValue));
    if (writeBack)
        WriteBack();
    else
        Reload();
}

void CTableListCtrl::Reload() {
    DeleteAllItems();
    m_changed.clear();
    if (m_linkField < 0 || !m_table.Table()) return;
    const DbfHandle h = m_table.Table();
    const int columns = GetColumnCount();
    for (int r = 0; r < m_table.GetRecordCount(); ++r) {
        if (!DbfReadRecord(h, r) || !DbfIsRecordActive(h)) continue;
        // Keys of different widths are right-aligned numbers or padded
        // texts: they are compared without their blanks.
        if (text::Trim(DbfGetString(h, m_linkField)) != m_linkValue) continue;
        const int item = InsertItem(GetItemCount(), nullptr, 1);
        SetItemData(item, r);
        for (int c = 0; c < columns; ++c) {
            const int field = ColumnField(c);
            WString cell = DbfGetString(h, field);
            if (IsNumberType(DbfGetFieldType(h, field))) cell = text::Trim(cell);
            SetItemText(item, c, cell.c_str());
        }
    }
}

void CTableListCtrl::WriteBack() {
    if (m_readOnly || m_linkField < 0 || !m_table.Table() || !DbfIsWritable(m_table.Table()))
        return;
    const DbfHandle h = m_table.Table();
    const char linkType = DbfGetFieldType(h, m_linkField);
    for (int item = 0; item < GetItemCount(); ++item) {
        const int record = static_cast<int>(GetItemData(item));
        if (record < 0 || record >= m_table.GetRecordCount()) continue;
        if (!DbfReadRecord(h, record)) continue;
        uint8_t* buffer = nullptr;  // the table's own record buffer
        const uint8_t* record0 = DbfGetRecordBuffer(h);
        const std::vector<uint8_t> before(record0, record0 + DbfGetRecordLength(h));
        if (IsNumberType(linkType)) {
            size_t used = 0;
            const double v = text::ParseDouble(WStringView(m_linkValue), &used);
            if (used == m_linkValue.size() && !m_linkValue.empty())
                m_table.SetFieldDouble(m_linkField, v, buffer);
        } else {
            m_table.SetFieldString(m_linkField, m_linkValue, buffer);
        }
        for (const auto& [row, column] : m_changed) {
            if (row != item) continue;
            const int field = ColumnField(column);
            const WString cell = GetItemText(item, column);
            if (IsNumberType(DbfGetFieldType(h, field))) {
                size_t used = 0;
                const WString trimmed = text::Trim(cell);
                const double v = text::ParseDouble(WStringView(trimmed), &used);
                if (!trimmed.empty() && used == trimmed.size())
                    m_table.SetFieldDouble(field, v, buffer);
            } else {
                m_table.SetFieldString(field, cell, buffer);
            }
        }
        // Rows the user did not change keep their bytes (and the file its time).
        if (std::equal(before.begin(), before.end(), DbfGetRecordBuffer(h))) continue;
        DbfWriteRecord(h, record);
    }
    m_changed.clear();
}

bool CTableListCtrl::OnBeginLabelEdit(int item) {
    if (m_readOnly || item < 0) return true;
    POINT point = GetLastStylusPoint();
    ScreenToClient(GetSafeHwnd(), &point);
    RECT cell{};
    m_column = SubItemHitTest(item, point, &cell);
    if (m_column < 0) return true;
    m_cellLeft = cell.left;
    m_cellTop = cell.top;
    m_cellWidth = cell.right - cell.left;
    if (GetWindowLong(GetSafeHwnd(), GWL_EXSTYLE) & 0x00200000) {
        // Mirrored layout: the cell's sides are exchanged.
        m_cellLeft = cell.right;
        m_cellWidth = cell.left - cell.right;
    }
    if (SendMessage(GetSafeHwnd(), LVM_GETEDITCONTROL, 0, 0))
        PlaceEditor(item);
    else
        PostMessage(GetSafeHwnd(), kMsgPlaceEditor, static_cast<WPARAM>(item), 0);
    return false;
}

void CTableListCtrl::PlaceEditor(int item) {
    HWND editor = reinterpret_cast<HWND>(SendMessage(GetSafeHwnd(), LVM_GETEDITCONTROL, 0, 0));
    if (!editor || m_column < 0) return;
    if (m_edit.GetSafeHwnd() != editor) {
        if (m_edit.GetSafeHwnd()) m_edit.Detach();
        m_edit.Attach(editor);
    }
    SendMessage(editor, WM_SETFONT, SendMessage(GetSafeHwnd(), WM_GETFONT, 0, 0), 0);
    RECT editRect{};
    GetWindowRect(editor, &editRect);
    const int left = m_cellWidth < 0 ? m_cellLeft + m_cellWidth : m_cellLeft;
    SetWindowPos(editor, nullptr, left, m_cellTop, m_cellWidth < 0 ? -m_cellWidth : m_cellWidth,
                 editRect.bottom - editRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowText(editor, GetItemText(item, m_column).c_str());
    SendMessage(editor, EM_LIMITTEXT,
                static_cast<WPARAM>(DbfGetFieldLength(m_table.Table(), ColumnField(m_column))), 0);
    SendMessage(editor, EM_SETSEL, 0, -1);
}

LRESULT CTableListCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kMsgPlaceEditor) {
        PlaceEditor(static_cast<int>(wParam));
        return 0;
    }
    return CListCtrlEx::WindowProc(msg, wParam, lParam);
}

bool CTableListCtrl::OnEndLabelEdit(int item, const WChar* text) {
    if (m_column >= 0 && item >= 0 && text && *text) {
        if (GetItemText(item, m_column) != WStringView(text)) {
            SetItemText(item, m_column, text);
            m_changed.emplace_back(item, m_column);
        }
    }
    m_column = -1;
    if (m_edit.GetSafeHwnd()) m_edit.Detach();
    SetItemState(item, 0, LVIS_SELECTED | LVIS_FOCUSED);
    return false;
}
