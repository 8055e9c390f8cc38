// The SUBTABLE control of a form: a report list of the records of a second
// dBASE table whose link field holds the value of the form's record (one to
// many). Cells are edited in place; the rows are written back when the form
// is confirmed. Rows are never added or deleted.
#pragma once

#include <vector>

#include "core/list_ctrl_ex.h"
#include "formats/dbf/dbf_table.h"

// The list's label editor while it edits a cell.
class CTableEdit : public win::Wnd {};

class CTableListCtrl : public CListCtrlEx {
public:
    CTableListCtrl() = default;
    ~CTableListCtrl() override;

    // Closes what was open and empties the list; with a path opens the table
    // (read-only when the list is read-only, or when it cannot be opened for
    // writing) and builds the columns. False when no table opened.
    bool Open(const WChar* path, const WChar* linkField);
    // A link value (when given) selects the rows; then either writes the rows
    // back or reloads them.
    void Refresh(const WChar* linkValue, bool writeBack);
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool IsReadOnly() const { return m_readOnly; }
    CDbfTable& Table() { return m_table; }
    int GetLinkField() const { return m_linkField; }
    const WString& GetLinkValue() const { return m_linkValue; }

    // The page hands these notifications of the list here. Begin answers
    // true to refuse the edit; end always refuses the list's own change.
    bool OnBeginLabelEdit(int item);
    bool OnEndLabelEdit(int item, const WChar* text);
    int GetEditColumn() const { return m_column; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The list makes its label editor once the edit was allowed: the editor
    // is placed over the cell then.
    static constexpr UINT kMsgPlaceEditor = 0x8020;
    void PlaceEditor(int item);
    void Prepare();
    void Reload();
    void WriteBack();
    // The field whose cell a column shows.
    int ColumnField(int column) const { return static_cast<int>(GetColumnData(column)); }

    CDbfTable m_table;
    int m_linkField = -1;
    WString m_linkValue;
    CTableEdit m_edit;
    int m_cellLeft = 0;
    int m_cellTop = 0;
    int m_cellWidth = 0;
    int m_column = -1;
    bool m_readOnly = false;
    bool m_initialised = false;
    // Cells the user changed (row, column) since the rows were loaded.
    std::vector<std::pair<int, int>> m_changed;
};
