// Small services between the program and the handheld platform: the device
// owner, the platform type, notification LEDs, the optional shell functions,
// special folders, and opening files, addresses and sounds.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/text/text.h"
#include "platform/types.h"

// Owner record: the binary value "Owner" under "ControlPanel\Owner" of the
// current user, read into 556 bytes; the name is the text at its start, the
// second text starts at byte 66. Empty when the value is missing.
WString GetOwnerName();
WString GetOwnerText2();

// Platform type (system parameter 257).
bool IsPocketPC();    // "PALM PC2" or "PocketPC", without regard to case
bool IsPalmPC();      // "PALM PC"
bool HasAssetView();  // a Pocket PC with \Windows\AssetView.exe
uint32_t GetPlatformId();

// Notification LEDs through the platform's optional LED functions; none when
// they are missing.
int GetLedCount();
void SetLed(int number, int offOnBlink, int totalCycleTime, int onTime, int offTime,
            int metaCycleOn, int metaCycleOff);

// The optional shell functions; each returns 0 and does nothing when the
// platform lacks it.
int SipPreference(HWND window, int request);
int InitExtraControls();
bool HasExtraControls();
int SetAppKeyWndAssoc(BYTE key, HWND window);
int SetNavBarText(HWND window, const WChar* text);

// Special folders: 5 is the documents folder ("\My Documents" when the
// desktop gives none); 10 and 21 answer an empty text; other ids leave
// `path` unchanged.
constexpr int kFolderPersonal = 5;
constexpr int kFolderRecycleBin = 10;
constexpr int kFolderTemplates = 21;
void GetSpecialFolder(HWND window, int folderId, WString& path);
WString GetSpecialFolderPath(HWND window, int folderId);
void GetSpecialFolderPath(WString& path, HWND window, int folderId);
// "\Temp\".
WString GetTempFolder();

// Opens a file (device path) or an address with the desktop's opener. On
// failure reports message 8004 "Error executing '%1'" with the path and
// returns 0; 1 on success.
constexpr unsigned kIdsErrorExecuting = 8004;
int ShellExecuteFile(HWND window, const WChar* path);
// Writes "[InternetShortcut]" and "URL=<address>" (CR LF lines, the ANSI code
// page) to the temporary folder as `fileName` (default "Temporary.url") and
// opens the address. CR and LF in the address are dropped; characters the
// code page lacks become '?' in the file. No error message; 0 on failure.
int OpenUrlShortcut(HWND window, const WChar* url, const WChar* fileName);
// Starts playing a wave file (device path) without stopping a running sound
// and without a default sound when it is missing.
bool PlaySoundFile(const WChar* path);

// Where ShellExecuteFile's error goes: the application shell installs one
// that loads the message from the language module and shows an error box.
// The default writes the English text to stderr. Null restores the default.
using ShellErrorReporter =
    std::function<void(HWND owner, unsigned messageId, const WString& insert)>;
void SetShellErrorReporter(ShellErrorReporter reporter);

class CShellHelper {
public:
    virtual ~CShellHelper() = default;
};
