// Registry and application profile store.
//
// Keys are `\` paths under a hive, compared without regard to case; values
// are strings, 32-bit numbers or binary. The store is one UTF-8 text file
// (`$XDG_CONFIG_HOME/zarnip/registry.txt`, else `~/.config/zarnip/`), read on
// first use and rewritten whole (temporary file, then rename) after every
// change. Tests point it at their own file, or at none to keep it in memory.
//
// The profile calls are the framework's: sections and entries below the
// program's key, `HKEY_CURRENT_USER\Software\<company>\<program>`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/text.h"

namespace sys {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegString = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct RegValue {
    uint32_t type = kRegNone;
    WString text;                // kRegString
    uint32_t number = 0;         // kRegDword
    std::vector<uint8_t> bytes;  // kRegBinary
};

// False when the key or value is missing.
bool RegQueryValue(Hive hive, WStringView key, WStringView name, RegValue* value);
// Creates the key (and the keys above it) as needed. False when the store
// could not be saved (the value is kept in memory all the same).
bool RegSetString(Hive hive, WStringView key, WStringView name, WStringView value);
bool RegSetDword(Hive hive, WStringView key, WStringView name, uint32_t value);
bool RegSetBinary(Hive hive, WStringView key, WStringView name, const void* data, size_t n);
// False when the value did not exist, or when the store could not be saved
// (the value is gone from memory all the same).
bool RegDeleteValue(Hive hive, WStringView key, WStringView name);
// Deletes the key with everything below it; false when it did not exist, or
// as above when the store could not be saved.
bool RegDeleteKey(Hive hive, WStringView key);
bool RegKeyExists(Hive hive, WStringView key);
// Names of the direct subkeys / of the values of a key, in sorted order.
std::vector<WString> RegEnumKeys(Hive hive, WStringView key);
std::vector<WString> RegEnumValues(Hive hive, WStringView key);

// ---- application profile ----

// The program's key becomes Software\<company>\<program>.
void SetProfileKey(WStringView company, WStringView program);
WString GetProfileKey();
WString GetProfileString(WStringView section, WStringView entry, WStringView defaultValue = {});
// A null value deletes the entry.
bool WriteProfileString(WStringView section, WStringView entry, const WChar* value);
int32_t GetProfileInt(WStringView section, WStringView entry, int32_t defaultValue);
bool WriteProfileInt(WStringView section, WStringView entry, int32_t value);
bool GetProfileBinary(WStringView section, WStringView entry, std::vector<uint8_t>* bytes);
bool WriteProfileBinary(WStringView section, WStringView entry, const void* data, size_t n);
bool DeleteProfileSection(WStringView section);

// ---- store location (tests) ----

// The host file of the store; an empty text keeps the store in memory only.
// Drops what was loaded; the next call reads the new file.
void SetRegistryFile(const std::string& hostPath);
// True once (the first call after the store was read) when the store's file
// exists but could not be read whole. Such a store is never rewritten: every
// change stays in memory and the calls that change it return false.
bool RegistryReadFailed();
// Back to the default location and the default profile key.
void ResetRegistry();
std::string GetRegistryFile();

}  // namespace sys
