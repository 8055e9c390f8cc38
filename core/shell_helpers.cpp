#include "core/shell_helpers.h"

#include <cstdio>
#include <mutex>
#include <vector>

#include "core/path.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/sys/device.h"
#include "platform/sys/registry.h"
#include "platform/sys/shell.h"

namespace {

constexpr size_t kOwnerRecordSize = 556;
constexpr size_t kOwnerText2Offset = 66;

// A NUL-terminated UTF-16LE text at `offset`, never read past the record.
WString RecordText(const std::vector<uint8_t>& record, size_t offset) {
    WString out;
    for (size_t i = offset; i + 1 < record.size(); i += 2) {
        WChar c = static_cast<WChar>(record[i] | (record[i + 1] << 8));
        if (c == 0) break;
        out += c;
    }
    return out;
}

std::vector<uint8_t> OwnerRecord() {
    sys::RegValue v;
    if (!sys::RegQueryValue(sys::Hive::CurrentUser, u"ControlPanel\\Owner", u"Owner", &v) ||
        v.type != sys::kRegBinary)
        return {};
    v.bytes.resize(kOwnerRecordSize, 0);
    return v.bytes;
}

template <typename F>
F Optional(const char* library, const char* name) {
    return reinterpret_cast<F>(sys::GetOptionalFunction(library, name));
}

constexpr const char* kShellLibrary = "aygshell.dll";
constexpr const char* kCoreLibrary = "coredll.dll";

std::mutex g_reporterMutex;
ShellErrorReporter g_reporter;

void ReportError(HWND owner, unsigned id, const WString& insert) {
    ShellErrorReporter reporter;
    {
        std::lock_guard<std::mutex> lock(g_reporterMutex);
        reporter = g_reporter;
    }
    if (reporter) {
        reporter(owner, id, insert);
        return;
    }
    std::fprintf(stderr, "Error executing '%s'\n", text::ToUtf8(insert).c_str());
}

// "scheme:" of two or more letters: an address, not a device path.
bool IsAddress(WStringView s) {
    size_t colon = s.find(u':');
    if (colon == WStringView::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i) {
        WChar c = s[i];
        bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && !(i > 0 && other)) return false;
    }
    return true;
}

}  // namespace

WString GetOwnerName() {
    auto record = OwnerRecord();
    return record.empty() ? WString() : RecordText(record, 0);
}

WString GetOwnerText2() {
    auto record = OwnerRecord();
    return record.empty() ? WString() : RecordText(record, kOwnerText2Offset);
}

bool IsPocketPC() {
    WString type = sys::GetPlatformType();
    return text::EqualsNoCase(type, u"PALM PC2") || text::EqualsNoCase(type, u"PocketPC");
}

bool IsPalmPC() {
    return text::EqualsNoCase(sys::GetPlatformType(), u"PALM PC");
}

bool HasAssetView() {
    return IsPocketPC() && FileExists(u"\\Windows\\AssetView.exe");
}

uint32_t GetPlatformId() {
    return sys::GetPlatformId();
}

int GetLedCount() {
    auto get = Optional<sys::LedGetDeviceInfoFunction>(kCoreLibrary, "NLedGetDeviceInfo");
    if (!get) return 0;
    sys::LedCountInfo info;
    return get(sys::kLedCountInfoId, &info) ? static_cast<int>(info.count) : 0;
}

void SetLed(int number, int offOnBlink, int totalCycleTime, int onTime, int offTime,
            int metaCycleOn, int metaCycleOff) {
    auto set = Optional<sys::LedSetDeviceFunction>(kCoreLibrary, "NLedSetDevice");
    if (!set) return;
    sys::LedSettingsInfo info;
    info.ledNum = static_cast<uint32_t>(number);
    info.offOnBlink = offOnBlink;
    info.totalCycleTime = totalCycleTime;
    info.onTime = onTime;
    info.offTime = offTime;
    info.metaCycleOn = metaCycleOn;
    info.metaCycleOff = metaCycleOff;
    set(sys::kLedSettingsInfoId, &info);
}

int SipPreference(HWND window, int request) {
    auto fn = Optional<BOOL (*)(HWND, int)>(kShellLibrary, "SHSipPreference");
    return fn ? fn(window, request) : 0;
}

int InitExtraControls() {
    auto fn = Optional<BOOL (*)()>(kShellLibrary, "SHInitExtraControls");
    return fn ? fn() : 0;
}

bool HasExtraControls() {
    return sys::GetOptionalFunction(kShellLibrary, "SHInitExtraControls");
}

int SetAppKeyWndAssoc(BYTE key, HWND window) {
    auto fn = Optional<BOOL (*)(BYTE, HWND)>(kShellLibrary, "SHSetAppKeyWndAssoc");
    return fn ? fn(key, window) : 0;
}

int SetNavBarText(HWND window, const WChar* text) {
    auto fn = Optional<BOOL (*)(HWND, const WChar*)>(kShellLibrary, "SHSetNavBarText");
    return fn ? fn(window, text) : 0;
}

void GetSpecialFolder(HWND /*window*/, int folderId, WString& path) {
    if (folderId == kFolderPersonal)
        path = fs::GetDocumentsFolder();
    else if (folderId == kFolderRecycleBin || folderId == kFolderTemplates)
        path.clear();
}

WString GetSpecialFolderPath(HWND window, int folderId) {
    WString path;
    GetSpecialFolder(window, folderId, path);
    return path;
}

void GetSpecialFolderPath(WString& path, HWND window, int folderId) {
    path = GetSpecialFolderPath(window, folderId);
}

WString GetTempFolder() {
    return u"\\Temp\\";
}

int ShellExecuteFile(HWND window, const WChar* path) {
    WString target = path ? WString(path) : WString();
    bool ok = false;
    if (IsAddress(target)) {
        ok = sys::ShellOpen(text::ToUtf8(target));
    } else if (!target.empty()) {
        std::string host = fs::HostPath(target);
        ok = !host.empty() && sys::ShellOpen(host);
    }
    if (ok) return 1;
    ReportError(window, kIdsErrorExecuting, target);
    return 0;
}

int OpenUrlShortcut(HWND /*window*/, const WChar* url, const WChar* fileName) {
    WString address;
    for (const WChar* p = url; p && *p; ++p)
        if (*p != u'\r' && *p != u'\n') address += *p;
    WString folder = GetTempFolder();
    if (folder.back() != u'\\') folder += u'\\';
    if (!fs::Exists(folder)) fs::CreateDirectory(folder);
    WString name = fileName && *fileName ? WString(fileName) : WString(u"Temporary.url");
    std::string bytes =
        text::ToCodePage(u"[InternetShortcut]\r\nURL=" + address + u"\r\n", text::kCpAcp);
    if (!fs::WriteWholeFile(folder + name, bytes.data(), bytes.size())) return 0;
    return sys::ShellOpen(text::ToUtf8(address)) ? 1 : 0;
}

bool PlaySoundFile(const WChar* path) {
    if (!path || !*path) return false;
    std::string host = fs::HostPath(path);
    return !host.empty() && sys::PlayWaveFile(host);
}

void SetShellErrorReporter(ShellErrorReporter reporter) {
    std::lock_guard<std::mutex> lock(g_reporterMutex);
    g_reporter = std::move(reporter);
}
