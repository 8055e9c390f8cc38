// The application object's members that need no main window: the
// configuration file from loading to freeing, the global script host and
// the report of configuration problems.
#pragma once

#include <functional>
#include <memory>

#include "core/config_xml_file.h"
#include "map/services/script_events.h"
#include "shell/app/win_app_ext.h"
#include "shell/config/configuration.h"
#include "shell/options/options_sheet.h"

class CMapApp : public CWinAppExt {
public:
    static constexpr const WChar* kConfigFileName = u"Zarnip.znx";

    CMapApp();
    ~CMapApp() override;

    // Makes the one preferences object (defaults, then the file) and
    // installs it for every reader; kept until the application ends.
    COptionsSheet* CreatePreferences();
    COptionsSheet* GetOptions() const { return m_options.get(); }

    // A path without a folder is taken in the program folder. A missing
    // file is normal; an unreadable one, one that is not XML or one with
    // another root leaves no configuration and a line in the report.
    bool LoadConfiguration(WStringView path);
    // False when there is no configuration to apply (the script host is
    // then made with no root).
    bool ApplyConfiguration();
    void CreateScriptHost(const CXmlNode* root);
    void FreeConfiguration();
    // Binds the event attributes of each child of the element's
    // SYSTEMOBJECTS to the named item of the child's name.
    static bool LoadSystemObjects(IScriptHost* host, const CXmlNode* element);

    CConfigXmlFile* GetConfiguration() const { return m_config.get(); }
    IScriptHost* GetScriptHost() const { return m_scriptHost.get(); }
    CConfigurationReport& GetConfigurationReport() { return m_report; }

    // The main window and the forms, set before applying.
    IConfigFrame* m_frame = nullptr;
    IConfigForms* m_forms = nullptr;
    // Registers the system objects with the global host once its engine
    // has started.
    std::function<void(IScriptHost*)> m_registerSystemObjects;

private:
    std::unique_ptr<COptionsSheet> m_options;
    std::unique_ptr<CConfigXmlFile> m_config;
    std::unique_ptr<IScriptHost> m_scriptHost;
    CConfigurationReport m_report;
};

// The process's application object, when one exists.
CMapApp* GetMapApp();
