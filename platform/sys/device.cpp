#include "platform/sys/device.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace sys {

namespace {

std::mutex g_mutex;
std::map<std::string, void*> g_functions;  // "library|name", library in lower case
WString g_platformType = u"PocketPC";
constexpr int kDefaultScreenWidth = 240;
constexpr int kDefaultScreenHeight = 320;
std::atomic<int> g_screenWidth{kDefaultScreenWidth};
std::atomic<int> g_screenHeight{kDefaultScreenHeight};
// Battery, external power, wake-up (seconds).
constexpr DWORD kDefaultIdleTimeouts[3] = {180, 300, 60};
DWORD g_idleTimeouts[3] = {kDefaultIdleTimeouts[0], kDefaultIdleTimeouts[1],
                           kDefaultIdleTimeouts[2]};

std::string FunctionKey(std::string_view library, std::string_view name) {
    std::string key;
    for (char c : library) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return key + "|" + std::string(name);
}

}  // namespace

void* GetOptionalFunction(std::string_view library, std::string_view name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_functions.find(FunctionKey(library, name));
    return it == g_functions.end() ? nullptr : it->second;
}

WString GetPlatformType() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_platformType;
}

uint32_t GetPlatformId() {
    return 3;
}

void SetScreenSize(int width, int height) {
    g_screenWidth = width;
    g_screenHeight = height;
}
int GetScreenWidth() {
    return g_screenWidth;
}
int GetScreenHeight() {
    return g_screenHeight;
}

void OfferOptionalFunction(std::string_view library, std::string_view name, void* function) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (function)
        g_functions[FunctionKey(library, name)] = function;
    else
        g_functions.erase(FunctionKey(library, name));
}

bool SystemParametersInfo(UINT action, UINT param, void* value, UINT winIni) {
    (void)winIni;
    if (action < SPI_SETBATTERYIDLETIMEOUT || action > SPI_GETWAKEUPIDLETIMEOUT) return false;
    const size_t slot = (action - SPI_SETBATTERYIDLETIMEOUT) / 2;
    const bool get = (action - SPI_SETBATTERYIDLETIMEOUT) % 2 == 1;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!get) {
        g_idleTimeouts[slot] = param;
        return true;
    }
    if (!value) return false;
    *static_cast<DWORD*>(value) = g_idleTimeouts[slot];
    return true;
}

namespace test {

void SetOptionalFunction(std::string_view library, std::string_view name, void* function) {
    OfferOptionalFunction(library, name, function);
}

void SetPlatformType(WStringView type) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_platformType = type;
}

void ResetDevice() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_functions.clear();
    g_platformType = u"PocketPC";
    for (size_t i = 0; i < 3; ++i) g_idleTimeouts[i] = kDefaultIdleTimeouts[i];
    SetScreenSize(kDefaultScreenWidth, kDefaultScreenHeight);
}

}  // namespace test

}  // namespace sys
