// Version resources: the fixed version record and the string values of the
// first string table.
#pragma once

#include <map>
#include <optional>
#include <span>

#include "platform/text/text.h"
#include "platform/types.h"

namespace res {

constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

// Thirteen 32-bit values, in the order the record stores them.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature = 0;
    DWORD dwStrucVersion = 0;
    DWORD dwFileVersionMS = 0;
    DWORD dwFileVersionLS = 0;
    DWORD dwProductVersionMS = 0;
    DWORD dwProductVersionLS = 0;
    DWORD dwFileFlagsMask = 0;
    DWORD dwFileFlags = 0;
    DWORD dwFileOS = 0;
    DWORD dwFileType = 0;
    DWORD dwFileSubtype = 0;
    DWORD dwFileDateMS = 0;
    DWORD dwFileDateLS = 0;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

struct VersionInfo {
    VS_FIXEDFILEINFO fixed;
    // Values of the string tables ("FileVersion", "ProductName", ...).
    std::map<WString, WString> strings;
};

// Parses a VS_VERSIONINFO block; nullopt when it is malformed or its fixed
// record lacks the signature.
std::optional<VersionInfo> ParseVersionInfo(std::span<const uint8_t> data);

}  // namespace res
