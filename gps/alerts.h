// The GPS alerts: seven fixed rows (no data, PDOP, EPE, no fix, not
// differential, not 3-D, approaching the destination), each raised as a
// small modal dialog that closes itself after five seconds, or only as a
// sound, as the user's alert settings say. At most one alert dialog shows
// at a time; an alert raised meanwhile is dropped, sound included.
#pragma once

#include <cstdint>

#include "core/dialog_ext.h"
#include "map/services/alert_settings.h"
#include "platform/gdi/owned.h"

namespace alert {
constexpr int kNoData = 0;
constexpr int kMaxPdop = 1;
constexpr int kMaxEpe = 2;
constexpr int kNoFix = 3;
constexpr int kNotDgps = 4;
constexpr int kNot3D = 5;
constexpr int kDestination = 6;
}  // namespace alert

struct AlertDef {
    int32_t key;
    const WChar* name;  // in the preferences file
    int32_t icon;       // icon resource, 0 for the dialog's own
    UINT caption;       // the alert's name on the options page
    UINT message;       // the dialog's text
    bool okButton;
};

// In key order.
extern const AlertDef kAlertTable[kAlertCount];
// The row of a key; null outside 0 to 6.
const AlertDef* FindAlert(int key);

// Raises one alert. Without a parent the main window owns the dialog. With
// the dialog switched off the notify window gets WM_COMMONDIALOG_CLOSED at
// once and the sound plays. A key without a row does nothing.
void RaiseAlert(HWND parent, int key, HWND notify);
// Runs the alert dialog: 0 at once while another alert dialog shows.
intptr_t ShowAlertDialog(HWND parent, const AlertDef& row, const AlertSettings& settings,
                         HWND notify);
bool IsAlertDialogShowing();
// Plays the row's sound file, or the beep of its icon when there is none or
// it cannot be played; nothing with the play flag off unless forced.
// Whether the sound file started.
bool PlayAlertSound(const AlertDef& row, const AlertSettings& settings, bool force);

// The control's font (the system font when it has none) with weight 900 and
// its height times the factor; the caller owns it. The GPS windows' bold
// texts.
HFONT CreateHeavyFont(HWND control, double heightFactor);

class CAlertDlg : public CDialogExt {
public:
    static constexpr uintptr_t kCloseTimer = 1;
    static constexpr UINT kAutoCloseMs = 5000;

    CAlertDlg(HWND parent, const AlertDef& row, const AlertSettings& settings, HWND notify);

    bool OnInitDialog() override;
    void OnOK() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The icon resource shown in the icon control.
    int GetIconId() const { return m_iconId; }
    HFONT GetTextFont() const { return m_textFont.get(); }

protected:
    void OnDestroy() override;

private:
    AlertDef m_row;
    AlertSettings m_settings;
    HWND m_notify;
    UINT m_autoCloseMs = kAutoCloseMs;
    int m_iconId = 0;
    gdi::OwnedFont m_textFont;
};
