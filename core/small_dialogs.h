// The scrolling message dialog and the prompt box with its large bold text.
#pragma once

#include "core/dialog_ext.h"
#include "platform/gdi/owned.h"

class CMessageDlg : public CDialogExt {
public:
    CMessageDlg(HWND parent, WString text);
    bool OnInitDialog() override;

private:
    WString m_text;
};

// Shows a text (or a string of the program's table) in the message dialog.
void ShowMessage(HWND parent, UINT stringId);
void ShowMessage(HWND parent, const WString& text);

class CPromptDlg : public CDialogExt {
public:
    CPromptDlg(HWND parent, WString text);
    ~CPromptDlg() override;
    bool OnInitDialog() override;
    HFONT GetTextFont() const { return m_textFont.get(); }

protected:
    void OnDestroy() override;

private:
    WString m_text;
    gdi::OwnedFont m_textFont;
};

// The prompt box: IDOK or IDCANCEL.
int ShowPrompt(HWND parent, const WString& text);
