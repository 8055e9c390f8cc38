// The Script window: the user types, loads and saves script text and runs
// it in the window's own engine, which sees the system objects. Every run
// adds to the same engine until the window closes; nothing of it outlives
// the window.
#pragma once

#include <memory>

#include "core/dialog_ext.h"
#include "platform/gdi/owned.h"
#include "platform/win/controls.h"

class CScriptHost;

class CScriptDlg : public CDialogExt {
public:
    static constexpr const WChar* kFilter =
        u"Scripts (*.txt;*.vbs)|*.txt;*.vbs|Text Files (*.txt)|*.txt|VBScript Files (*.vbs)|*.vbs|All Files|*.*||";

    explicit CScriptDlg(HWND parent = nullptr);
    ~CScriptDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Runs the text; the window stays open.
    void OnOK() override;

    void OnLoad();
    void OnSave();

    // The window's host (tests).
    CScriptHost* GetHost() const { return m_host.get(); }
    const WString& GetPath() const { return m_path; }

protected:
    void OnDestroy() override;

private:
    bool DrawButton(const DRAWITEMSTRUCT* item);

    WString m_text;
    WString m_path;
    std::unique_ptr<CScriptHost> m_host;
    gdi::OwnedFont m_editFont;
    // Load, save and run, each normal, selected, focused and disabled.
    gdi::OwnedBitmap m_pictures[3][4];
};
