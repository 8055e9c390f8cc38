#include "shell/app/system_info.h"

#include <dlfcn.h>
#include <link.h>
#include <netdb.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "core/file_version_info.h"
#include "core/shell_helpers.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/res/locale.h"
#include "platform/sys/device.h"
#include "platform/win/dialog.h"

// ---------------------------------------------------------------- the report

namespace {

class LineWriter {
public:
    explicit LineWriter(std::vector<WString>& lines) : m_lines(lines) {}
    void Add(WString line) {
        if (line.size() > kSystemInfoLineLength) line.resize(kSystemInfoLineLength);
        m_lines.push_back(std::move(line));
    }
    template <class... Args>
    void Printf(const WChar* format, Args... args) {
        Add(text::Format(format, args...));
    }

private:
    std::vector<WString>& m_lines;
};

void AddLocale(LineWriter& out, const SystemLocaleFacts& l) {
    out.Printf(u"ICountry : %s", text::Format(u"%u", l.countryCode).c_str());
    out.Printf(u"SCountry : %s", l.country.c_str());
    out.Printf(u"SEngCountry : %s", l.englishCountry.c_str());
    out.Printf(u"SAbbrevCtryName : %s", l.countryAbbreviation.c_str());
    out.Printf(u"SNativeCtryName : %s", l.nativeCountry.c_str());
    out.Printf(u"IDefaultCountry : %s", text::Format(u"%u", l.countryCode).c_str());
    out.Printf(u"ILanguage : %s", text::Format(u"%04x", static_cast<unsigned>(l.languageId)).c_str());
    out.Printf(u"SLanguage : %s", l.language.c_str());
    out.Printf(u"IDefaultLanguage : %s", text::Format(u"%04x", static_cast<unsigned>(l.languageId)).c_str());
    out.Printf(u"IDefaultANSICodePage : %s", text::Format(u"%u", l.ansiCodePage).c_str());
    out.Printf(u"IDefaultCodePage : %s", text::Format(u"%u", l.oemCodePage).c_str());
}

unsigned long long Full(uint64_t v) { return static_cast<unsigned long long>(v); }

}  // namespace

std::vector<WString> BuildSystemInfoLines(ISystemInfoProvider& p) {
    std::vector<WString> lines;
    LineWriter out(lines);

    out.Add(u"--- Host Information ---");
    out.Printf(u"Hostname : %s", p.GetHostName().c_str());
    if (std::optional<uint32_t> ip = p.GetHostAddress())
        out.Printf(u"IP : %d.%d.%d.%d", int(*ip >> 24), int((*ip >> 16) & 0xFF), int((*ip >> 8) & 0xFF),
                   int(*ip & 0xFF));

    out.Add(u"--- OS Version ---");
    const ISystemInfoProvider::OsVersion os = p.GetOsVersion();
    out.Printf(u"OS Major : %u", os.major);
    out.Printf(u"OS Minor : %u", os.minor);
    out.Printf(u"OS Build : %08X", os.build);
    out.Printf(u"PlatformID : %u", os.platformId);
    out.Printf(u"CSD : %s", os.csd.c_str());
    out.Printf(u"Platform : %s", os.platform.c_str());
    out.Printf(u"OEM : %s", os.oem.c_str());

    out.Add(u"--- System Default Locale ---");
    AddLocale(out, p.GetLocale(ISystemInfoProvider::LocaleKind::System));
    out.Add(u"--- User Default Locale ---");
    AddLocale(out, p.GetLocale(ISystemInfoProvider::LocaleKind::User));
    out.Add(u"--- Neutral Locale ---");
    AddLocale(out, p.GetLocale(ISystemInfoProvider::LocaleKind::Neutral));

    // Sizes in full: a desktop's memory does not fit 32 bits.
    out.Add(u"--- Memory Info ---");
    const ISystemInfoProvider::Memory m = p.GetMemory();
    out.Printf(u"Load : %u%%", m.load);
    out.Printf(u"Physical Avail : %08llX", Full(m.physicalAvail));
    out.Printf(u"Physical Total : %08llX", Full(m.physicalTotal));
    out.Printf(u"Virtual Avail : %08llX", Full(m.virtualAvail));
    out.Printf(u"Virtual Total : %08llX", Full(m.virtualTotal));
    out.Printf(u"PageFile Avail : %08llX", Full(m.pageFileAvail));
    out.Printf(u"PageFile Total : %08llX", Full(m.pageFileTotal));

    out.Add(u"--- Dialog ---");
    const LONG units = p.GetDialogBaseUnits();
    out.Printf(u"BaseUnitX : %d", int(LOWORD(units)));
    out.Printf(u"BaseUnitY : %d", int(HIWORD(units)));

    out.Add(u"--- Device Caps ---");
    const std::pair<const WChar*, int> caps[] = {
        {u"Horz Size : %d", HORZSIZE},     {u"Vert Size : %d", VERTSIZE},   {u"Horz Res : %d", HORZRES},
        {u"Vert Res : %d", VERTRES},       {u"LogPixelsX : %d", LOGPIXELSX}, {u"LogPixelsY : %d", LOGPIXELSY},
        {u"AspectX : %d", ASPECTX},        {u"AspectY : %d", ASPECTY},       {u"AspectXY : %d", ASPECTXY},
        {u"SizePalette : %d", SIZEPALETTE}, {u"NumReserved : %d", NUMRESERVED}, {u"ColorRes : %d", COLORRES},
        {u"Bits/Pixel : %d", BITSPIXEL},   {u"Planes : %d", PLANES},         {u"NumBrushes : %d", NUMBRUSHES},
        {u"NumPens : %d", NUMPENS},        {u"NumFonts : %d", NUMFONTS},     {u"NumColors : %d", NUMCOLORS},
    };
    for (const auto& [format, index] : caps) out.Printf(format, p.GetDeviceCaps(index));

    out.Add(u"--- Raster Caps ---");
    out.Add(u"Raster Caps");
    const int raster = p.GetDeviceCaps(RASTERCAPS);
    const std::pair<const WChar*, int> bits[] = {
        {u"Banding : %c", RC_BANDING},     {u"BitBlt : %c", RC_BITBLT},       {u"Bitmap64 : %c", RC_BITMAP64},
        {u"DI_Bitmap : %c", RC_DI_BITMAP}, {u"DIBToDev : %c", RC_DIBTODEV},   {u"Palette : %c", RC_PALETTE},
        {u"Scaling : %c", RC_SCALING},     {u"StretchBlt : %c", RC_STRETCHBLT}, {u"StretchDIB : %c", RC_STRETCHDIB},
    };
    for (const auto& [format, bit] : bits) out.Printf(format, (raster & bit) ? 'Y' : 'N');

    out.Add(u"--- System Info ---");
    const ISystemInfoProvider::Processor s = p.GetProcessor();
    out.Printf(u"OemID : %08X", s.oemId);
    out.Printf(u"PageSize : %u", s.pageSize);
    out.Printf(u"AllocationGranularity : %u", s.allocationGranularity);
    out.Printf(u"ProcessorType : %u", s.type);
    out.Printf(u"ProcessorLevel : %u", s.level);
    out.Printf(u"ProcessorRevision : %04X", s.revision);
    out.Printf(u"NumberOfProcessors : %u", s.count);
    out.Printf(u"MinAppAddress : %08llX", Full(s.minAddress));
    out.Printf(u"MaxAppAddress : %08llX", Full(s.maxAddress));
    out.Printf(u"LED Count : %d", s.ledCount);

    out.Add(u"--- Shell Information ---");
    out.Printf(u"Personal Folder : %s", p.GetSpecialFolder(kFolderPersonal).c_str());
    out.Printf(u"Bit Bucket Folder : %s", p.GetSpecialFolder(kFolderRecycleBin).c_str());
    out.Printf(u"Templates Folder : %s", p.GetSpecialFolder(kFolderTemplates).c_str());

    out.Add(u"--- Store Information ---");
    out.Add(u"Internal Object Store");
    uint64_t size = 0, free = 0;
    p.GetObjectStore(&size, &free);
    out.Printf(u"  Size : %llu", Full(size));
    out.Printf(u"  Free : %llu", Full(free));
    for (const SystemStoreFacts& store : p.GetStores()) {
        out.Printf(u"Store: \\%s", store.name.c_str());
        out.Printf(u"  %llu Free Bytes Available", Full(store.freeToCaller));
        out.Printf(u"  %llu Total Free Bytes", Full(store.totalFree));
        out.Printf(u"  %llu Total Bytes", Full(store.total));
    }

    out.Add(u"--- Libraries ---");
    for (const SystemLibraryFacts& library : p.GetLibraries())
        out.Printf(u"%s : %s (%s)", library.path.c_str(), library.productVersion.c_str(), library.fileVersion.c_str());
    return lines;
}

WString VersionQuad(std::string_view text) {
    unsigned parts[4] = {0, 0, 0, 0};
    int count = 0;
    size_t i = 0;
    // The first run of digits and dots.
    while (i < text.size() && (text[i] < '0' || text[i] > '9')) ++i;
    while (i < text.size() && count < 4) {
        if (text[i] < '0' || text[i] > '9') break;
        unsigned long long v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            v = v * 10 + static_cast<unsigned>(text[i] - '0');
            if (v > 0xFFFF) v = 0xFFFF;
            ++i;
        }
        parts[count++] = static_cast<unsigned>(v);
        if (i < text.size() && text[i] == '.') ++i;
        else break;
    }
    if (count == 0) return WString();
    return text::Format(u"%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
}

// ---------------------------------------------------------------- the running system

namespace {

std::string ReadFirstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    if (in) std::getline(in, line);
    return line;
}

// "key : value" of /proc/cpuinfo's first processor.
unsigned CpuInfoNumber(const char* key) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        return static_cast<unsigned>(std::strtoul(line.c_str() + colon + 1, nullptr, 10));
    }
    return 0;
}

uint64_t ProcStatusKilobytes(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::strtoull(line.c_str() + std::strlen(key), nullptr, 10) * 1024;
    return 0;
}

SystemLocaleFacts LocaleFacts(DWORD id, const res::LocaleInfo* l) {
    SystemLocaleFacts f;
    f.languageId = id;
    if (!l) return f;
    f.countryCode = l->countryCode;
    f.country = l->englishCountry;
    f.englishCountry = l->englishCountry;
    f.countryAbbreviation = l->countryAbbreviation ? l->countryAbbreviation : u"";
    f.nativeCountry = l->nativeCountry;
    f.language = l->englishLanguage;
    f.ansiCodePage = l->ansiCodePage;
    f.oemCodePage = l->oemCodePage;
    return f;
}

// The loaded library whose file name starts with `stem`: its path and
// its handle (without loading it).
struct Loaded {
    std::string path;
    void* handle = nullptr;
};

Loaded FindLoaded(const char* soname) {
    Loaded found;
    found.handle = dlopen(soname, RTLD_LAZY | RTLD_NOLOAD);
    if (!found.handle) return found;
    link_map* map = nullptr;
    if (dlinfo(found.handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) found.path = map->l_name;
    return found;
}

void Release(Loaded& l) {
    if (l.handle) dlclose(l.handle);
    l.handle = nullptr;
}

// The version in a library's real file name: libjpeg.so.62.3.0 -> 62.3.0.
std::string FileNameVersion(const std::string& path) {
    char real[PATH_MAX];
    std::string name = realpath(path.c_str(), real) ? real : path;
    const size_t so = name.rfind(".so.");
    return so == std::string::npos ? std::string() : name.substr(so + 4);
}

template <class F>
F Symbol(void* handle, const char* name) {
    return reinterpret_cast<F>(dlsym(handle, name));
}

std::string LibraryVersion(const char* which, const Loaded& l) {
    const std::string what = which;
    char buffer[64];
    if (what == "platform") {
        if (auto v = Symbol<long (*)()>(l.handle, "zn_duktape_version")) {
            const long n = v();
            std::snprintf(buffer, sizeof buffer, "%ld.%ld.%ld", n / 10000, n / 100 % 100, n % 100);
            return buffer;
        }
    } else if (what == "qt") {
        if (auto v = Symbol<const char* (*)()>(RTLD_DEFAULT, "_Z8qVersionv")) return v();
    } else if (what == "freetype") {
        using Lib = void*;
        auto init = Symbol<int (*)(Lib*)>(l.handle, "FT_Init_FreeType");
        auto version = Symbol<void (*)(Lib, int*, int*, int*)>(l.handle, "FT_Library_Version");
        auto done = Symbol<int (*)(Lib)>(l.handle, "FT_Done_FreeType");
        Lib lib = nullptr;
        if (init && version && done && init(&lib) == 0) {
            int a = 0, b = 0, c = 0;
            version(lib, &a, &b, &c);
            done(lib);
            std::snprintf(buffer, sizeof buffer, "%d.%d.%d", a, b, c);
            return buffer;
        }
    } else if (what == "fontconfig") {
        if (auto v = Symbol<int (*)()>(l.handle, "FcGetVersion")) {
            const int n = v();
            std::snprintf(buffer, sizeof buffer, "%d.%d.%d", n / 10000, n / 100 % 100, n % 100);
            return buffer;
        }
    } else if (what == "fribidi") {
        if (auto v = Symbol<const char* const*>(l.handle, "fribidi_version_info")) return *v;
    } else if (what == "harfbuzz") {
        if (auto v = Symbol<void (*)(unsigned*, unsigned*, unsigned*)>(l.handle, "hb_version")) {
            unsigned a = 0, b = 0, c = 0;
            v(&a, &b, &c);
            std::snprintf(buffer, sizeof buffer, "%u.%u.%u", a, b, c);
            return buffer;
        }
    } else if (what == "curl") {
        struct VersionInfo {
            int age;
            const char* version;
            unsigned versionNum;
        };
        if (auto v = Symbol<const VersionInfo* (*)(int)>(l.handle, "curl_version_info")) {
            if (const VersionInfo* info = v(0)) return info->version ? info->version : "";
        }
    }
    return FileNameVersion(l.path);
}

class CRunningSystem : public ISystemInfoProvider {
public:
    WString GetHostName() override {
        char name[65] = {};
        if (gethostname(name, sizeof name - 1) != 0) return WString();
        return text::FromUtf8(name);
    }

    std::optional<uint32_t> GetHostAddress() override {
        char name[65] = {};
        if (gethostname(name, sizeof name - 1) != 0) return std::nullopt;
        addrinfo hints{};
        hints.ai_family = AF_INET;
        addrinfo* result = nullptr;
        if (getaddrinfo(name, nullptr, &hints, &result) != 0 || !result) return std::nullopt;
        std::optional<uint32_t> address;
        for (addrinfo* a = result; a && !address; a = a->ai_next) {
            if (a->ai_family != AF_INET || !a->ai_addr) continue;
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            address = ntohl(in->sin_addr.s_addr);
        }
        freeaddrinfo(result);
        return address;
    }

    OsVersion GetOsVersion() override {
        OsVersion v;
        utsname u{};
        if (uname(&u) == 0) {
            const char* p = u.release;
            uint32_t* parts[3] = {&v.major, &v.minor, &v.build};
            for (uint32_t* part : parts) {
                char* end = nullptr;
                *part = static_cast<uint32_t>(std::strtoul(p, &end, 10));
                if (end == p) break;
                p = *end == '.' ? end + 1 : end;
                if (*end != '.') break;
            }
            v.csd = text::FromUtf8(u.version);
            const std::string product = ReadFirstLine("/sys/class/dmi/id/product_name");
            v.oem = text::FromUtf8(product.empty() ? u.machine : product.c_str());
        }
        v.platformId = sys::GetPlatformId();
        v.platform = sys::GetPlatformType();
        return v;
    }

    SystemLocaleFacts GetLocale(LocaleKind kind) override {
        const DWORD user = res::GetUserDefaultLCID();
        if (kind != LocaleKind::Neutral) return LocaleFacts(user, res::FindLocale(user));
        const DWORD neutral = user & 0x3FF;  // the primary language alone
        return LocaleFacts(neutral, res::FindLocale(neutral));
    }

    Memory GetMemory() override {
        Memory m;
        struct sysinfo info{};
        if (::sysinfo(&info) == 0) {
            const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
            m.physicalTotal = info.totalram * unit;
            m.physicalAvail = (info.freeram + info.bufferram) * unit;
            m.pageFileTotal = info.totalswap * unit;
            m.pageFileAvail = info.freeswap * unit;
            if (m.physicalTotal > 0)
                m.load = static_cast<uint32_t>((m.physicalTotal - std::min(m.physicalAvail, m.physicalTotal)) * 100 /
                                               m.physicalTotal);
        }
        const Processor p = GetProcessor();
        m.virtualTotal = p.maxAddress - p.minAddress + 1;
        const uint64_t used = ProcStatusKilobytes("VmSize:");
        m.virtualAvail = m.virtualTotal > used ? m.virtualTotal - used : 0;
        return m;
    }

    LONG GetDialogBaseUnits() override { return ::GetDialogBaseUnits(); }

    int GetDeviceCaps(int index) override {
        HDC screen = GetDC(nullptr);
        const int value = ::GetDeviceCaps(screen, index);
        if (screen) ReleaseDC(nullptr, screen);
        return value;
    }

    Processor GetProcessor() override {
        Processor p;
        const long page = sysconf(_SC_PAGESIZE);
        p.pageSize = page > 0 ? static_cast<uint32_t>(page) : 4096;
        p.allocationGranularity = p.pageSize;
        utsname u{};
        const bool named = uname(&u) == 0;
        const std::string machine = named ? u.machine : "";
        p.type = machine == "x86_64" ? 8664 : machine.size() == 4 && machine[0] == 'i' ? 586 : 0;
        p.oemId = machine == "x86_64" ? 9 : machine == "aarch64" ? 12 : 0;  // architecture codes
        p.level = CpuInfoNumber("cpu family");
        p.revision = (CpuInfoNumber("model\t") & 0xFF) << 8 | (CpuInfoNumber("stepping") & 0xFF);
        const long processors = sysconf(_SC_NPROCESSORS_ONLN);
        p.count = processors > 0 ? static_cast<uint32_t>(processors) : 1;
        const std::string minimum = ReadFirstLine("/proc/sys/vm/mmap_min_addr");
        p.minAddress = minimum.empty() ? 0x10000 : std::strtoull(minimum.c_str(), nullptr, 10);
        p.maxAddress = sizeof(void*) == 8 ? 0x00007FFFFFFFEFFFULL : 0xBFFFFFFFULL;
        p.ledCount = GetLedCount();
        return p;
    }

    WString GetSpecialFolder(int folderId) override { return GetSpecialFolderPath(nullptr, folderId); }

    void GetObjectStore(uint64_t* size, uint64_t* free) override {
        *size = *free = 0;
        fs::GetDiskFreeSpace(u"\\", nullptr, size, free);
    }

    std::vector<SystemStoreFacts> GetStores() override {
        std::vector<SystemStoreFacts> stores;
        fs::FindData data;
        fs::FindHandle* find = fs::FindFirstFile(u"\\*", &data);
        if (!find) return stores;
        do {
            const uint32_t both = fs::kAttrDirectory | fs::kAttrTemporary;
            if ((data.attributes & both) != both) continue;
            SystemStoreFacts store;
            store.name = data.fileName;
            fs::GetDiskFreeSpace(u"\\" + data.fileName + u"\\", &store.freeToCaller, &store.total,
                                 &store.totalFree);
            stores.push_back(std::move(store));
        } while (fs::FindNextFile(find, &data));
        fs::FindClose(find);
        return stores;
    }

    std::vector<SystemLibraryFacts> GetLibraries() override {
        static const std::pair<const char*, const char*> kLibraries[] = {
            {"platform", "libznplatform.so"}, {"qt", "libQt6Gui.so.6"},       {"freetype", "libfreetype.so.6"},
            {"fontconfig", "libfontconfig.so.1"}, {"fribidi", "libfribidi.so.0"}, {"harfbuzz", "libharfbuzz.so.0"},
            {"jpeg", "libjpeg.so.62"},        {"curl", "libcurl.so.4"},
        };
        std::vector<SystemLibraryFacts> out;
        for (const auto& [which, soname] : kLibraries) {
            Loaded l = FindLoaded(soname);
            if (!l.handle) continue;
            SystemLibraryFacts f;
            f.path = text::FromUtf8(l.path.c_str());
            f.productVersion = VersionQuad(LibraryVersion(which, l));
            f.fileVersion = f.productVersion;
            // The platform library is the program's own, with the script
            // engine compiled in: the program's version, then the engine's.
            if (std::string_view(which) == "platform") {
                f.fileVersion = f.productVersion;
                f.productVersion = CFileVersionInfo().GetProductVersion();
            }
            Release(l);
            out.push_back(std::move(f));
        }
        return out;
    }
};

}  // namespace

std::unique_ptr<ISystemInfoProvider> CreateSystemInfoProvider() { return std::make_unique<CRunningSystem>(); }
