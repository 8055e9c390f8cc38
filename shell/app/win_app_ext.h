// The program's extensions of the framework's application: the single
// instance, typed profile values, the help file path, the shell file types
// and the soft input panel's window class.
#pragma once

#include "platform/text/text.h"
#include "platform/types.h"
#include "platform/win/framework.h"
#include "shell/app/single_instance.h"

// Blanks and tabs, a decimal number, then only blanks and tabs. A result of
// zero counts only when the number is written with a leading "0" (after an
// optional sign), so an empty or non-numeric text fails. Never the locale.
bool ParseProfileDouble(const WChar* text, double& value);
// The value of the leading hexadecimal digits (0 when there are none).
DWORD ParseProfileHex(WStringView text);

class CWinAppExt : public win::App {
public:
    // The registry company key the profile lives under.
    static constexpr const WChar* kProfileCompany = u"QOVA";

    CWinAppExt();
    virtual ~CWinAppExt();

    static bool WriteProfileDouble(WStringView section, WStringView entry, double value);
    static double GetProfileDouble(WStringView section, WStringView entry, double def);
    static bool WriteProfileHex(WStringView section, WStringView entry, DWORD value);
    static DWORD GetProfileHex(WStringView section, WStringView entry, DWORD def);
    static bool WriteProfileColor(WStringView section, WStringView entry, COLORREF value);
    static COLORREF GetProfileColor(WStringView section, WStringView entry, COLORREF def);

    // The extension's key names the program key "Zarnip", whose default is
    // the description, whose open command runs this program on the file and
    // whose icon is the program's first. Only the registry store is touched.
    bool RegisterShellFileType(WStringView extension, WStringView description);

    void SetHelpFilePath(WStringView path) { m_helpFilePath = WString(path); }
    const WString& GetHelpFilePath() const { return m_helpFilePath; }

    // Without the shell's extra controls a "SIPPREF" class with the default
    // window procedure is registered, so that dialogs holding one still
    // load. True when either is there.
    static bool RegisterSipPref();

    CSingleInstance& GetSingleInstance() { return m_instance; }

protected:
    CSingleInstance m_instance;

private:
    WString m_helpFilePath;
};
