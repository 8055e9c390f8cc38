#include "gps/position_window.h"

#include <cmath>

#include "core/stylus.h"
#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/coord_text.h"
#include "crs/unit_text.h"
#include "gps/alerts.h"
#include "map/services/preferences.h"
#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/menu.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

namespace {

bool HasData(double v) { return std::isfinite(v) && !IsNoData(v); }

// A finite value truncated toward zero, as a whole number ("-0" never
// shows). Never through an integer cast: the value may be out of range.
WString Whole(double v) { return text::Format(u"%.0f", std::trunc(v) + 0.0); }

// A projected pair: whole numbers below DGPS quality, one decimal from it.
void FormatProjected(double x, double y, int quality, PositionTexts& texts) {
    if (!HasData(x) || !HasData(y)) {
        texts.line1 = texts.line2 = u"N/A";
        return;
    }
    if (quality < 2) {
        texts.line1 = Whole(x) + u"E";
        texts.line2 = Whole(y) + u"N";
    } else {
        texts.line1 = text::Format(u"%.1fE", x);
        texts.line2 = text::Format(u"%.1fN", y);
    }
}

// An angle in degrees brought into 0 to 359 and truncated.
WString Degrees(double v) {
    double d = std::fmod(v, 360.0);
    if (d < 0) d += 360.0;
    d = std::trunc(d);
    if (d >= 360.0) d = 0;
    return Whole(d) + u"°";
}

const WChar* const kTitles[] = {u"Map Projection", u"DMS",       u"DMM",       u"DD", u"UTM",
                                u"WGS84 DMS",      u"WGS84 DMM", u"WGS84 DD", u"MGRS"};
const WChar* const kAccuracyLabels[] = {u"PDOP", u"HDOP", u"VDOP", u"TDOP", u"HPE",
                                        u"VPE",  u"EPE",  u"SATS", u"DAGE", u"DSID"};

}  // namespace

WString CPositionFormatter::FormatTitle(PositionFormat format) {
    const int i = static_cast<int>(format);
    return i >= 0 && i < static_cast<int>(PositionFormat::Count) ? kTitles[i] : u"";
}

WString CPositionFormatter::AccuracyLabel(AccuracyKind kind) {
    const int i = static_cast<int>(kind);
    return i >= 0 && i < static_cast<int>(AccuracyKind::Count) ? kAccuracyLabels[i] : u"";
}

void CPositionFormatter::FormatPosition(const PositionInput& in, const PositionChoices& choices,
                                        PositionTexts& texts) {
    const GpsPosition& p = *in.position;
    const PositionFormat format = choices.format;
    if (format != PositionFormat::Utm) texts.title = FormatTitle(format);
    const bool wgs84 = format == PositionFormat::Wgs84Dms || format == PositionFormat::Wgs84Dmm ||
                       format == PositionFormat::Wgs84Dd;
    const GpsFix& geo = wgs84 ? in.wgs84 : in.datum;
    const bool geoKnown = HasData(geo.x) && HasData(geo.y);
    switch (format) {
        case PositionFormat::MapProjection:
            FormatProjected(in.projected.x, in.projected.y, p.fixQuality, texts);
            break;
        case PositionFormat::Dms:
        case PositionFormat::Wgs84Dms:
            texts.line1 = geoKnown ? FormatDms(geo.y, true) : WString(u"N/A");
            texts.line2 = geoKnown ? FormatDms(geo.x, false) : WString(u"N/A");
            break;
        case PositionFormat::Dmm:
        case PositionFormat::Wgs84Dmm:
            texts.line1 = geoKnown ? FormatDmm(geo.y, true) : WString(u"N/A");
            texts.line2 = geoKnown ? FormatDmm(geo.x, false) : WString(u"N/A");
            break;
        case PositionFormat::Dd:
        case PositionFormat::Wgs84Dd:
            texts.line1 = geoKnown ? text::Format(u"%13.8f°", geo.y) : WString(u"N/A");
            texts.line2 = geoKnown ? text::Format(u"%13.8f°", geo.x) : WString(u"N/A");
            break;
        case PositionFormat::Utm: {
            if (!geoKnown) {
                texts.line1 = texts.line2 = u"N/A";
                break;
            }
            const int zone = UtmZoneFromLongitude(geo.x, geo.y);
            // A new zone, or a map on another datum, re-makes the system.
            if (zone != m_utm.m_utmZone || !(in.mapDatum == m_utmDatum)) {
                m_utmDatum = in.mapDatum;
                m_utm.SetDatum(in.mapDatum);
                m_utm.m_utmZone = 0;  // SetUtmZone sets up the new datum too
                m_utm.SetUtmZone(zone);
            }
            texts.title = text::Format(u"UTM Zone %d%c", std::abs(zone), zone < 1 ? 'S' : 'N');
            double x, y;
            m_utm.GeographicToProjected(geo.x, geo.y, &x, &y);
            FormatProjected(x, y, p.fixQuality, texts);
            break;
        }
        case PositionFormat::Mgrs:
        default: {
            WString reference = geoKnown ? m_mgrs.Format(geo.x, geo.y, in.mapDatum) : WString();
            texts.line1 = reference.empty() ? WString(u"N/A") : reference;
            texts.line2.clear();
            break;
        }
    }

    // Height or depth, truncated; "N/A" without a value.
    const bool depth = choices.height == HeightKind::DepthMetres || choices.height == HeightKind::DepthFeet;
    const bool feet = choices.height == HeightKind::AltitudeFeet || choices.height == HeightKind::DepthFeet;
    double h = depth ? p.depth : in.datum.z;
    if (!HasData(h)) {
        texts.height = u"N/A";
    } else {
        if (feet) h /= GetUnitFactor(9002);
        texts.height = Whole(h) + (feet ? u"ft" : u"m");
    }
}

void CPositionFormatter::Format(const PositionInput& in, const PositionChoices& choices,
                                PositionTexts& texts) {
    if (!in.position) return;
    const GpsPosition& p = *in.position;
    const uint32_t bits = p.updateBits;
    using namespace position_bits;

    if (bits & kPosition) FormatPosition(in, choices, texts);

    if (bits & (kDop | kError)) {
        texts.accuracyLabel = AccuracyLabel(choices.accuracy);
        auto one = [](double v) { return HasData(v) ? text::Format(u"%.1f", v) : WString(u"N/A"); };
        auto metres = [](double v) { return HasData(v) ? text::Format(u"%.1f%c", v, 'm') : WString(u"N/A"); };
        switch (choices.accuracy) {
            case AccuracyKind::Pdop: texts.accuracy = one(p.pdop); break;
            case AccuracyKind::Hdop: texts.accuracy = one(p.hdop); break;
            case AccuracyKind::Vdop: texts.accuracy = one(p.vdop); break;
            case AccuracyKind::Tdop: texts.accuracy = one(p.tdop); break;
            case AccuracyKind::Hpe: texts.accuracy = metres(p.hpe); break;
            case AccuracyKind::Vpe: texts.accuracy = metres(p.vpe); break;
            case AccuracyKind::Epe: texts.accuracy = metres(p.epe); break;
            case AccuracyKind::Sats:
                texts.accuracy = p.satellitesUsed == 0xFFFE
                                     ? WString(u"N/A")
                                     : text::Format(u"%d/%d", int(p.satellitesUsed), int(p.satellitesInView));
                break;
            case AccuracyKind::Dage:
                texts.accuracy = p.fixQuality == 2 ? text::Format(u"%d", p.dgpsAge) : WString();
                break;
            case AccuracyKind::Dsid:
            default:
                texts.accuracy = p.fixQuality == 2 ? text::Format(u"%04d", p.dgpsStation) : WString();
                break;
        }
    }

    if (bits & kMode) {
        const int dimension = (p.modeBits & 1) ? 3 : 2;
        switch (p.fixQuality) {
            case 0: texts.mode = u"NOFIX"; break;
            case 1: texts.mode = text::Format(u"%dD", dimension); break;
            case 2: texts.mode = text::Format(u"DGPS %dD", dimension); break;
            case 3: texts.mode = text::Format(u"PPS %dD", dimension); break;
            default: texts.mode = text::Format(u"Qual%d %dD", int(p.fixQuality), dimension); break;
        }
    }

    if (bits & kVelocity) {
        if (HasData(p.sog)) {
            double v = p.sog;
            const WChar* label = ScaleSpeedForDisplay(in.unitSystem, crs_code::kKilometerPerHour, &v);
            texts.speed = v < 10 ? text::Format(u"%.1f%s", v, label) : Whole(v) + label;
        } else {
            texts.speed.clear();
        }
        // The magnetic course needs the variation as well.
        const bool known = HasData(p.cog) && (!choices.magneticCourse || HasData(p.magneticVariation));
        const double course = choices.magneticCourse ? p.cog - p.magneticVariation : p.cog;
        texts.course = known ? Degrees(course) : WString();
    }

    const GoToDestination* d = in.destination;
    if (d && d->set) {
        double distance = d->distance;
        if (HasData(distance)) {
            const WChar* label = ScaleDistanceForDisplay(in.unitSystem, 9001, &distance);
            texts.distance = text::Format(u"%.1f%s", distance, label);
        } else {
            texts.distance.clear();
        }
        texts.bearing = HasData(d->bearing) ? Degrees(d->bearing) : WString();
    } else {
        texts.distance.clear();
        texts.bearing.clear();
    }
}

// ---- the window ----

CGpsPositionDlg::CGpsPositionDlg(HWND parent, PositionChoices& choices)
    : CDialogExt(IDD_GPS_POSITION, parent), m_choices(choices) {}

CGpsPositionDlg::~CGpsPositionDlg() = default;

bool CGpsPositionDlg::OnInitDialog() {
    const bool result = CDialogExt::OnInitDialog();
    UseCaptionButtons(true, false);
    m_boldFont.reset(CreateHeavyFont(GetDlgItem(IDC_POSITION_LINE1), 1.1));
    if (m_boldFont) {
        for (int id : {IDC_POSITION_LINE1, IDC_POSITION_LINE2})
            SendMessage(GetDlgItem(id), WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.get()), 1);
    }
    m_skyPlot.Attach(GetDlgItem(IDC_POSITION_SKY));
    m_texts.accuracyLabel = CPositionFormatter::AccuracyLabel(m_choices.accuracy);
    ShowTexts();
    return result;
}

void CGpsPositionDlg::OnDestroy() {
    m_skyPlot.Detach();
    CDialogExt::OnDestroy();
    m_boldFont.reset();
}

void CGpsPositionDlg::OnOK() { DestroyWindow(); }
void CGpsPositionDlg::OnCancel() { DestroyWindow(); }

bool CGpsPositionDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == STN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDC_POSITION_LINE1:
            case IDC_POSITION_LINE2:
                OnCoordinateMenu();
                return true;
            case IDC_POSITION_HEIGHT:
                OnHeightMenu();
                return true;
            case IDC_POSITION_COURSE_LABEL:
            case IDC_POSITION_COURSE:
                OnCourseMenu();
                return true;
            case IDC_POSITION_ACCURACY_LABEL:
            case IDC_POSITION_ACCURACY:
                OnAccuracyMenu();
                return true;
            default:
                break;
        }
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

int CGpsPositionDlg::ChooseFromMenu(int index, int current) {
    HMENU menus = LoadMenu(nullptr, MAKEINTRESOURCE(IDR_POSITION_MENUS));
    if (!menus) return -1;
    HMENU menu = GetSubMenu(menus, index);
    int chosen = -1;
    if (menu) {
        CheckMenuItem(menu, static_cast<UINT>(current), MF_BYPOSITION | MF_CHECKED);
        const POINT at = GetLastStylusPoint();
        const UINT command = static_cast<UINT>(
            TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RETURNCMD, at.x, at.y, 0, GetSafeHwnd(), nullptr));
        // Items carry their position + 1.
        if (command > 0) chosen = static_cast<int>(command) - 1;
    }
    DestroyMenu(menus);
    return chosen;
}

template <typename Kind>
bool CGpsPositionDlg::ChooseKind(int menu, Kind& value) {
    const int chosen = ChooseFromMenu(menu, static_cast<int>(value));
    if (chosen < 0 || chosen >= static_cast<int>(Kind::Count)) return false;
    value = static_cast<Kind>(chosen);
    Refresh();
    return true;
}

void CGpsPositionDlg::OnCoordinateMenu() { ChooseKind(0, m_choices.format); }

void CGpsPositionDlg::OnHeightMenu() { ChooseKind(1, m_choices.height); }

void CGpsPositionDlg::OnCourseMenu() {
    const int chosen = ChooseFromMenu(2, m_choices.magneticCourse ? 1 : 0);
    if (chosen < 0 || chosen > 1) return;
    m_choices.magneticCourse = chosen == 1;
    Refresh();
    InvalidateRect(m_skyPlot.GetSafeHwnd(), nullptr, false);
}

void CGpsPositionDlg::OnAccuracyMenu() { ChooseKind(3, m_choices.accuracy); }

void CGpsPositionDlg::Refresh() {
    m_texts.accuracyLabel = CPositionFormatter::AccuracyLabel(m_choices.accuracy);
    if (m_hasInput) {
        GpsPosition all = m_lastPosition;
        all.updateBits = 0xFFFFFFFF;
        PositionInput in = m_lastInput;
        in.position = &all;
        in.destination = &m_lastDestination;
        m_formatter.Format(in, m_choices, m_texts);
    }
    ShowTexts();
}

void CGpsPositionDlg::Show(const PositionInput& in) {
    if (!IsOpen() || !in.position) return;
    m_lastPosition = *in.position;
    m_lastInput = in;
    m_lastInput.position = nullptr;
    m_lastDestination = in.destination ? *in.destination : GoToDestination{};
    m_lastInput.destination = nullptr;
    m_hasInput = true;

    m_skyPlot.SetData(*in.position, m_lastDestination);
    if (m_skyPlot.GetMode() == CSkyPlotCtrl::kCourseDial ||
        (in.position->updateBits & position_bits::kSatellites))
        InvalidateRect(m_skyPlot.GetSafeHwnd(), nullptr, false);
    m_formatter.Format(in, m_choices, m_texts);
    ShowTexts();
}

void CGpsPositionDlg::UpdateStatus(CCoordSys* mapCoordSys, IGps* gps,
                                   const GoToDestination* destination) {
    if (!IsOpen() || !gps) return;
    PositionInput in;
    in.position = &gps->Position();
    in.wgs84 = gps->GetWgs84Fix();
    in.datum = gps->GetDatumFix();
    in.projected = gps->GetProjectedFix();
    if (mapCoordSys) in.mapDatum = mapCoordSys->m_datum;
    in.destination = destination;
    in.unitSystem = GetPreferences()->Data().display.units;
    Show(in);
}

void CGpsPositionDlg::ShowTexts() {
    HWND h = GetSafeHwnd();
    if (!h) return;
    if (!m_texts.title.empty()) SetWindowText(h, m_texts.title.c_str());
    const struct {
        int id;
        const WString& text;
    } items[] = {
        {IDC_POSITION_LINE1, m_texts.line1},       {IDC_POSITION_LINE2, m_texts.line2},
        {IDC_POSITION_HEIGHT, m_texts.height},     {IDC_POSITION_MODE, m_texts.mode},
        {IDC_POSITION_SOG, m_texts.speed},         {IDC_POSITION_COURSE, m_texts.course},
        {IDC_POSITION_DST, m_texts.distance},      {IDC_POSITION_BRG, m_texts.bearing},
        {IDC_POSITION_ACCURACY_LABEL, m_texts.accuracyLabel},
        {IDC_POSITION_ACCURACY, m_texts.accuracy},
    };
    for (const auto& item : items) SetWindowText(GetDlgItem(item.id), item.text.c_str());
    SetWindowText(GetDlgItem(IDC_POSITION_COURSE_LABEL),
                  CPositionFormatter::CourseLabel(m_choices.magneticCourse).c_str());
}

// ---- the owner ----

CGpsPositionWindow::~CGpsPositionWindow() { Close(); }

bool CGpsPositionWindow::Show(HWND parent) {
    if (IsOpen()) return true;
    m_dialog = std::make_unique<CGpsPositionDlg>(parent, m_choices);
    if (!m_dialog->Create()) {
        m_dialog.reset();
        return false;
    }
    ShowWindow(m_dialog->GetSafeHwnd(), SW_SHOW);
    return true;
}

void CGpsPositionWindow::Close() {
    if (IsOpen()) m_dialog->DestroyWindow();
    m_dialog.reset();
}
