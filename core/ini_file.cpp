#include "core/ini_file.h"

#include <algorithm>
#include <vector>

#include "core/file_stream.h"
#include "core/text_helpers.h"
#include "platform/fs/fs.h"

namespace {

bool IsValidUtf8(const std::string& bytes) {
    return text::ToUtf8(text::FromUtf8(bytes)) == bytes;
}

bool HasHighBytes(const std::string& bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Characters up to 32 (blanks and control characters) at both ends go.
WString TrimControls(WStringView s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= 32) ++b;
    while (e > b && s[e - 1] <= 32) --e;
    return WString(s.substr(b, e - b));
}

// A value or name on one line: CR and LF would start another line.
WString OneLine(const WString& s) {
    WString out = s;
    std::replace(out.begin(), out.end(), u'\r', u' ');
    std::replace(out.begin(), out.end(), u'\n', u' ');
    return out;
}

}  // namespace

BYTE HexPairToByte(const WChar* text) {
    if (!text) return 0;
    int hi = text::HexDigit(text[0]);
    if (hi < 0) return 0;
    int lo = text::HexDigit(text[1]);
    return static_cast<BYTE>(lo < 0 ? hi * 16 : hi * 16 + lo);
}

bool CIniFile::Load(WStringView path) {
    m_sections.clear();
    m_byteOrderMark = false;
    m_unreadPath.clear();
    CFileStream file;
    if (!file.Open(path, CFileStream::modeRead | CFileStream::shareDenyWrite)) {
        // A file that does not exist yet is an empty one; any other failure
        // keeps Save from replacing what could not be read.
        const uint32_t error = fs::GetLastError();
        if (error == fs::kErrorFileNotFound) return true;
        m_unreadPath = path;
        fs::SetLastError(error);
        return false;
    }
    WString all;
    bool complete = true;
    try {
        if (file.DetectBom()) {
            m_encoding = file.GetEncoding();
            m_byteOrderMark = true;
            all = file.ReadToEnd();
        } else {
            file.SetEncoding(ansi);
            std::string bytes = text::ToLatin1(file.ReadToEnd());
            m_encoding = HasHighBytes(bytes) && IsValidUtf8(bytes) ? utf8 : ansi;
            all = m_encoding == utf8 ? text::FromUtf8(bytes)
                                     : text::FromCodePage(bytes, text::kCpAcp);
        }
    } catch (const CFileException&) {
        // What was read stays readable, but the file is never replaced
        // from this half.
        complete = false;
        m_unreadPath = path;
    }
    file.Abort();

    CIniSection* current = nullptr;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find(u'\n', pos);
        if (end == WString::npos) end = all.size();
        WString raw;
        for (size_t i = pos; i < end; ++i)
            if (all[i] != u'\r' && all[i] != 0) raw += all[i];
        pos = end + 1;
        WString line = TrimControls(raw);
        if (line.size() < 2) continue;
        if (line.size() >= 3 && line.front() == u'[' && line.back() == u']') {
            WString name = text::ToUpper(text::Trim(line.substr(1, line.size() - 2)));
            current = nullptr;
            if (name.empty()) continue;  // keys under "[ ]" are dropped, not misfiled
            auto& slot = m_sections[name];
            if (!slot) slot = std::make_unique<CIniSection>();
            current = slot.get();
            continue;
        }
        size_t eq = line.find(u'=');
        if (!current || eq == WString::npos) continue;
        WString key = text::ToUpper(text::TrimRight(line.substr(0, eq)));
        (*current)[key] = text::TrimLeft(line.substr(eq + 1));
    }
    return complete;
}

bool CIniFile::Save(WStringView path) const {
    if (!m_unreadPath.empty() && text::ToUpper(m_unreadPath) == text::ToUpper(path) &&
        fs::Exists(path)) {
        fs::SetLastError(fs::kErrorAccessDenied);
        return false;
    }
    std::vector<const WString*> names;
    for (const auto& [name, section] : m_sections)
        if (section && !section->empty()) names.push_back(&name);
    std::sort(names.begin(), names.end(), [](auto a, auto b) { return *a < *b; });
    WString out;
    for (const WString* name : names) {
        const CIniSection& section = *m_sections.at(*name);
        out += u"[" + OneLine(*name) + u"]\r\n";
        std::vector<const std::pair<const WString, WString>*> keys;
        for (const auto& kv : section) keys.push_back(&kv);
        std::sort(keys.begin(), keys.end(), [](auto a, auto b) { return a->first < b->first; });
        for (const auto* kv : keys)
            out += OneLine(kv->first) + u"=" + OneLine(kv->second) + u"\r\n";
        out += u"\r\n";
    }
    if (m_encoding == ansi) {
        bool lossless = true;
        std::string bytes = text::ToCodePage(out, text::kCpAcp, &lossless);
        // ANSI bytes that would read back as UTF-8 go out as marked UTF-8, as
        // does text the code page cannot hold: nothing may change on reading.
        if (lossless && !(HasHighBytes(bytes) && IsValidUtf8(bytes)))
            return WriteTextFile(path, text::FromLatin1(bytes), ansi);
        return WriteTextFile(path, u"\uFEFF" + out, utf8);
    }
    if (m_encoding == utf16) return WriteTextFile(path, out, utf16);
    return WriteTextFile(path, m_byteOrderMark ? u"\uFEFF" + out : out, utf8);
}

void CIniFile::SetString(WStringView section, WStringView key, const WChar* value) {
    auto& slot = m_sections[text::ToUpper(section)];
    if (!slot) slot = std::make_unique<CIniSection>();
    WString k = text::ToUpper(key);
    slot->erase(k);
    if (value) (*slot)[k] = value;
}

bool CIniFile::Lookup(WString& value, WStringView section, WStringView key,
                      const WChar* defaultValue) const {
    if (defaultValue) value = defaultValue;
    auto s = m_sections.find(text::ToUpper(section));
    if (s == m_sections.end() || !s->second) return false;
    auto k = s->second->find(text::ToUpper(key));
    if (k != s->second->end()) value = k->second;
    return true;
}

WString CIniFile::GetString(WStringView section, WStringView key, const WChar* defaultValue) const {
    WString value;
    Lookup(value, section, key, defaultValue ? defaultValue : u"");
    return value;
}

void CIniFile::SetInt(WStringView section, WStringView key, int value) {
    SetString(section, key, text::Format(u"%d", value).c_str());
}

void CIniFile::SetUInt(WStringView section, WStringView key, unsigned value) {
    SetString(section, key, text::Format(u"%u", value).c_str());
}

int CIniFile::GetInt(WStringView section, WStringView key, int defaultValue) const {
    WString def = text::Format(u"%d", defaultValue);
    return TextToInt(GetString(section, key, def.c_str()));
}

void CIniFile::SetDouble(WStringView section, WStringView key, double value) {
    SetString(section, key, text::Format(u"%.20g", value).c_str());
}

double CIniFile::GetDouble(WStringView section, WStringView key, double defaultValue) const {
    WString def = text::Format(u"%.15g", defaultValue);
    return text::ParseDouble(GetString(section, key, def.c_str()).c_str());
}

void CIniFile::SetBool(WStringView section, WStringView key, bool value) {
    SetString(section, key, value ? u"1" : u"0");
}

bool CIniFile::GetBool(WStringView section, WStringView key, bool defaultValue) const {
    WString v = GetString(section, key, defaultValue ? u"T" : u"F");
    if (v.empty()) return false;
    WChar c = text::ToUpperChar(v[0]);
    return c == u'1' || c == u'T' || c == u'Y';
}

void CIniFile::SetHex(WStringView section, WStringView key, int value) {
    SetString(section, key, text::Format(u"%06X", value).c_str());
}

int CIniFile::GetHex(WStringView section, WStringView key, int defaultValue) const {
    WString def = text::Format(u"%06X", defaultValue);
    return HexTextToInt(GetString(section, key, def.c_str()));
}

int CIniFile::GetBinary(BYTE* buffer, int size, WStringView section, WStringView key) const {
    WString v = GetString(section, key);
    int count = 0;
    for (size_t i = 0; count < size && i + 2 <= v.size(); i += 2)
        buffer[count++] = HexPairToByte(v.c_str() + i);
    return count;
}

bool CIniFile::GetIntPair(POINT& point, WStringView section, WStringView key) const {
    WString v = GetString(section, key, u"0 0");
    size_t used = 0;
    int32_t x = text::ParseLong(WStringView(v), &used);
    if (used == 0) return false;
    WStringView rest = WStringView(v).substr(used);
    size_t used2 = 0;
    int32_t y = text::ParseLong(rest, &used2);
    if (used2 == 0) return false;
    point.x = x;
    point.y = y;
    return true;
}

bool CIniFile::GetShortPair(short& first, short& second, WStringView section,
                            WStringView key) const {
    POINT p;
    if (!GetIntPair(p, section, key)) return false;
    first = static_cast<short>(p.x);
    second = static_cast<short>(p.y);
    return true;
}
