// What the System Information window reports about the device: network
// host, operating system, locales, memory, screen, processor, shell
// folders, stores and the libraries the program runs on. The facts come
// from a provider (the running system, or a fake in tests); the report's
// lines are built from them in a fixed order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"

// The longest report line; longer ones are cut.
constexpr size_t kSystemInfoLineLength = 259;

struct SystemLocaleFacts {
    DWORD languageId = 0;  // the locale's own id (the neutral one for the neutral locale)
    UINT countryCode = 0;
    WString country;  // in the program's language
    WString englishCountry;
    WString countryAbbreviation;
    WString nativeCountry;
    WString language;
    UINT ansiCodePage = 0;
    UINT oemCodePage = 0;
};

struct SystemStoreFacts {
    WString name;
    uint64_t freeToCaller = 0;
    uint64_t totalFree = 0;
    uint64_t total = 0;
};

struct SystemLibraryFacts {
    WString path;
    WString productVersion;  // "%d.%d.%d.%d"
    WString fileVersion;
};

class ISystemInfoProvider {
public:
    virtual ~ISystemInfoProvider() = default;

    virtual WString GetHostName() = 0;
    // The host's first IPv4 address; none when the name does not resolve.
    virtual std::optional<uint32_t> GetHostAddress() = 0;  // a.b.c.d as 0xAABBCCDD

    struct OsVersion {
        uint32_t major = 0, minor = 0, build = 0, platformId = 0;
        WString csd, platform, oem;
    };
    virtual OsVersion GetOsVersion() = 0;

    enum class LocaleKind { System, User, Neutral };
    virtual SystemLocaleFacts GetLocale(LocaleKind kind) = 0;

    struct Memory {
        uint32_t load = 0;  // percent
        uint64_t physicalAvail = 0, physicalTotal = 0;
        uint64_t virtualAvail = 0, virtualTotal = 0;
        uint64_t pageFileAvail = 0, pageFileTotal = 0;
    };
    virtual Memory GetMemory() = 0;
    // MAKELONG(x, y) of the system font.
    virtual LONG GetDialogBaseUnits() = 0;
    // The screen's device capability (GetDeviceCaps index).
    virtual int GetDeviceCaps(int index) = 0;

    struct Processor {
        uint32_t oemId = 0, pageSize = 0, allocationGranularity = 0;
        uint32_t type = 0, level = 0, revision = 0, count = 0;
        uint64_t minAddress = 0, maxAddress = 0;
        int ledCount = 0;
    };
    virtual Processor GetProcessor() = 0;
    virtual WString GetSpecialFolder(int folderId) = 0;
    // The device's own volume: size and free bytes.
    virtual void GetObjectStore(uint64_t* size, uint64_t* free) = 0;
    // The storage cards, in listing order.
    virtual std::vector<SystemStoreFacts> GetStores() = 0;
    // The loaded libraries, in report order (one that is not loaded has no
    // entry).
    virtual std::vector<SystemLibraryFacts> GetLibraries() = 0;
};

// The running system.
std::unique_ptr<ISystemInfoProvider> CreateSystemInfoProvider();

// The report, line by line, each at most kSystemInfoLineLength long.
std::vector<WString> BuildSystemInfoLines(ISystemInfoProvider& provider);

// "%d.%d.%d.%d" of up to four numbers found in a version text ("6.4.2",
// "(GNU FriBidi) 1.0.13"); missing parts are 0, an empty text for none.
WString VersionQuad(std::string_view text);
