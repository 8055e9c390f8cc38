// Resource modules: the program's own resources (a .res image embedded in the
// executable), language libraries (Locales/<ABBR>.res files) and the resources
// of extension modules. A module is read once and checked; lookups by type and
// by id or name then serve string tables, dialog templates, menus, toolbars,
// bitmaps, icons and version information.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"

namespace res {

constexpr WORD RT_CURSOR = 1;
constexpr WORD RT_BITMAP = 2;
constexpr WORD RT_ICON = 3;
constexpr WORD RT_MENU = 4;
constexpr WORD RT_DIALOG = 5;
constexpr WORD RT_STRING = 6;
constexpr WORD RT_ACCELERATOR = 9;
constexpr WORD RT_RCDATA = 10;
constexpr WORD RT_GROUP_CURSOR = 12;
constexpr WORD RT_GROUP_ICON = 14;
constexpr WORD RT_VERSION = 16;
constexpr WORD RT_TOOLBAR = 241;

// A resource type or name: an ordinal or a text (compared without case, as
// the resource compiler stores names in upper case).
struct ResName {
    WORD id = 0;
    WString name;
    ResName() = default;
    ResName(WORD ordinal) : id(ordinal) {}
    ResName(WStringView n) : name(n) {}
    // MAKEINTRESOURCE-style pointer: below 0x10000 an ordinal, else a text;
    // a text "#123" is the ordinal 123.
    static ResName FromPointer(const WChar* p);
    bool IsOrdinal() const { return name.empty(); }
    bool Matches(const ResName& other) const;
};

struct Resource {
    ResName type;
    ResName name;
    WORD language = 0;
    DWORD version = 0;
    DWORD characteristics = 0;
    std::span<const uint8_t> data;
};

class ResourceModule {
public:
    // Parses a .res image. The bytes are copied. nullptr and *error when the
    // image is malformed (every header and size is checked).
    static std::shared_ptr<ResourceModule> FromBytes(const uint8_t* data, size_t size,
                                                     std::string* error = nullptr);
    // Reads a .res file (a host path).
    static std::shared_ptr<ResourceModule> FromFile(const std::string& hostPath,
                                                    std::string* error = nullptr);

    const std::vector<Resource>& Resources() const { return resources_; }
    // The first resource of the type and name; with a language, an exact
    // language match is preferred.
    const Resource* Find(const ResName& type, const ResName& name,
                         std::optional<WORD> language = std::nullopt) const;
    // A string from the string tables: block id / 16 + 1, entry id % 16.
    std::optional<WString> LoadString(UINT id) const;
    // Every string id and text (for checks and tools), in id order.
    std::vector<std::pair<UINT, WString>> AllStrings() const;

private:
    std::vector<uint8_t> bytes_;
    std::vector<Resource> resources_;
};

// ---- module handles ----

// Makes a module reachable through an HINSTANCE. The handle stays valid until
// UnregisterModule.
HINSTANCE RegisterModule(std::shared_ptr<ResourceModule> module);
void UnregisterModule(HINSTANCE handle);
std::shared_ptr<ResourceModule> ModuleFromHandle(HINSTANCE handle);

// The program's own resources, embedded in the executable; the build's
// generated source calls SetProgramResources at start-up.
void SetProgramResources(const uint8_t* data, size_t size);
HINSTANCE GetProgramModule();
// The module that message boxes, string loading and dialogs use when given
// no handle: the language library when one is loaded, else the program.
HINSTANCE GetResourceHandle();
void SetResourceHandle(HINSTANCE handle);

// Lookups through a handle. nullptr searches the current resource handle and
// then, when that is a language library, the program's own resources.
std::span<const uint8_t> FindResourceData(HINSTANCE handle, const ResName& type,
                                          const ResName& name);
// Copies the string into buffer (truncated, terminated); returns its length,
// 0 when missing. size 0 is not supported.
int LoadString(HINSTANCE handle, UINT id, WChar* buffer, int size);
// The string, or empty when missing.
WString LoadStringText(HINSTANCE handle, UINT id);

// Replaces %1 ... %9 by the arguments; "%%" stays "%%" as the platform's
// message formatting does; a missing argument leaves the marker.
WString FormatMessageText(WStringView pattern, const std::vector<WString>& args);

// Forgets every registered module and the current handle. For tests.
void ResetForTests();

}  // namespace res
