// The About box: the program's version, the device owner, the credits, the
// splash on the program icon and the two notification-LED tests.
#pragma once

#include "core/dialog_ext.h"
#include "platform/gdi/owned.h"

class CAboutDlg : public CDialogExt {
public:
    CAboutDlg();

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The texts the box shows (filled on initialisation).
    WString m_owner;
    WString m_organization;
    WString m_version;
    WString m_credits;

    // The LED test counters, program-wide.
    static int GetLedCounter(int led);
    static void ResetLedCountersForTests();

private:
    void OnLedClicked(int led);
    HICON m_icons[2] = {nullptr, nullptr};
    gdi::OwnedBitmap m_ledBitmap;
};

// The About command: the box, modal.
void ShowAboutDialog();
