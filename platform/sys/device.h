// Device information and the platform's optional functions.
//
// Optional functions are looked up by library and name, as the program does
// with the shell and LED libraries of the handheld. This platform offers none
// of them by default; tests install replacements to exercise both paths.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/text/text.h"
#include "platform/types.h"

namespace sys {

// The named function, or null when the platform does not offer it.
void* GetOptionalFunction(std::string_view library, std::string_view name);
// Offers (or, with null, withdraws) a function of the program's own under a
// library's name, for code that looks it up as an optional function.
void OfferOptionalFunction(std::string_view library, std::string_view name, void* function);

// The LED functions' records and ids, as the platform passes them.
constexpr int kLedCountInfoId = 0;
constexpr int kLedSettingsInfoId = 2;
struct LedCountInfo {
    uint32_t count = 0;
};
struct LedSettingsInfo {
    uint32_t ledNum = 0;
    int32_t offOnBlink = 0;  // 0 off, 1 on, 2 blink
    int32_t totalCycleTime = 0;
    int32_t onTime = 0;
    int32_t offTime = 0;
    int32_t metaCycleOn = 0;
    int32_t metaCycleOff = 0;
};
using LedGetDeviceInfoFunction = int (*)(int infoId, void* output);
using LedSetDeviceFunction = int (*)(int deviceId, void* input);

// The platform type text (system parameter 257): "PocketPC" here.
WString GetPlatformType();
// The operating system's platform identifier (3, the handheld family).
uint32_t GetPlatformId();

// The screen's size in pixels (240 x 320 until the display sets it). Kept
// here, below the window model and the drawing layer, which both report it.
void SetScreenSize(int width, int height);
int GetScreenWidth();
int GetScreenHeight();

// The device's idle time-outs in seconds, as system parameters: 251/252
// set/get the one on battery, 253/254 on external power, 255/256 the
// wake-up one. Nothing on this platform turns the device off, so the values
// are only kept (a set is read back by the next get). False for other
// actions or a null value.
constexpr UINT SPI_SETBATTERYIDLETIMEOUT = 251;
constexpr UINT SPI_GETBATTERYIDLETIMEOUT = 252;
constexpr UINT SPI_SETEXTERNALIDLETIMEOUT = 253;
constexpr UINT SPI_GETEXTERNALIDLETIMEOUT = 254;
constexpr UINT SPI_SETWAKEUPIDLETIMEOUT = 255;
constexpr UINT SPI_GETWAKEUPIDLETIMEOUT = 256;
// A set takes its value in `param`; a get writes a DWORD to `value`.
bool SystemParametersInfo(UINT action, UINT param, void* value, UINT winIni);

namespace test {
// Installs (or, with null, removes) a replacement optional function.
void SetOptionalFunction(std::string_view library, std::string_view name, void* function);
void SetPlatformType(WStringView type);
// No optional functions, the default platform type, screen size and idle
// time-outs.
void ResetDevice();
}  // namespace test

}  // namespace sys
