// The New Shapefile dialog: a shape type, attribute fields (typed in the
// Field dialog or taken from an existing table) and the table's code page;
// OK asks for the file name and creates the shapefile, its table and its
// projection file. The field list control also shows a layer's fields on
// the Attributes page of the layer properties.
#pragma once

#include <vector>

#include "core/dialog_ext.h"
#include "core/list_ctrl_ex.h"
#include "formats/dbf/dbf_engine.h"

class CCoordSys;
class CFeatureLayer;

// Rows of dBASE field definitions: name, type letter, size and precision,
// with the type's image. The highlighted field's row is drawn in red.
class CFieldListCtrl : public CListCtrlEx {
public:
    bool Setup(HWND dialog, int id);
    // Shows the fields of a layer (not owned).
    void ShowLayer(CFeatureLayer* layer);
    // Shows the fields of a table (not owned).
    void ShowTable(DbfHandle table);
    void Fill();
    int AddField(const DbfFieldInfo& field);
    bool GetField(int row, DbfFieldInfo& field) const;
    // The owner's NM_CUSTOMDRAW: true when it was this list's.
    bool HandleCustomDraw(NMHDR* nm, LRESULT* result);

    int m_highlightField = -1;

private:
    DbfHandle m_table = nullptr;
    CFeatureLayer* m_layer = nullptr;
};

class CNewShapefileDlg : public CDialogExt {
public:
    CNewShapefileDlg(const WString& path, const CCoordSys* coordSys, HWND parent = nullptr);
    ~CNewShapefileDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnOK() override;

    void OnAddField();
    void OnDeleteField();
    void OnImportFields();
    CFieldListCtrl& Fields() { return m_fields; }
    const WString& GetPath() const { return m_path; }

    // The shape types offered, in order.
    static constexpr int kShapeTypes[9] = {1, 3, 5, 11, 13, 15, 21, 23, 25};

private:
    void UpdateButtons();
    // False, with a message naming it, when the list has a field of the name
    // (without regard to case, first 10 characters).
    bool IsNameFree(const WString& name, bool tell) const;
    bool Create(const WString& path);

    WString m_path;
    const CCoordSys* m_coordSys;
    int m_typeIndex = 0;
    int m_codePage = 0;
    CFieldListCtrl m_fields;
    win::BitmapButton m_delete;
};

// Runs the dialog starting at `path`; on OK `path` is the created
// shapefile's. True when one was created.
bool RunNewShapefileDialog(HWND parent, WString& path, const CCoordSys* coordSys);
