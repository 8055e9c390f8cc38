#include "shell/options/option_pages.h"

#include "shell/app/app_services.h"
#include "shell/options/options_sheet.h"

COptionPages::COptionPages(COptionsSheet& sheet, IAppExtensions* extensions)
    : m_sheet(sheet) {
    PreferencesData& d = sheet.Data();
    m_protocol = std::make_unique<CGpsProtocolPage>(d.gps, extensions);
    m_gps = std::make_unique<CGpsPortPage>(GetGpsPortSettings(), d);
    m_quality = std::make_unique<CQualityPage>(d.gps);
    m_capture = std::make_unique<CCapturePage>(d.gps);
    m_alerts = std::make_unique<CAlertsPage>();
    m_location = std::make_unique<CLocationPage>(d.location, d.display.units);
    m_display = std::make_unique<CDisplayPage>(d);
    m_fonts = std::make_unique<CFontsPage>(sheet);
    m_paths = std::make_unique<CPathsPage>(d.paths);
    m_ims = std::make_unique<COmbrixOptionsPage>(d.ims);
    m_locale = std::make_unique<CLocalePage>(d.locale);
    m_aux = std::make_unique<CAuxPortPage>(GetAuxPortSettings());
    m_extensions = std::make_unique<CExtensionsPage>(extensions);

    sheet.SetOptionPage(COptionsSheet::kProtocol, m_protocol.get());
    sheet.SetOptionPage(COptionsSheet::kGps, m_gps.get());
    sheet.SetOptionPage(COptionsSheet::kQuality, m_quality.get());
    sheet.SetOptionPage(COptionsSheet::kCapture, m_capture.get());
    sheet.SetOptionPage(COptionsSheet::kAlerts, m_alerts.get());
    sheet.SetOptionPage(COptionsSheet::kLocation, m_location.get());
    sheet.SetOptionPage(COptionsSheet::kDisplay, m_display.get());
    sheet.SetOptionPage(COptionsSheet::kFonts, m_fonts.get());
    sheet.SetOptionPage(COptionsSheet::kPaths, m_paths.get());
    sheet.SetOptionPage(COptionsSheet::kIms, m_ims.get());
    sheet.SetOptionPage(COptionsSheet::kLocale, m_locale.get());
    sheet.SetOptionPage(COptionsSheet::kAux, m_aux.get());
    sheet.SetOptionPage(COptionsSheet::kExtensions, m_extensions.get());
}

COptionPages::~COptionPages() {
    for (int i = 0; i < COptionsSheet::kPageCount; ++i)
        m_sheet.SetOptionPage(static_cast<COptionsSheet::Page>(i), nullptr);
}
