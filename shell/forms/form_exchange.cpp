// Moving a form's values between the record being edited, the control
// records and the control windows, with the required and OnValidate checks,
// default values and the enabling of controls.
#include <cmath>
#include <string_view>

#include "core/dialog_ext.h"
#include "core/language_module.h"
#include "formats/dbf/dbf_table.h"
#include "map/layers/layer.h"
#include "map/services/script_events.h"
#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "shell/forms/forms.h"
#include "shell/forms/table_list.h"

namespace {

WString NumberText(double v) {
    return text::Format(u"%.15g", v);
}

// The whole text as a number; false for an empty text or trailing garbage.
bool ParseWholeNumber(const WString& textValue, double& value) {
    const WString t = text::Trim(textValue);
    if (t.empty()) return false;
    size_t used = 0;
    value = text::ParseDouble(WStringView(t), &used);
    return used == t.size() && std::isfinite(value);
}

double NumberOrZero(const WString& textValue) {
    double v = 0;
    return ParseWholeNumber(textValue, v) ? v : 0;
}

WString AppTitle() {
    return res::LoadStringText(nullptr, IDS_APP_TITLE);
}

// The control's window as the one a failure focuses (the page knows its
// controls' windows: no search by id).
HWND Prepare(CDataExchange* dx, const CFormControl& c, bool edit = false) {
    HWND h = c.m_hwnd ? c.m_hwnd : GetDlgItem(dx->m_hDlg, c.m_id);
    dx->m_hWndLastControl = h;
    dx->m_bEditLastControl = edit;
    return h;
}

int ItemData(HWND control, UINT getData, int index) {
    return static_cast<int>(SendMessage(control, getData, static_cast<WPARAM>(index), 0));
}

// The entry of a list whose item data is the pair index, or -1.
int FindEntryOfPair(HWND control, UINT getCount, UINT getData, int pair) {
    const int count = static_cast<int>(SendMessage(control, getCount, 0, 0));
    for (int i = 0; i < count; ++i)
        if (ItemData(control, getData, i) == pair) return i;
    return -1;
}

// Selection by whole value in a COMBOBOX (limited to its list) or LISTBOX.
void ExchangeListValue(CDataExchange* dx, CFormControl& c, bool combo) {
    HWND hwnd = Prepare(dx, c);
    if (!hwnd) return;
    const UINT getCount = combo ? CB_GETCOUNT : LB_GETCOUNT;
    const UINT getData = combo ? CB_GETITEMDATA : LB_GETITEMDATA;
    const UINT getSel = combo ? CB_GETCURSEL : LB_GETCURSEL;
    const UINT setSel = combo ? CB_SETCURSEL : LB_SETCURSEL;
    if (!dx->m_bSaveAndValidate) {
        SendMessage(hwnd, setSel, static_cast<WPARAM>(-1), 0);
        const int pair = c.m_items ? c.m_items->IndexOfValue(c.m_text) : -1;
        const int entry = pair < 0 ? -1 : FindEntryOfPair(hwnd, getCount, getData, pair);
        if (entry >= 0) SendMessage(hwnd, setSel, static_cast<WPARAM>(entry), 0);
        c.m_valueNotInList = entry < 0 && !c.m_text.empty();
        return;
    }
    const int sel = static_cast<int>(SendMessage(hwnd, getSel, 0, 0));
    const int pair = sel < 0 ? -1 : ItemData(hwnd, getData, sel);
    if (c.m_items && pair >= 0 && pair < c.m_items->Count()) {
        c.m_text = c.m_items->At(pair).value;
        c.m_number = NumberOrZero(c.m_text);
        c.m_valueNotInList = false;
    } else if (!c.m_valueNotInList) {
        // A value that is not in the list stays as it was loaded.
        c.m_text.clear();
        c.m_number = 0;
    }
}

void ExchangeWindowText(CDataExchange* dx, const CFormControl& c, WString& value) {
    HWND hwnd = Prepare(dx, c);
    if (!hwnd) return;
    if (dx->m_bSaveAndValidate)
        value = GetWindowTextString(hwnd);
    else
        SetWindowText(hwnd, value.c_str());
}

// An EDIT bound to a number field: an empty text is a blank field; a text
// that is not a number, or one the field cannot hold, is refused.
void ExchangeNumberEdit(CDataExchange* dx, CFormControl& c, FormRecordSource* source) {
    HWND hwnd = Prepare(dx, c, true);
    if (!hwnd) return;
    if (!dx->m_bSaveAndValidate) {
        SetWindowText(hwnd, c.m_text.c_str());
        return;
    }
    const WString typed = text::Trim(GetWindowTextString(hwnd));
    if (typed.empty()) {
        c.m_text.clear();
        c.m_number = 0;
        c.m_numberBlank = true;
        return;
    }
    double value = 0;
    DDX_Text(dx, c.m_id, value);  // the framework's prompt for a text that is not a number
    if (source && source->table && c.m_field >= 0) {
        const DbfHandle h = source->table->Table();
        std::vector<uint8_t> scratch(static_cast<size_t>(DbfGetRecordLength(h)));
        if (!DbfPutNumber(h, c.m_field, value, scratch.data())) {
            const int width = DbfGetFieldLength(h, c.m_field);
            const int decimals = DbfGetFieldDecimals(h, c.m_field);
            const int whole = width - (decimals > 0 ? decimals + 1 : 0);
            const double top = std::pow(10.0, whole) - std::pow(10.0, -decimals);
            const double bottom = -(std::pow(10.0, whole - 1) - std::pow(10.0, -decimals));
            WString prompt = res::LoadStringText(nullptr, IDP_PARSE_REAL_RANGE);
            if (prompt.empty()) prompt = u"Please enter a number between %1 and %2.";
            MessageBox(
                dx->m_hDlg,
                res::FormatMessageText(prompt, {NumberText(bottom), NumberText(top)}).c_str(),
                AppTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
            dx->Fail();
        }
    }
    c.m_number = value;
    c.m_text = NumberText(value);
    c.m_numberBlank = false;
}

}  // namespace

void CForm::BindToTable(FormRecordSource* source) {
    m_source = source;
    const DbfHandle h = source && source->table ? source->table->Table() : nullptr;
    for (auto& page : m_pages)
        for (auto& c : page->m_controls) {
            c->m_field =
                h && !c->m_fieldName.empty() ? DbfFindField(h, c->m_fieldName.c_str()) : -1;
            c->m_fieldType = c->m_field >= 0 ? DbfGetFieldType(h, c->m_field) : 0;
            if (c->IsBoundToNumber()) c->m_valueKind = kValueDouble;
        }
}

void CForm::LoadPageValues(int page) {
    CFormPageDef* def = GetPage(page);
    if (!def || !m_source || !m_source->table) return;
    const DbfHandle h = m_source->table->Table();
    const uint8_t* record = m_source->record;
    for (auto& cp : def->m_controls) {
        CFormControl& c = *cp;
        if (c.m_field < 0) continue;
        switch (c.m_fieldType) {
            case 'D':
                if (c.m_type == kCtlDateTime) {
                    DbfDateTime d{};
                    if (!DbfGetDate(h, c.m_field, &d, record)) d = DbfDateTime{};
                    c.m_date = SYSTEMTIME{d.year, d.month, d.dayOfWeek, d.day, 0, 0, 0, 0};
                } else {
                    c.m_text = DbfGetString(h, c.m_field, record);
                }
                break;
            case 'L':
                if (c.m_type == kCtlCheckBox) {
                    c.m_integer = DbfGetLogical(h, c.m_field, record);
                    const uint8_t* bytes = DbfGetFieldBytes(h, c.m_field, nullptr, record);
                    const char v = bytes ? static_cast<char>(bytes[0]) : ' ';
                    c.m_numberBlank =
                        std::string_view("TtYyFfNn").find(v) == std::string_view::npos;
                } else {
                    c.m_text = DbfGetString(h, c.m_field, record);
                }
                break;
            case 'N':
            case 'F':
                c.m_numberBlank = DbfIsBlank(h, c.m_field, record) != 0;
                c.m_number = c.m_numberBlank ? 0 : DbfGetNumber(h, c.m_field, record);
                if (c.m_type == kCtlCheckBox) c.m_integer = c.m_number != 0;
                break;
            default:
                c.m_text = DbfGetString(h, c.m_field, record);
                break;
        }
    }
}

void CForm::SavePageValues(int page) {
    CFormPageDef* def = GetPage(page);
    if (!def || !m_source || !m_source->table) return;
    CDbfTable& table = *m_source->table;
    const DbfHandle h = table.Table();
    uint8_t* record = m_source->record;
    for (auto& cp : def->m_controls) {
        CFormControl& c = *cp;
        if (c.m_field < 0 || c.m_type == kCtlSubTable || c.m_readOnly || c.IsBoundReadOnly())
            continue;
        // Labels, buttons and spinners show a value; the user cannot change it.
        if (c.m_type == kCtlLabel || c.m_type == kCtlButton || c.m_type == kCtlUpDown) continue;
        if (c.m_valueNotInList) continue;
        // A check box left unchecked on a field without a value keeps it so.
        if (c.m_type == kCtlCheckBox && c.m_numberBlank && !c.m_integer) continue;
        if (c.m_type == kCtlRadioButton) {
            if (!c.m_checked) continue;
            c.m_text = c.m_value;
            c.m_number = c.m_valueNumber;
            c.m_numberBlank = false;
        }
        switch (c.m_fieldType) {
            case 'D':
                if (c.m_type == kCtlDateTime) {
                    const DbfDateTime d{c.m_date.wYear,
                                        c.m_date.wMonth,
                                        c.m_date.wDayOfWeek,
                                        c.m_date.wDay,
                                        0,
                                        0,
                                        0,
                                        0};
                    DbfPutDate(h, c.m_field, &d, record);
                } else {
                    table.SetFieldString(c.m_field, c.m_text, record);
                }
                break;
            case 'L':
                if (c.m_type == kCtlCheckBox)
                    DbfPutLogical(h, c.m_field, c.m_integer ? 'T' : 'F', record);
                else
                    DbfPutLogical(h, c.m_field, c.m_text.empty() ? ' ' : c.m_text[0], record);
                break;
            case 'N':
            case 'F':
                if (c.m_type == kCtlCheckBox)
                    DbfPutNumber(h, c.m_field, c.m_integer, record);
                else if (c.m_numberBlank)
                    DbfBlankField(h, c.m_field, record);
                else
                    DbfPutNumber(h, c.m_field, c.m_number, record);
                break;
            default:
                table.SetFieldString(c.m_field, c.m_text, record);
                break;
        }
    }
}

bool CForm::ExchangePage(HWND pageWindow, int page, bool save) {
    return UpdateDialogData(pageWindow, save, [&](CDataExchange* dx) { DoDataExchange(dx, page); });
}

bool CForm::DoDataExchange(CDataExchange* dx, int page) {
    CFormPageDef* def = GetPage(page);
    if (!def) return false;
    const bool save = dx->m_bSaveAndValidate;
    for (auto& cp : def->m_controls) {
        CFormControl& c = *cp;
        if (save && (c.m_readOnly || c.IsBoundReadOnly())) continue;
        if (!save && c.IsBoundToNumber())
            c.m_text = c.m_numberBlank ? WString() : NumberText(c.m_number);
        const int id = c.m_id;
        switch (c.m_type) {
            case kCtlEdit:
                if (c.IsBoundToNumber())
                    ExchangeNumberEdit(dx, c, m_source);
                else if (c.m_valueKind == kValueInteger)
                    DDX_Text(dx, id, c.m_integer);
                else if (c.m_valueKind == kValueDouble)
                    DDX_Text(dx, id, c.m_number);
                else
                    ExchangeWindowText(dx, c, c.m_text);
                break;
            case kCtlCheckBox:
                if (HWND hwnd = Prepare(dx, c)) {
                    if (save)
                        c.m_integer = static_cast<int>(SendMessage(hwnd, BM_GETCHECK, 0, 0));
                    else
                        SendMessage(hwnd, BM_SETCHECK, static_cast<WPARAM>(c.m_integer), 0);
                }
                break;
            case kCtlDateTime:
                DDX_DateTime(dx, id, c.m_date);
                break;
            case kCtlComboBox:
                if (c.m_limitToList) {
                    ExchangeListValue(dx, c, true);
                } else if (c.m_fieldType == 'D') {
                    // nothing: a date field takes no free text from a list
                } else {
                    if (!save) {
                        if (HWND hwnd = Prepare(dx, c))
                            SendMessage(hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
                    }
                    ExchangeWindowText(dx, c, c.m_text);
                    if (save && c.IsBoundToNumber()) {
                        double v = 0;
                        c.m_numberBlank = !ParseWholeNumber(c.m_text, v);
                        c.m_number = v;
                    }
                }
                break;
            case kCtlListBox:
                ExchangeListValue(dx, c, false);
                break;
            case kCtlSlider: {
                HWND hwnd = Prepare(dx, c);
                if (!hwnd) break;
                if (save) {
                    const int pos = static_cast<int>(SendMessage(hwnd, TBM_GETPOS, 0, 0));
                    // A slider always shows a position: one left where an
                    // empty value put it does not invent a value.
                    const bool empty = c.IsBoundToNumber() ? c.m_numberBlank : c.m_text.empty();
                    if (empty && pos == c.m_loadedPosition) break;
                    c.m_integer = pos;
                    c.m_number = pos;
                    c.m_numberBlank = false;
                    c.m_text = text::Format(u"%d", pos);
                } else {
                    const int pos = c.IsBoundToNumber() ? static_cast<int>(std::trunc(c.m_number))
                                                        : static_cast<int>(NumberOrZero(c.m_text));
                    SendMessage(hwnd, TBM_SETPOS, TRUE, pos);
                    c.m_loadedPosition = static_cast<int>(SendMessage(hwnd, TBM_GETPOS, 0, 0));
                    ShowSliderBuddy(c);
                }
                break;
            }
            case kCtlRadioButton: {
                HWND hwnd = Prepare(dx, c);
                if (!hwnd) break;
                if (save) {
                    c.m_checked = SendMessage(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
                    c.m_text = c.m_checked ? c.m_value : WString();
                    c.m_number = c.m_checked ? c.m_valueNumber : 0;
                } else {
                    bool check = false;
                    if (c.IsBoundToNumber())
                        check = !c.m_numberBlank && c.m_number == c.m_valueNumber;
                    else if (c.m_fieldType == 'C' || c.m_fieldType == 0)
                        check = !c.m_text.empty() && c.m_text == c.m_value;
                    else
                        break;
                    c.m_checked = check;
                    SendMessage(hwnd, BM_SETCHECK, check ? BST_CHECKED : BST_UNCHECKED, 0);
                }
                break;
            }
            case kCtlImageBox:
                if (!save && c.m_text != c.m_picturePath) LoadImageControl(c, c.m_text);
                break;
            default:
                break;
        }
        if (save && m_editable) ValidateControl(dx, c);
    }
    return true;
}

bool CForm::ValidateControl(CDataExchange* dx, CFormControl& c) {
    if (c.m_required) {
        bool empty = false;
        switch (c.m_type) {
            case kCtlEdit:
            case kCtlComboBox:
            case kCtlListBox:
                empty = text::Trim(c.m_text).empty();
                break;
            case kCtlDateTime:
                empty = c.m_date.wYear == 0 || c.m_date.wMonth == 0 || c.m_date.wDay == 0;
                break;
            default:  // a check box always holds a value: checked or not
                break;
        }
        if (empty) {
            WString message;
            GetLanguageModule()->FormatString1(message, IDP_FORM_VALUE_REQUIRED,
                                               c.m_fieldName.c_str());
            Prepare(dx, c);
            MessageBox(dx->m_hDlg, message.c_str(), AppTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
            dx->Fail();
        }
    }
    if (!c.m_scriptObject) return true;
    IScriptServices* services = GetScriptServices();
    services->ResetEventState();
    services->SetEventResultBool(true);
    services->FireScriptEvent(c.m_scriptObject, kFormEventOnValidate, false, 0);
    if (services->GetEventResultBool(true)) return true;
    const UINT type = services->GetEventMessageType();
    if (type != 0) {
        WString message = services->GetEventMessageText();
        if (message.empty())
            message = GetLanguageModule()->LoadString(IDS_FORM_VALIDATION_ERROR, true);
        const int answer = MessageBox(dx->m_hDlg, message.c_str(), AppTitle().c_str(), type);
        if ((type & 0xF) != 0 &&
            (answer == IDOK || answer == IDRETRY || answer == IDIGNORE || answer == IDYES))
            return true;
    }
    Prepare(dx, c);
    dx->Fail();
}

void CForm::ApplyDefaultValues() {
    if (!m_host) return;
    for (auto& page : m_pages)
        for (auto& cp : page->m_controls) {
            CFormControl& c = *cp;
            if (c.m_defaultValue.empty()) continue;
            VARIANT result;
            VariantInit(&result);
            if (!m_host->Evaluate(c.m_defaultValue.c_str(), &result)) {
                VariantClear(&result);
                continue;
            }
            VARIANT converted;
            VariantInit(&converted);
            const VARTYPE to = c.m_valueKind == kValueInteger  ? VT_I4
                               : c.m_valueKind == kValueDouble ? VT_R8
                               : c.m_valueKind == kValueDate   ? VT_DATE
                                                               : VT_BSTR;
            if (SUCCEEDED(VariantChangeType(&converted, &result, 0, to))) {
                switch (c.m_valueKind) {
                    case kValueInteger:
                        c.m_integer = converted.lVal;
                        break;
                    case kValueDouble:
                        c.m_number = converted.dblVal;
                        c.m_numberBlank = false;
                        break;
                    case kValueDate: {
                        SYSTEMTIME st{};
                        if (VariantTimeToSystemTime(converted.date, &st)) c.m_date = st;
                        break;
                    }
                    default:
                        c.m_text = converted.bstrVal ? WString(converted.bstrVal) : WString();
                        break;
                }
            }
            VariantClear(&converted);
            VariantClear(&result);
        }
}

void CForm::EnablePageControls(HWND pageWindow, int page, bool editable) {
    m_editable = editable;
    CFormPageDef* def = GetPage(page);
    if (!def) return;
    for (auto& cp : def->m_controls) {
        CFormControl& c = *cp;
        const bool writable = editable && !c.m_readOnly && !c.IsBoundReadOnly();
        HWND hwnd = c.m_hwnd ? c.m_hwnd : GetDlgItem(pageWindow, c.m_id);
        switch (c.m_type) {
            case kCtlLabel:
            case kCtlButton:
                break;
            case kCtlEdit:
                if (hwnd && ((GetWindowLong(hwnd, GWL_STYLE) & ES_READONLY) != 0) == writable)
                    SendMessage(hwnd, EM_SETREADONLY, writable ? FALSE : TRUE, 0);
                break;
            case kCtlSubTable:
                if (c.m_tableList) c.m_tableList->SetReadOnly(!writable);
                break;
            default:
                if (hwnd && (IsWindowEnabled(hwnd) != 0) != writable) EnableWindow(hwnd, writable);
                break;
        }
    }
}
