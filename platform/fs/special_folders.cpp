#include "platform/fs/special_folders.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

#include "platform/fs/fs.h"

namespace fs {

namespace {

std::mutex g_mutex;
WString g_programFileName;

bool IsHostFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// XDG_DOCUMENTS_DIR from user-dirs.dirs ("$HOME/Documents" style).
std::string XdgDocuments(const std::string& home) {
    const std::string config = HostConfigFolder();
    if (config.empty()) return {};
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=\"";
        if (line.rfind(key, 0) != 0) continue;
        size_t end = line.rfind('"');
        if (end <= key.size()) return {};
        std::string value = line.substr(key.size(), end - key.size());
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        return value;
    }
    return {};
}

}  // namespace

std::string HostConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config";
    return {};
}

WString GetProgramFileName() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_programFileName.empty()) return g_programFileName;
    }
    return GetModuleFileName();
}

WString GetProgramFolder() {
    WString file = GetProgramFileName();
    size_t slash = file.rfind(u'\\');
    return slash == WString::npos ? WString() : file.substr(0, slash);
}

WString GetDocumentsFolder() {
    std::string home;
    if (const char* h = std::getenv("HOME")) home = h;
    std::string host;
    if (const char* d = std::getenv("ZARNIP_DOCUMENTS"); d && *d)
        host = d;
    else if (std::string xdg = XdgDocuments(home); IsHostFolder(xdg))
        host = xdg;
    else
        host = home;
    WString device = host.empty() ? WString() : DevicePathFromHost(host);
    return device.empty() || device == u"\\" ? WString(u"\\My Documents") : device;
}

namespace test {

void SetProgramFileName(WStringView devicePath) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_programFileName = devicePath;
}

}  // namespace test

}  // namespace fs
