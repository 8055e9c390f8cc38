// Custom forms: the definitions read from the FORMS element of a layer file,
// an applet or the configuration. A form holds pages; each page holds
// controls and becomes an in-memory dialog template that the form sheets
// show (form_sheet.h). The form, its pages and its named controls are
// published to the owner's script host so that authors' handlers reach them.
#pragma once

#include <memory>
#include <vector>

#include "core/xml_node.h"
#include "map/layers/shape_layer.h"
#include "platform/com/variant.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"
#include "platform/win/ddx.h"
#include "platform/win/window.h"
#include "shell/config/configuration.h"

class CDbfTable;
class CForm;
class CForms;
class CFormPropertySheet;
class CTableListCtrl;
class IScriptHost;

// Event ids the forms raise on their Form, Page and Control objects.
enum FormEventId {
    kFormEventOnLoad = 3,
    kFormEventOnUnload = 4,
    kFormEventOnSetActive = 5,
    kFormEventOnKillActive = 6,
    kFormEventOnClick = 7,
    kFormEventOnDblClick = 8,
    kFormEventOnSetFocus = 9,
    kFormEventOnKillFocus = 10,
    kFormEventOnChange = 11,
    kFormEventOnDropDown = 12,
    kFormEventOnValidate = 13,
    kFormEventOnOK = 16,
    kFormEventOnCancel = 17,
    kFormEventOnSelChange = 21,
    kFormEventOnSelCancel = 22,
    kFormEventOnSelOK = 23,
    kFormEventOnCloseUp = 28,
    kFormEventOnRefresh = 35,
};

enum FormKind {
    kFormOther = -1,
    kFormGeneral = 0,
    kFormEdit = 1,
    kFormIdentify = 2,
    kFormQuery = 3
};

enum FormControlType {
    kCtlLabel = 1,
    kCtlEdit,
    kCtlCheckBox,
    kCtlComboBox,
    kCtlDateTime,
    kCtlButton,
    kCtlSlider,
    kCtlUpDown,
    kCtlListBox,
    kCtlRadioButton,
    kCtlImageBox,
    kCtlSubTable,
};

enum FormValueKind { kValueText = 0, kValueInteger = 1, kValueDouble = 2, kValueDate = 3 };

// Control ids of a page: 4000 + the control's index.
inline constexpr int kFirstFormControlId = 4000;
inline constexpr int kLastFormControlId = 4999;

// The Form, Page, Control and Forms objects that scripts see. The script
// objects subsystem installs its factory; without one the forms hold plain
// counted objects, as layers do.
class IFormScriptObjects {
public:
    virtual ~IFormScriptObjects() = default;
    virtual IDispatch* CreateFormObject(CForm* form) = 0;
    virtual IDispatch* CreatePageObject(CForm* form, int page) = 0;
    virtual IDispatch* CreateControlObject(CForm* form, int page, int control) = 0;
    virtual IDispatch* CreateFormsObject(CForms* forms) = 0;
};
void SetFormScriptObjects(IFormScriptObjects* objects);
IFormScriptObjects* GetFormScriptObjects();

struct CValueTextPair {
    WString value;
    WString text;
};
// A trimmed pair.
CValueTextPair MakeValueTextPair(WStringView value, WStringView text);

// The items of a COMBOBOX or LISTBOX, in order. Values are compared whole
// and with regard to case.
class CValueTextList {
public:
    void Add(CValueTextPair pair) { m_pairs.push_back(std::move(pair)); }
    const CValueTextPair* FindValue(WStringView value) const;
    int IndexOfValue(WStringView value) const;
    // Every pair with that value; the number removed.
    int Remove(WStringView value);
    void Clear() { m_pairs.clear(); }
    int Count() const { return static_cast<int>(m_pairs.size()); }
    const CValueTextPair& At(int i) const { return m_pairs[static_cast<size_t>(i)]; }

private:
    std::vector<CValueTextPair> m_pairs;
};

class CFormPageDef;

// One control of a page: its definition and its current values.
class CFormControl {
public:
    CFormControl();
    ~CFormControl();
    CFormControl(const CFormControl&) = delete;
    CFormControl& operator=(const CFormControl&) = delete;

    int m_index = 0;
    WString m_name;
    WORD m_id = 0;
    FormControlType m_type = kCtlLabel;
    FormValueKind m_valueKind = kValueText;
    WString m_text;
    double m_number = 0;
    int m_integer = 0;
    SYSTEMTIME m_date{};
    WString m_defaultValue;
    WString m_format;
    WString m_value;
    double m_valueNumber = 0;
    bool m_limitToList = true;
    std::unique_ptr<CValueTextList> m_items;
    WString m_listTable;
    WString m_listValueField;
    WString m_listTextField;
    bool m_showValues = false;
    int m_field = -1;
    WString m_fieldName;
    char m_fieldType = 0;
    bool m_readOnly = false;
    bool m_required = false;
    COLORREF m_textColor = static_cast<COLORREF>(-1);
    COLORREF m_backColor = static_cast<COLORREF>(-1);
    int m_sipMode = 2;
    int m_lower = 0;
    int m_upper = 100;
    WString m_buddy;
    gdi::OwnedFont m_font;
    int m_capitalize = 0;
    IDispatch* m_scriptObject = nullptr;
    HWND m_hwnd = nullptr;
    // IMAGEBOX: the picture given to the control and the path it shows.
    gdi::OwnedBitmap m_picture;
    WString m_picturePath;
    // SUBTABLE: the related-table list (made when the page is first shown),
    // the table path and the link field (the bound field).
    std::unique_ptr<CTableListCtrl> m_tableList;
    WString m_dataTable;
    // A loaded value that no list item has: kept as it was on saving.
    bool m_valueNotInList = false;
    // The bound field holds no value (a blank number, a logical that is
    // neither true nor false): kept so unless the user gives one.
    bool m_numberBlank = false;
    // SLIDER: the position it was loaded with.
    int m_loadedPosition = 0;
    // RADIOBUTTON: checked when last exchanged.
    bool m_checked = false;
    CFormPageDef* m_page = nullptr;
    int m_pageIndex = 0;

    bool IsBoundToNumber() const { return m_fieldType == 'N' || m_fieldType == 'F'; }
    // Bound to a field type the controls cannot write (B, I, Y, ...).
    bool IsBoundReadOnly() const;
};

// One page of a form.
class CFormPageDef {
public:
    CFormPageDef() = default;
    ~CFormPageDef();
    CFormPageDef(const CFormPageDef&) = delete;
    CFormPageDef& operator=(const CFormPageDef&) = delete;

    int m_index = 0;
    WString m_name;
    WString m_caption;
    std::vector<std::unique_ptr<CFormControl>> m_controls;
    std::vector<uint8_t> m_template;
    IDispatch* m_scriptObject = nullptr;
    HWND m_hwnd = nullptr;
    gdi::OwnedFont m_font;
    bool m_rtl = false;
    int m_width = 130;
    int m_height = 130;
};

// What a form's controls are bound to: a dBASE table, the record buffer being
// edited and the layer whose edit state makes the pages writable.
struct FormRecordSource {
    CDbfTable* table = nullptr;
    uint8_t* record = nullptr;
    CLayer* layer = nullptr;
};

class CForm {
public:
    explicit CForm(IScriptHost* host);
    ~CForm();
    CForm(const CForm&) = delete;
    CForm& operator=(const CForm&) = delete;

    // position: the element's 1-based place among the FORMS children (names
    // an unnamed form that has event attributes).
    bool Read(const CXmlNode* element, DWORD localeId, int position = 0);

    int FindPage(WStringView name) const;
    int FindPageByWindow(HWND window) const;
    int FindControlIndex(int page, WStringView name) const;
    CFormControl* FindControlByName(int page, WStringView name) const;
    CFormControl* GetControlById(int page, int id) const;
    CFormControl* GetControlByWindow(HWND window) const;
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CFormPageDef* GetPage(int page) const;

    // With a reference for the caller.
    IDispatch* GetScriptObject();
    IDispatch* GetScriptPage(int page);
    IDispatch* GetScriptControl(int page, int index);

    // ---- data exchange (form_exchange.cpp) ----
    void BindToTable(FormRecordSource* source);
    FormRecordSource* GetRecordSource() const { return m_source; }
    void LoadPageValues(int page);
    void SavePageValues(int page);
    // The controls' windows and the control records; false when a value was
    // refused (the focus is then on its control).
    bool DoDataExchange(CDataExchange* dx, int page);
    bool ExchangePage(HWND pageWindow, int page, bool save);
    void ApplyDefaultValues();
    void EnablePageControls(HWND pageWindow, int page, bool editable);

    // ---- controls of a shown page (form_controls.cpp) ----
    void InitPage(HWND pageWindow, int page);
    void ClearComboItems(CFormControl& control);
    void ClearListItems(CFormControl& control);
    void FillComboBox(CFormControl& control);
    void FillListBox(CFormControl& control);
    void LoadImageControl(CFormControl& control, const WString& path);
    // A slider's left buddy shows its position.
    void ShowSliderBuddy(CFormControl& control);
    // A relative path (no folder) taken from the form's folder.
    WString ResolvePath(const WString& path) const;

    // Shows the form in a sheet over the main window's active view; true when
    // closed with OK.
    bool RunModal();

    IScriptHost* m_host = nullptr;
    DWORD m_localeId = 0;
    FormKind m_kind = kFormGeneral;
    WString m_name;
    WString m_caption;
    IDispatch* m_scriptObject = nullptr;
    std::vector<std::unique_ptr<CFormPageDef>> m_pages;
    FormRecordSource* m_source = nullptr;
    WString m_folder;
    int m_width = 130;
    int m_height = 130;
    int m_maxPageWidth = 0;
    int m_maxPageHeight = 0;
    CFormPropertySheet* m_sheet = nullptr;
    gdi::OwnedFont m_font;
    int m_sipMode = 2;
    bool m_rtl = false;
    bool m_editable = true;
    bool m_tabsVisible = true;
    bool m_attributesPageVisible = true;
    bool m_symbologyPageVisible = true;
    bool m_geographyPageVisible = true;

private:
    bool ReadPage(const CXmlNode* element, int index);
    void PublishControl(CFormPageDef& page, CFormControl& control, const CXmlNode* element);
    bool ValidateControl(CDataExchange* dx, CFormControl& control);
};

// The forms of one owner (a layer, an applet, the application), in file
// order; only forms that were read are kept.
class CForms : public ILayerForms, public IConfigForms {
public:
    explicit CForms(IScriptHost* host = nullptr);
    ~CForms() override;

    // The FORMS element (the owner's own SCRIPTs have run): runs its SCRIPT
    // children and reads the forms. Forms read before are kept.
    bool ReadForms(const CXmlNode* forms, DWORD localeId) override;
    void* GetForm(bool edit) override { return edit ? GetEditForm() : GetIdentifyForm(); }
    // The application's collection: over the global host.
    void ReadForms(const CXmlNode* forms, DWORD lcid, IScriptHost* host) override;
    void DeleteForms() override;

    CForm* GetEditForm() const { return m_editForm ? m_editForm : m_identifyForm; }
    CForm* GetIdentifyForm() const { return m_identifyForm ? m_identifyForm : m_editForm; }
    CForm* GetQueryForm() const { return m_queryForm; }
    int FindIndex(WStringView name) const;
    int Count() const { return static_cast<int>(m_forms.size()); }
    // 0-based.
    CForm* GetAt(int index) const;
    IDispatch* GetScriptObject();

private:
    IScriptHost* m_host;
    std::vector<std::unique_ptr<CForm>> m_forms;
    CForm* m_editForm = nullptr;
    CForm* m_identifyForm = nullptr;
    CForm* m_queryForm = nullptr;
    IDispatch* m_scriptObject = nullptr;
};

// The layer factory the program installs: each layer's forms over its host.
std::unique_ptr<ILayerForms> CreateLayerForms(IScriptHost* host);
