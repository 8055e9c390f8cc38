// The Measurement Information dialog: the seven texts of a measurement
// (locations, distances, bearings, area), read-only, closed from its
// caption. Kind 0 is a line; above 0 the length along is a perimeter, and
// kind 2 (a radius measurement) shows the direct distance as the radius.
#pragma once

#include "core/dialog_ext.h"

// The texts of a measurement, as the map view writes them.
struct MeasureTexts {
    WString area, forwardAzimuth, backAzimuth, length, distance, from, to;
    int kind = 0;
};

class CMeasureInfoDlg : public CDialogExt {
public:
    explicit CMeasureInfoDlg(HWND parent = nullptr);
    bool OnInitDialog() override;

    WString m_area;
    WString m_forwardAzimuth;
    WString m_backAzimuth;
    WString m_length;
    WString m_distance;
    WString m_from;
    WString m_to;
    int m_kind = 0;
};

// Runs the dialog over the view on the texts a measurement gave.
void RunMeasureInfoDialog(HWND owner, const MeasureTexts& texts);
