#include "platform/res/resource.h"

#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

#include "platform/fs/fs.h"

namespace res {

namespace {

WORD ReadU16(const uint8_t* p) {
    WORD v;
    std::memcpy(&v, p, 2);
    return v;
}
DWORD ReadU32(const uint8_t* p) {
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

// Reads an ordinal or a name inside [p, end); advances p. False if truncated.
bool ReadName(const uint8_t*& p, const uint8_t* end, ResName* out) {
    if (end - p < 2) return false;
    WORD first = ReadU16(p);
    if (first == 0xFFFF) {
        if (end - p < 4) return false;
        out->id = ReadU16(p + 2);
        p += 4;
        return true;
    }
    WString s;
    for (;;) {
        if (end - p < 2) return false;
        WORD c = ReadU16(p);
        p += 2;
        if (c == 0) break;
        s.push_back(static_cast<WChar>(c));
    }
    out->name = text::ToUpper(s);
    if (out->name.empty()) out->id = 0;
    return true;
}

}  // namespace

ResName ResName::FromPointer(const WChar* p) {
    uintptr_t v = reinterpret_cast<uintptr_t>(p);
    if ((v >> 16) == 0) return ResName(static_cast<WORD>(v));
    WStringView s(p);
    if (s.size() > 1 && s[0] == u'#') {
        size_t used = 0;
        uint32_t id = text::ParseULong(s.substr(1), &used);
        if (used == s.size() - 1 && id <= 0xFFFF) return ResName(static_cast<WORD>(id));
    }
    return ResName(s);
}

bool ResName::Matches(const ResName& other) const {
    if (IsOrdinal() != other.IsOrdinal()) return false;
    return IsOrdinal() ? id == other.id : text::EqualsNoCase(name, other.name);
}

std::shared_ptr<ResourceModule> ResourceModule::FromBytes(const uint8_t* data, size_t size,
                                                          std::string* error) {
    auto fail = [&](const std::string& why) -> std::shared_ptr<ResourceModule> {
        if (error) *error = why;
        return nullptr;
    };
    auto m = std::make_shared<ResourceModule>();
    m->bytes_.assign(data, data + size);
    const uint8_t* base = m->bytes_.data();
    size_t pos = 0;
    while (pos + 8 <= size) {
        const uint8_t* h = base + pos;
        DWORD dataSize = ReadU32(h);
        DWORD headerSize = ReadU32(h + 4);
        if (headerSize < 32 || headerSize > size - pos)
            return fail("bad resource header size at offset " + std::to_string(pos));
        if (dataSize > size - pos - headerSize)
            return fail("resource data runs past the end at offset " + std::to_string(pos));
        const uint8_t* p = h + 8;
        const uint8_t* hend = h + headerSize;
        Resource r;
        if (!ReadName(p, hend, &r.type) || !ReadName(p, hend, &r.name))
            return fail("truncated resource name at offset " + std::to_string(pos));
        size_t off = static_cast<size_t>(p - base);
        off = (off + 3) & ~size_t(3);
        if (off + 16 > pos + headerSize)
            return fail("truncated resource header at offset " + std::to_string(pos));
        p = base + off;
        // DataVersion(4) MemoryFlags(2) LanguageId(2) Version(4) Characteristics(4)
        r.language = ReadU16(p + 6);
        r.version = ReadU32(p + 8);
        r.characteristics = ReadU32(p + 12);
        r.data = std::span<const uint8_t>(h + headerSize, dataSize);
        // The leading empty entry marks a 32-bit .res file.
        if (!(r.type.IsOrdinal() && r.type.id == 0 && dataSize == 0)) m->resources_.push_back(r);
        size_t next = pos + headerSize + dataSize;
        pos = (next + 3) & ~size_t(3);
    }
    if (pos < size && size - pos >= 4) return fail("trailing bytes after the last resource");
    return m;
}

std::shared_ptr<ResourceModule> ResourceModule::FromFile(const std::string& hostPath,
                                                         std::string* error) {
    // A folder, a FIFO or a file that cannot be read gives no module.
    std::string bytes;
    if (!fs::ReadWholeHostFile(hostPath, &bytes)) {
        if (error) *error = "cannot open " + hostPath;
        return nullptr;
    }
    return FromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), error);
}

const Resource* ResourceModule::Find(const ResName& type, const ResName& name,
                                     std::optional<WORD> language) const {
    const Resource* first = nullptr;
    for (const auto& r : resources_) {
        if (!r.type.Matches(type) || !r.name.Matches(name)) continue;
        if (!language || r.language == *language) return &r;
        if (!first) first = &r;
    }
    return first;
}

namespace {
// Entry `index` of a string block, or nullopt when the block is malformed.
std::optional<WString> BlockEntry(std::span<const uint8_t> d, unsigned index) {
    size_t pos = 0;
    for (unsigned i = 0; i < 16; ++i) {
        if (pos + 2 > d.size()) return std::nullopt;
        WORD len = ReadU16(d.data() + pos);
        pos += 2;
        if (pos + size_t(len) * 2 > d.size()) return std::nullopt;
        if (i == index) {
            WString s(len, u'\0');
            std::memcpy(s.data(), d.data() + pos, size_t(len) * 2);
            return s;
        }
        pos += size_t(len) * 2;
    }
    return std::nullopt;
}
}  // namespace

std::optional<WString> ResourceModule::LoadString(UINT id) const {
    if (id > 0xFFFF) return std::nullopt;
    const Resource* r = Find(RT_STRING, static_cast<WORD>(id / 16 + 1));
    if (!r) return std::nullopt;
    auto s = BlockEntry(r->data, id % 16);
    if (!s || s->empty()) return std::nullopt;
    return s;
}

std::vector<std::pair<UINT, WString>> ResourceModule::AllStrings() const {
    std::map<UINT, WString> out;
    for (const auto& r : resources_) {
        if (!r.type.IsOrdinal() || r.type.id != RT_STRING || !r.name.IsOrdinal() || r.name.id == 0)
            continue;
        for (unsigned i = 0; i < 16; ++i) {
            auto s = BlockEntry(r.data, i);
            if (s && !s->empty()) out.emplace((r.name.id - 1u) * 16 + i, *s);
        }
    }
    return {out.begin(), out.end()};
}

// ---------------------------------------------------------------- handles

namespace {

struct Registry {
    std::mutex m;
    std::mutex programInit;  // one thread parses the embedded image at a time
    std::map<uintptr_t, std::shared_ptr<ResourceModule>> modules;
    uintptr_t next = 0x10000;
    HINSTANCE program = nullptr;
    HINSTANCE current = nullptr;
    const uint8_t* programData = nullptr;
    size_t programSize = 0;
};

Registry& R() {
    static Registry* r = new Registry;
    return *r;
}

}  // namespace

HINSTANCE RegisterModule(std::shared_ptr<ResourceModule> module) {
    if (!module) return nullptr;
    std::lock_guard<std::mutex> lock(R().m);
    uintptr_t h = R().next;
    R().next += 0x10000;
    R().modules[h] = std::move(module);
    return reinterpret_cast<HINSTANCE>(h);
}

void UnregisterModule(HINSTANCE handle) {
    std::lock_guard<std::mutex> lock(R().m);
    R().modules.erase(reinterpret_cast<uintptr_t>(handle));
    if (R().current == handle) R().current = nullptr;
    if (R().program == handle) R().program = nullptr;
}

std::shared_ptr<ResourceModule> ModuleFromHandle(HINSTANCE handle) {
    if (!handle) handle = GetResourceHandle();
    std::lock_guard<std::mutex> lock(R().m);
    auto it = R().modules.find(reinterpret_cast<uintptr_t>(handle));
    return it == R().modules.end() ? nullptr : it->second;
}

void SetProgramResources(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(R().m);
    R().programData = data;
    R().programSize = size;
    R().program = nullptr;
}

HINSTANCE GetProgramModule() {
    // Held across the parse so that threads arriving together register it once.
    std::lock_guard<std::mutex> init(R().programInit);
    const uint8_t* data;
    size_t size;
    {
        std::lock_guard<std::mutex> lock(R().m);
        if (R().program || !R().programData) return R().program;
        data = R().programData;
        size = R().programSize;
    }
    // Parsed on first use; an embedded image that does not parse is a build fault.
    auto m = ResourceModule::FromBytes(data, size);
    HINSTANCE h = RegisterModule(m);
    std::lock_guard<std::mutex> lock(R().m);
    if (!R().program) R().program = h;
    return R().program;
}

HINSTANCE GetResourceHandle() {
    {
        std::lock_guard<std::mutex> lock(R().m);
        if (R().current) return R().current;
    }
    return GetProgramModule();
}

void SetResourceHandle(HINSTANCE handle) {
    std::lock_guard<std::mutex> lock(R().m);
    R().current = handle;
}

std::span<const uint8_t> FindResourceData(HINSTANCE handle, const ResName& type,
                                          const ResName& name) {
    auto m = ModuleFromHandle(handle);
    const Resource* r = m ? m->Find(type, name) : nullptr;
    // Without a handle the search goes on in the program's own resources
    // when a language library lacks the resource.
    if (!r && !handle && GetResourceHandle() != GetProgramModule()) {
        if (auto p = ModuleFromHandle(GetProgramModule())) r = p->Find(type, name);
    }
    return r ? r->data : std::span<const uint8_t>{};
}

WString LoadStringText(HINSTANCE handle, UINT id) {
    auto m = ModuleFromHandle(handle);
    WString s = m ? m->LoadString(id).value_or(WString()) : WString();
    if (s.empty() && !handle && GetResourceHandle() != GetProgramModule()) {
        if (auto p = ModuleFromHandle(GetProgramModule())) s = p->LoadString(id).value_or(WString());
    }
    return s;
}

int LoadString(HINSTANCE handle, UINT id, WChar* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    WString s = LoadStringText(handle, id);
    int n = std::min<int>(size - 1, static_cast<int>(s.size()));
    std::memcpy(buffer, s.data(), size_t(n) * 2);
    buffer[n] = 0;
    return n;
}

WString FormatMessageText(WStringView pattern, const std::vector<WString>& args) {
    WString out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        WChar c = pattern[i];
        if (c == u'%' && i + 1 < pattern.size()) {
            WChar d = pattern[i + 1];
            if (d >= u'1' && d <= u'9') {
                size_t k = static_cast<size_t>(d - u'1');
                if (k < args.size()) {
                    out += args[k];
                    ++i;
                    continue;
                }
            }
        }
        out.push_back(c);
    }
    return out;
}

void ResetForTests() {
    std::lock_guard<std::mutex> lock(R().m);
    R().modules.clear();
    R().program = nullptr;
    R().current = nullptr;
}

}  // namespace res
