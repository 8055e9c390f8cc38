// The view's Set View Coordinates dialog (a new centre or a new extent,
// kept in step as the edits are left) and its Set Map Scale dialog (a new
// scale denominator).
#pragma once

#include "core/dialog_ext.h"
#include "core/double_rect.h"

class CViewCoordsDlg : public CDialogExt {
public:
    // `geographic`: the six values are longitudes and latitudes in DMS.
    CViewCoordsDlg(const CDoubleRect& extent, bool geographic, HWND parent = nullptr);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;

    // The extent the dialog ends with (not normalised).
    CDoubleRect Extent() const { return CDoubleRect(m_xmin, m_ymin, m_xmax, m_ymax); }

    double m_xmax = 0;
    double m_ymax = 0;
    double m_xmin = 0;
    double m_ymin = 0;
    double m_centerX = 0;
    double m_centerY = 0;
    // True: the centre applies; false: the extent.
    bool m_centerMode = false;

private:
    void SetMode(bool center);
    void CenterFromExtent();
    bool m_geographic;
    bool m_closing = false;
};

class CMapScaleDlg : public CDialogExt {
public:
    explicit CMapScaleDlg(double scale, HWND parent = nullptr);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;

    double m_scale;
};

// Runs the scale dialog on `scale`; true on OK with the typed value in it.
bool RunMapScaleDialog(HWND owner, double& scale);
