// The System Information window: a list of report lines about the device,
// filling the dialog and stretching with it.
#pragma once

#include <memory>

#include "core/dialog_ext.h"
#include "shell/app/system_info.h"

class CSystemInfoDlg : public CDialogExt {
public:
    // `provider` null: the running system.
    explicit CSystemInfoDlg(HWND parent, std::unique_ptr<ISystemInfoProvider> provider = nullptr);

    bool OnInitDialog() override;

    // Tests give the window their own facts.
    static void SetProviderFactoryForTests(std::unique_ptr<ISystemInfoProvider> (*factory)());

private:
    std::unique_ptr<ISystemInfoProvider> m_provider;
};
