// The pages of the Options sheet, made together and kept as long as the
// sheet: each is handed to the sheet in tab order.
#pragma once

#include <memory>

#include "shell/options/display_pages.h"
#include "shell/options/gps_pages.h"

class COptionsSheet;
class IAppExtensions;

class COptionPages {
public:
    // `extensions` (may be null) lists the loaded modules for the Protocol
    // and Extensions pages.
    COptionPages(COptionsSheet& sheet, IAppExtensions* extensions);
    ~COptionPages();
    COptionPages(const COptionPages&) = delete;
    COptionPages& operator=(const COptionPages&) = delete;

    CGpsProtocolPage& Protocol() { return *m_protocol; }
    CGpsPortPage& Gps() { return *m_gps; }
    CQualityPage& Quality() { return *m_quality; }
    CCapturePage& Capture() { return *m_capture; }
    CAlertsPage& Alerts() { return *m_alerts; }
    CLocationPage& Location() { return *m_location; }
    CDisplayPage& Display() { return *m_display; }
    CFontsPage& Fonts() { return *m_fonts; }
    CPathsPage& Paths() { return *m_paths; }
    COmbrixOptionsPage& Ims() { return *m_ims; }
    CLocalePage& Locale() { return *m_locale; }
    CAuxPortPage& Aux() { return *m_aux; }
    CExtensionsPage& Extensions() { return *m_extensions; }

private:
    COptionsSheet& m_sheet;
    std::unique_ptr<CGpsProtocolPage> m_protocol;
    std::unique_ptr<CGpsPortPage> m_gps;
    std::unique_ptr<CQualityPage> m_quality;
    std::unique_ptr<CCapturePage> m_capture;
    std::unique_ptr<CAlertsPage> m_alerts;
    std::unique_ptr<CLocationPage> m_location;
    std::unique_ptr<CDisplayPage> m_display;
    std::unique_ptr<CFontsPage> m_fonts;
    std::unique_ptr<CPathsPage> m_paths;
    std::unique_ptr<COmbrixOptionsPage> m_ims;
    std::unique_ptr<CLocalePage> m_locale;
    std::unique_ptr<CAuxPortPage> m_aux;
    std::unique_ptr<CExtensionsPage> m_extensions;
};
