// The Field dialog: a dBASE field's type (character, numeric, date,
// logical), name, width and decimals. A date is always 8 wide, a logical 1
// wide, and only numbers have decimals.
#pragma once

#include "core/dialog_ext.h"
#include "formats/dbf/dbf_engine.h"

class CFieldDlg : public CDialogExt {
public:
    CFieldDlg(const DbfFieldInfo& field, HWND parent = nullptr);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;

    const DbfFieldInfo& GetField() const { return m_field; }

private:
    void OnTypeChosen();
    void UpdateEnabling();
    char TypeLetter() const;

    DbfFieldInfo m_field;
    WString m_name;
    int m_width = 0;
    int m_decimals = 0;
    int m_type = 0;  // 0 C, 1 N, 2 D, 3 L
};

// True on OK, with the definition updated.
bool RunFieldDialog(HWND parent, DbfFieldInfo& field);
