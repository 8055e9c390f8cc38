// The built-in pages of the Feature Properties sheet: Attributes (the
// record's fields, edited in place), Symbology (the layer's legend classes;
// choosing one sets the feature's classifying value), Geography (vertex
// list, length and area of lines and polygons) and the Geography page of
// point features (X, Y, Z, M, the GPS position and its averaging). Each
// page works on the sheet's copies of the shape and the record; the sheet
// writes them back on OK.
#pragma once

#include <vector>

#include "core/dialog_ext.h"
#include "core/list_ctrl_ex.h"
#include "formats/dbf/dbf_table.h"
#include "map/dialogs/vertex_dlg.h"
#include "map/symbology/symbol_list_ctrl.h"
#include "platform/win/framework.h"

class CFeatureLayer;
class CFeatureSheet;

// The fields of one record: a row per field (item data = field index), the
// value in column 0 "Value" and the name in column 1 "Property", shown with
// Property first. Values are edited in place while the list is editable.
class CAttributeListCtrl : public CListCtrlEx {
public:
    ~CAttributeListCtrl() override;

    using CListCtrlEx::Attach;
    // Binds the list control: full-row selection, the field type images,
    // right-to-left when the language is, the two columns.
    bool Create(HWND list);
    // Empties the list and adds a row per field of the layer's table.
    void Attach(CFeatureLayer* layer);
    // Record 0 or above is read first; then each row shows its field's text
    // in the buffer (the list's own buffer when null).
    void FillValues(int record, const uint8_t* buffer);
    // Record 0 or above is read first; the rows the user edited since the
    // last fill are stored into the buffer by their field's type; a record
    // other than -1 is then written. False when a read or the write failed.
    bool StoreValues(int record, uint8_t* buffer);

    void SetHighlightField(int field) { m_highlightField = field; }
    int GetHighlightField() const { return m_highlightField; }
    void SetEditable(bool editable) { m_editable = editable; }
    bool IsEditable() const { return m_editable; }
    // Whether a field's value may be typed: not for the binary, integer and
    // currency types, whose text the list cannot store back.
    static bool IsFieldEditable(char type);
    // The text a finished edit leaves in a field, or false when the field
    // refuses it: numbers (N, F) are stored as the table would store them,
    // right-aligned with the field's decimals, and refused when empty, not a
    // number or too wide; other types keep the text as typed.
    static bool FormatEdit(DbfHandle table, int field, WString& text);

    // The list's notifications, handed on by its parent; true when handled.
    bool HandleNotify(NMHDR* nm, LRESULT* result);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool OnBeginEdit(int item);
    bool OnEndEdit(int item, const WChar* text);
    uint8_t* OwnBuffer();

    CDbfTable m_table;
    std::vector<bool> m_edited;  // by field index, since the last fill
    int m_highlightField = -1;
    bool m_editable = true;
};

class CFeaturePage : public CPropertyPageExt {
public:
    CFeaturePage(UINT templateId, CFeatureSheet* sheet);

protected:
    CFeatureSheet* m_sheet;
};

class CFeatureAttributesPage : public CFeaturePage {
public:
    explicit CFeatureAttributesPage(CFeatureSheet* sheet);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    bool OnKillActive() override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CAttributeListCtrl& List() { return m_list; }

private:
    CAttributeListCtrl m_list;
};

class CShapeSymbologyPage : public CFeaturePage {
public:
    explicit CShapeSymbologyPage(CFeatureSheet* sheet);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    bool OnKillActive() override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The classifying field of the layer's renderer, -1 when none.
    int ClassifyingField() const;

    CSymbolListCtrl m_list;
    bool m_selecting = false;    // the page itself moves the selection
    bool m_userChoice = false;   // the user picked a row since activation
};

class CFeatureGeographyPage : public CFeaturePage {
public:
    explicit CFeatureGeographyPage(CFeatureSheet* sheet);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    const WString& GetLengthText() const { return m_length; }
    const WString& GetAreaText() const { return m_area; }

private:
    void ComputeTexts();
    void EditVertex(int index);

    CVertexListCtrl m_list;
    WString m_length;
    WString m_area;
};

class CFeaturePointPage : public CFeaturePage {
public:
    explicit CFeaturePointPage(CFeatureSheet* sheet);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    bool OnKillActive() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // "Ready" when the samples reach the count, the number still missing
    // below it, "+n" with the samples taken above it.
    static WString ProgressText(int count, int samples);
    // The progress bar, its text and the disabled edits while averaging.
    void ShowAveraging();

    double m_x = 0;
    double m_y = 0;
    double m_z = 0;
    double m_m = 0;

private:
    void OnGpsButton();
    void UpdateProgress();
    void OnAveragedFix();
    void EnableEdits(bool enable);

    win::BitmapButton m_gpsButton;
};
