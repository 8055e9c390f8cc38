// The GPS position window: a small modeless dialog with the position in the
// chosen coordinate format, the height or depth, the fix mode, speed and
// course, one chosen accuracy value, distance and bearing to the Go To
// destination, and the satellite display. The texts come from a formatter
// that needs no window; the dialog shows them.
#pragma once

#include <memory>

#include "core/dialog_ext.h"
#include "crs/datum_table.h"
#include "crs/mgrs.h"
#include "crs/transverse_mercator.h"
#include "gps/sky_plot.h"
#include "map/services/gps.h"
#include "map/view/destination.h"
#include "platform/gdi/owned.h"

// Coordinate formats, in the menu's order.
enum class PositionFormat {
    MapProjection, Dms, Dmm, Dd, Utm, Wgs84Dms, Wgs84Dmm, Wgs84Dd, Mgrs, Count
};
// Accuracy values, in the menu's order.
enum class AccuracyKind { Pdop, Hdop, Vdop, Tdop, Hpe, Vpe, Epe, Sats, Dage, Dsid, Count };
// Height line, in the menu's order.
enum class HeightKind { AltitudeMetres, AltitudeFeet, DepthMetres, DepthFeet, Count };

// The window's choices; they last for the run, not in the preferences.
struct PositionChoices {
    PositionFormat format = PositionFormat::Dms;
    AccuracyKind accuracy = AccuracyKind::Pdop;
    HeightKind height = HeightKind::AltitudeMetres;
    bool magneticCourse = false;
};

// What one update shows.
struct PositionInput {
    const GpsPosition* position = nullptr;
    GpsFix wgs84;      // longitude, latitude, height on WGS 1984
    GpsFix datum;      // the same on the map's datum
    GpsFix projected;  // in the map's projection
    DatumTransformation mapDatum;
    const GoToDestination* destination = nullptr;  // null or not set: none
    int unitSystem = 0;                             // the display units preference
};

// The window title and the ten texts. Parts the record's update bits do
// not touch keep their previous texts.
struct PositionTexts {
    WString title;
    WString line1, line2, height, mode, speed, course, distance, bearing;
    WString accuracyLabel, accuracy;
};

// Position record update bits the window reads.
namespace position_bits {
constexpr uint32_t kPosition = 0x1;
constexpr uint32_t kMode = 0x2;
constexpr uint32_t kDop = 0x4;
constexpr uint32_t kError = 0x8;
constexpr uint32_t kSatellites = 0x10;
constexpr uint32_t kVelocity = 0x80;
}  // namespace position_bits

class CPositionFormatter {
public:
    // Updates the texts the record's update bits name; the destination
    // lines always.
    void Format(const PositionInput& in, const PositionChoices& choices, PositionTexts& texts);
    // The zone the UTM lines were last made in (0 before any).
    int GetUtmZone() const { return m_utm.m_utmZone; }

    static WString FormatTitle(PositionFormat format);
    static WString AccuracyLabel(AccuracyKind kind);
    static WString CourseLabel(bool magnetic) { return magnetic ? u"MCOG" : u"TCOG"; }

private:
    void FormatPosition(const PositionInput& in, const PositionChoices& choices, PositionTexts& texts);

    CTransverseMercator m_utm;
    DatumTransformation m_utmDatum;
    CMGRSConverter m_mgrs;
};

class CGpsPositionDlg : public CDialogExt {
public:
    // The choices are the owner's and outlive the window.
    CGpsPositionDlg(HWND parent, PositionChoices& choices);
    ~CGpsPositionDlg() override;

    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;

    bool IsOpen() const { return GetSafeHwnd() != nullptr; }
    // Shows the receiver's record in the map's system; nothing while the
    // window does not exist.
    void UpdateStatus(CCoordSys* mapCoordSys, IGps* gps, const GoToDestination* destination);
    // Shows a finished input (the receiver-free half of UpdateStatus).
    void Show(const PositionInput& in);

    PositionChoices& Choices() { return m_choices; }
    const PositionTexts& Texts() const { return m_texts; }
    CSkyPlotCtrl& SkyPlot() { return m_skyPlot; }
    HFONT GetBoldFont() const { return m_boldFont.get(); }

protected:
    void OnDestroy() override;

private:
    // Pops up menu `index` of the window's menus with `current` ticked; the
    // chosen position, or -1 when dismissed.
    int ChooseFromMenu(int index, int current);
    // The same for a kind with a Count: true and refreshed when chosen.
    template <typename Kind>
    bool ChooseKind(int menu, Kind& value);
    void OnCoordinateMenu();
    void OnHeightMenu();
    void OnCourseMenu();
    void OnAccuracyMenu();
    // Shows the last input again with every part refreshed.
    void Refresh();
    void ShowTexts();

    PositionChoices& m_choices;
    PositionTexts m_texts;
    CPositionFormatter m_formatter;
    CSkyPlotCtrl m_skyPlot;
    gdi::OwnedFont m_boldFont;
    // The last input, kept for a refresh after a menu choice.
    GpsPosition m_lastPosition{};
    PositionInput m_lastInput;
    GoToDestination m_lastDestination;
    bool m_hasInput = false;
};

// The receiver's position window: the choices for the run and the window
// while it exists.
class CGpsPositionWindow {
public:
    ~CGpsPositionWindow();
    // Creates the window when it does not exist; true when it exists.
    bool Show(HWND parent);
    // Destroys the window when it exists.
    void Close();
    bool IsOpen() const { return m_dialog && m_dialog->IsOpen(); }
    void UpdateStatus(CCoordSys* mapCoordSys, IGps* gps, const GoToDestination* destination) {
        if (IsOpen()) m_dialog->UpdateStatus(mapCoordSys, gps, destination);
    }
    // Null while the window does not exist.
    CGpsPositionDlg* Dialog() { return IsOpen() ? m_dialog.get() : nullptr; }
    PositionChoices& Choices() { return m_choices; }

private:
    PositionChoices m_choices;
    std::unique_ptr<CGpsPositionDlg> m_dialog;
};

inline bool ShowGpsPositionWindow(CGpsPositionWindow& window, HWND parent) {
    return window.Show(parent);
}
