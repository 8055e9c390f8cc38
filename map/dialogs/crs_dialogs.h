// The coordinate system dialogs: the parameters of a system ("Projection
// Information"), one row of the datum table ("Datum Transformation
// Information"), and the choice of the transformation for a datum from the
// table ("Datums"), which also becomes that datum's default in the table.
// The texts they show are made by the pure functions below.
#pragma once

#include <vector>

#include "core/dialog_ext.h"
#include "core/list_ctrl_ex.h"
#include "crs/coord_sys.h"
#include "crs/datum_table.h"

// The lines of the Projection Information list: "name = text" or
// "name = %.15g", 28 of them.
std::vector<WString> ProjectionInfoLines(const CCoordSys& cs);
// The name of a transformation method: "Unknown" for 0, empty for a code
// without a name.
WString DatumMethodName(int32_t method);
// 1/f, and 0 for a sphere.
double InverseFlattening(double f);

// One row of the Datums list: the datum table row it shows (an index, never a
// pointer), its 14 cell texts, and whether it carries the default mark.
struct DatumListRow {
    int32_t tableIndex = 0;
    std::vector<WString> cells;
    bool marked = false;
};
// The rows of the table, in table order: every row, or those of the current
// row's datum name (without regard to case).
std::vector<DatumListRow> DatumListRows(const DatumTransformation& current, bool showAll);
// The column headings and pixel widths of the Datums list.
struct DatumColumn {
    const WChar* heading;
    int width;
};
const std::vector<DatumColumn>& DatumListColumns();

class CProjectionInfoDlg : public CDialogExt {
public:
    CProjectionInfoDlg(HWND parent, const CCoordSys* cs);
    bool OnInitDialog() override;

private:
    const CCoordSys* m_cs;
};
void ShowProjectionInfo(HWND parent, const CCoordSys* cs);

class CDatumTransformationDlg : public CDialogExt {
public:
    explicit CDatumTransformationDlg(HWND parent = nullptr);
    bool OnInitDialog() override;
    // Runs the dialog on the row of that name; only a beep when there is none.
    intptr_t ShowDatum(WStringView datumName);
    intptr_t ShowRow(const DatumTransformation& row);

    WString m_datumName;
    WString m_spheroidName;
    double m_a = 0;
    double m_inverseFlattening = 0;
    WString m_methodName;
    WString m_rotations;
    WString m_translations;
};

class CDatumsDlg : public CDialogExt {
public:
    CDatumsDlg(HWND parent, const DatumTransformation& current, bool showAll);
    bool OnInitDialog() override;
    void OnOK() override;
    const DatumTransformation& GetCurrent() const { return m_current; }
    CListCtrlEx& List() { return m_list; }

private:
    void Fill();

    CListCtrlEx m_list;
    DatumTransformation m_current;
    bool m_showAll;
    int m_currentItem = -1;
};

// Runs the Datums dialog; true and the chosen row (with its default flag) in
// `row` on OK.
bool ChooseDatumTransformation(HWND parent, DatumTransformation& row, bool showAll);
