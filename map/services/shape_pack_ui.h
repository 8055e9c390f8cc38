// The shapefile pack's user interface in the program: message boxes, beeps
// and the progress window through the platform.
#pragma once

#include <memory>

#include "formats/shape/shape_pack.h"

class CProgressWnd;

// Message boxes, beeps and the progress window through the platform, owned
// by `owner` (the main window when none); the texts come from the string
// table through the language module.
class CPlatformPackUi : public IPackUi {
public:
    explicit CPlatformPackUi(HWND owner = nullptr);
    ~CPlatformPackUi() override;
    int MessageBox(const WString& text, UINT type) override;
    void BeginProgress(const WString& title, int range, int step, const WString& status) override;
    bool StepProgress() override;
    void EndProgress() override;
    void Beep(UINT type) override;
    WString LoadString(UINT id) override;
    CProgressWnd* GetProgressWnd() const { return m_progress.get(); }

private:
    HWND m_owner;
    std::unique_ptr<CProgressWnd> m_progress;
};
