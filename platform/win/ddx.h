// Dialog data exchange: moving values between a dialog's controls and
// variables, with the framework's validation prompts. A failed conversion or
// range check shows the prompt, puts the focus on the control (selecting an
// edit's text) and ends the exchange; the dialog stays open.
#pragma once

#include <exception>
#include <functional>

#include "platform/win/window.h"

// Thrown by CDataExchange::Fail; UpdateDialogData catches it.
class DataExchangeFailure : public std::exception {
public:
    const char* what() const noexcept override { return "dialog data exchange failed"; }
};

class CDataExchange {
public:
    CDataExchange(HWND dialog, bool saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_hDlg(dialog) {}

    bool m_bSaveAndValidate;
    HWND m_hDlg;
    HWND m_hWndLastControl = nullptr;
    bool m_bEditLastControl = false;

    // The control with this id, remembered as the one a failure focuses.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Focuses the last control and ends the exchange.
    [[noreturn]] void Fail();
};

void DDX_Text(CDataExchange* dx, int id, WString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDX_Text(CDataExchange* dx, int id, long& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// id is the first button of the group; value the 0-based checked index or -1.
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_CBString(CDataExchange* dx, int id, WString& value);
void DDX_CBStringExact(CDataExchange* dx, int id, WString& value);
void DDX_LBIndex(CDataExchange* dx, int id, int& index);
void DDX_LBString(CDataExchange* dx, int id, WString& value);

// Range and length checks of the value just exchanged (only while saving).
void DDV_MinMaxInt(CDataExchange* dx, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT minVal, UINT maxVal);
void DDV_MinMaxDouble(CDataExchange* dx, double value, double minVal, double maxVal);
void DDV_MaxChars(CDataExchange* dx, const WString& value, int count);

// Runs an exchange; false when it failed (prompted, focus on the control).
bool UpdateDialogData(HWND dialog, bool saveAndValidate,
                      const std::function<void(CDataExchange*)>& exchange);
