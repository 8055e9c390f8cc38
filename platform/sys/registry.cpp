#include "platform/sys/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"

namespace sys {

namespace {

struct NamedValue {
    WString name;
    RegValue value;
};

struct Key {
    WString path;                          // as first written, hive included
    std::map<WString, NamedValue> values;  // by lower-case name
};

struct Store {
    bool loaded = false;
    // The file exists but could not be read whole: it is never rewritten,
    // and the store lives in memory until the program ends.
    bool unreadable = false;
    bool unreadableReported = false;
    bool fileSet = false;
    std::string file;
    std::map<WString, Key> keys;  // by lower-case path
    WString profileKey = u"Software\\Zarnip\\Zarnip";
};

std::mutex g_mutex;
Store g_store;

std::string DefaultFile() {
    const std::string base = fs::HostConfigFolder();
    return base.empty() ? base : base + "/zarnip/registry.txt";
}

const char16_t* HiveName(Hive hive) {
    if (hive == Hive::ClassesRoot) return u"HKEY_CLASSES_ROOT";
    return hive == Hive::LocalMachine ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER";
}

// "HIVE\a\b" with collapsed separators; empty parts dropped.
WString FullPath(Hive hive, WStringView key) {
    WString out = HiveName(hive);
    size_t i = 0;
    while (i < key.size()) {
        size_t j = key.find_first_of(u"\\/", i);
        if (j == WStringView::npos) j = key.size();
        if (j > i) out += u"\\" + WString(key.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

std::string Escape(WStringView s) {
    std::string out = "\"";
    for (char c : text::ToUtf8(s)) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

// Reads a quoted text at s[*i]; false when malformed.
bool Unescape(const std::string& s, size_t* i, WString* out) {
    if (*i >= s.size() || s[*i] != '"') return false;
    std::string raw;
    for (size_t k = *i + 1; k < s.size(); ++k) {
        char c = s[k];
        if (c == '"') {
            *i = k + 1;
            *out = text::FromUtf8(raw);
            return true;
        }
        if (c == '\\') {
            if (++k >= s.size()) return false;
            char e = s[k];
            raw += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        } else {
            raw += c;
        }
    }
    return false;
}

int HexDigit(char c) {
    return text::HexDigit(static_cast<unsigned char>(c));
}

Key& MakeKey(Store& st, const WString& full) {
    // The keys above it exist too, so that they enumerate.
    for (size_t j = full.find(u'\\'); j != WString::npos; j = full.find(u'\\', j + 1)) {
        WString parent = full.substr(0, j);
        auto& k = st.keys[text::ToLower(parent)];
        if (k.path.empty()) k.path = parent;
    }
    auto& k = st.keys[text::ToLower(full)];
    if (k.path.empty()) k.path = full;
    return k;
}

void Parse(Store& st, const std::string& data) {
    Key* cur = nullptr;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find('\n', pos);
        if (end == std::string::npos) end = data.size();
        std::string line = data.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            cur = nullptr;
            if (close == std::string::npos || close < 2) continue;
            WString path = text::FromUtf8(line.substr(1, close - 1));
            auto under = [&](WStringView hive) {
                return path.rfind(hive, 0) == 0 &&
                       (path.size() == hive.size() || path[hive.size()] == u'\\');
            };
            if (under(u"HKEY_CURRENT_USER"))
                cur = &MakeKey(st, FullPath(Hive::CurrentUser, path.substr(17)));
            else if (under(u"HKEY_LOCAL_MACHINE"))
                cur = &MakeKey(st, FullPath(Hive::LocalMachine, path.substr(18)));
            else if (under(u"HKEY_CLASSES_ROOT"))
                cur = &MakeKey(st, FullPath(Hive::ClassesRoot, path.substr(17)));
            continue;
        }
        if (!cur) continue;
        size_t i = 0;
        WString name;
        if (line[0] == '@') {
            i = 1;
        } else if (!Unescape(line, &i, &name)) {
            continue;
        }
        if (i >= line.size() || line[i] != '=') continue;
        ++i;
        RegValue v;
        if (line.compare(i, 6, "dword:") == 0) {
            std::string digits = line.substr(i + 6);
            if (digits.empty() || digits.size() > 8) continue;
            uint32_t n = 0;
            bool ok = true;
            for (char c : digits) {
                int d = HexDigit(c);
                ok = ok && d >= 0;
                n = n * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
            }
            if (!ok) continue;
            v.type = kRegDword;
            v.number = n;
        } else if (line.compare(i, 4, "hex:") == 0) {
            v.type = kRegBinary;
            bool ok = true;
            for (size_t k = i + 4; k < line.size() && ok;) {
                int hi = HexDigit(line[k]);
                int lo = k + 1 < line.size() ? HexDigit(line[k + 1]) : -1;
                ok = hi >= 0 && lo >= 0;
                if (ok) v.bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
                k += 2;
                if (k < line.size()) ok = ok && line[k++] == ',';
            }
            if (!ok) continue;
        } else {
            if (!Unescape(line, &i, &v.text) || i != line.size()) continue;
            v.type = kRegString;
        }
        cur->values[text::ToLower(name)] = NamedValue{name, std::move(v)};
    }
}

std::string Serialise(const Store& st) {
    std::string out = "; Zarnip registry, UTF-8\r\n";
    for (const auto& [lower, key] : st.keys) {
        out += "\r\n[" + text::ToUtf8(key.path) + "]\r\n";
        for (const auto& [lname, nv] : key.values) {
            out += nv.name.empty() ? "@" : Escape(nv.name);
            out += "=";
            const RegValue& v = nv.value;
            if (v.type == kRegDword) {
                out += text::FormatA("dword:%08x", v.number);
            } else if (v.type == kRegBinary) {
                out += "hex:";
                for (size_t k = 0; k < v.bytes.size(); ++k)
                    out += text::FormatA(k ? ",%02x" : "%02x", v.bytes[k]);
            } else {
                out += Escape(v.text);
            }
            out += "\r\n";
        }
    }
    return out;
}

void EnsureLoaded(Store& st) {
    if (st.loaded) return;
    st.loaded = true;
    if (!st.fileSet) {
        st.file = DefaultFile();
        st.fileSet = true;
    }
    if (st.file.empty()) return;
    std::string data;
    if (!fs::ReadWholeHostFile(st.file, &data)) {
        // No file yet is an empty store; any other failure is not.
        const uint32_t error = fs::GetLastError();
        st.unreadable = error != fs::kErrorFileNotFound && error != fs::kErrorPathNotFound;
    }
    // A store read in part keeps what it read, in memory only.
    Parse(st, data);
}

bool MakeFolders(const std::string& path) {
    for (size_t j = path.find('/', 1); j != std::string::npos; j = path.find('/', j + 1)) {
        std::string dir = path.substr(0, j);
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Rewrites the file through a temporary file beside it.
bool Save(const Store& st) {
    if (st.file.empty()) return true;
    if (st.unreadable) return false;
    if (!MakeFolders(st.file)) return false;
    const std::string data = Serialise(st);
    return fs::WriteWholeHostFile(st.file, data.data(), data.size());
}

bool SetValue(Hive hive, WStringView key, WStringView name, RegValue v) {
    // A key's path is one line of the file, unescaped: a line break in it
    // would start keys and values there that were never written.
    if (key.find_first_of(u"\r\n") != WStringView::npos) return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureLoaded(g_store);
    Key& k = MakeKey(g_store, FullPath(hive, key));
    k.values[text::ToLower(name)] = NamedValue{WString(name), std::move(v)};
    return Save(g_store);
}

WString ProfilePath(WStringView section) {
    std::lock_guard<std::mutex> lock(g_mutex);
    WString path = g_store.profileKey;
    if (!section.empty()) path += u"\\" + WString(section);
    return path;
}

}  // namespace

bool RegQueryValue(Hive hive, WStringView key, WStringView name, RegValue* value) {
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureLoaded(g_store);
    auto k = g_store.keys.find(text::ToLower(FullPath(hive, key)));
    if (k == g_store.keys.end()) return false;
    auto v = k->second.values.find(text::ToLower(name));
    if (v == k->second.values.end()) return false;
    *value = v->second.value;
    return true;
}

bool RegSetString(Hive hive, WStringView key, WStringView name, WStringView value) {
    RegValue v;
    v.type = kRegString;
    v.text = value;
    return SetValue(hive, key, name, std::move(v));
}

bool RegSetDword(Hive hive, WStringView key, WStringView name, uint32_t value) {
    RegValue v;
    v.type = kRegDword;
    v.number = value;
    return SetValue(hive, key, name, std::move(v));
}

bool RegSetBinary(Hive hive, WStringView key, WStringView name, const void* data, size_t n) {
    RegValue v;
    v.type = kRegBinary;
    const auto* p = static_cast<const uint8_t*>(data);
    v.bytes.assign(p, p + n);
    return SetValue(hive, key, name, std::move(v));
}

bool RegDeleteValue(Hive hive, WStringView key, WStringView name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureLoaded(g_store);
    auto k = g_store.keys.find(text::ToLower(FullPath(hive, key)));
    if (k == g_store.keys.end() || k->second.values.erase(text::ToLower(name)) == 0) return false;
    return Save(g_store);
}

bool RegDeleteKey(Hive hive, WStringView key) {
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureLoaded(g_store);
    WString lower = text::ToLower(FullPath(hive, key));
    if (lower.find(u'\\') == WString::npos) return false;  // never a whole hive
    auto it = g_store.keys.find(lower);
    if (it == g_store.keys.end()) return false;
    WString prefix = lower + u"\\";
    g_store.keys.erase(it);
    it = g_store.keys.lower_bound(prefix);
    while (it != g_store.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0)
        it = g_store.keys.erase(it);
    return Save(g_store);
}

bool RegKeyExists(Hive hive, WStringView key) {
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureLoaded(g_store);
    return g_store.keys.count(text::ToLower(FullPath(hive, key))) != 0;
}

std::vector<WString> RegEnumKeys(Hive hive, WStringView key) {
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureLoaded(g_store);
    WString prefix = text::ToLower(FullPath(hive, key)) + u"\\";
    std::vector<WString> out;
    for (auto it = g_store.keys.lower_bound(prefix);
         it != g_store.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.find(u'\\', prefix.size()) != WString::npos) continue;
        out.push_back(it->second.path.substr(prefix.size()));
    }
    return out;
}

std::vector<WString> RegEnumValues(Hive hive, WStringView key) {
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureLoaded(g_store);
    std::vector<WString> out;
    auto k = g_store.keys.find(text::ToLower(FullPath(hive, key)));
    if (k != g_store.keys.end())
        for (const auto& [lower, nv] : k->second.values) out.push_back(nv.name);
    return out;
}

void SetProfileKey(WStringView company, WStringView program) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_store.profileKey = u"Software\\" + WString(company) + u"\\" + WString(program);
}

WString GetProfileKey() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_store.profileKey;
}

WString GetProfileString(WStringView section, WStringView entry, WStringView defaultValue) {
    RegValue v;
    if (RegQueryValue(Hive::CurrentUser, ProfilePath(section), entry, &v) && v.type == kRegString)
        return v.text;
    return WString(defaultValue);
}

bool WriteProfileString(WStringView section, WStringView entry, const WChar* value) {
    if (!value) {
        RegDeleteValue(Hive::CurrentUser, ProfilePath(section), entry);
        return true;
    }
    return RegSetString(Hive::CurrentUser, ProfilePath(section), entry, value);
}

int32_t GetProfileInt(WStringView section, WStringView entry, int32_t defaultValue) {
    RegValue v;
    if (RegQueryValue(Hive::CurrentUser, ProfilePath(section), entry, &v) && v.type == kRegDword)
        return static_cast<int32_t>(v.number);
    return defaultValue;
}

bool WriteProfileInt(WStringView section, WStringView entry, int32_t value) {
    return RegSetDword(Hive::CurrentUser, ProfilePath(section), entry,
                       static_cast<uint32_t>(value));
}

bool GetProfileBinary(WStringView section, WStringView entry, std::vector<uint8_t>* bytes) {
    RegValue v;
    if (!RegQueryValue(Hive::CurrentUser, ProfilePath(section), entry, &v) || v.type != kRegBinary)
        return false;
    *bytes = std::move(v.bytes);
    return true;
}

bool WriteProfileBinary(WStringView section, WStringView entry, const void* data, size_t n) {
    return RegSetBinary(Hive::CurrentUser, ProfilePath(section), entry, data, n);
}

bool DeleteProfileSection(WStringView section) {
    if (section.empty()) return false;
    return RegDeleteKey(Hive::CurrentUser, ProfilePath(section));
}

void SetRegistryFile(const std::string& hostPath) {
    std::lock_guard<std::mutex> lock(g_mutex);
    WString key = g_store.profileKey;
    g_store = Store{};
    g_store.fileSet = true;
    g_store.file = hostPath;
    g_store.profileKey = key;
}

void ResetRegistry() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_store = Store{};
}

bool RegistryReadFailed() {
    std::lock_guard<std::mutex> lock(g_mutex);
    EnsureLoaded(g_store);
    if (!g_store.unreadable || g_store.unreadableReported) return false;
    g_store.unreadableReported = true;
    return true;
}

std::string GetRegistryFile() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_store.fileSet ? g_store.file : DefaultFile();
}

}  // namespace sys
