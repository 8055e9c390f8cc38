// INI-style settings files of sections and key=value lines, read whole into
// memory, changed there and written back at once. Section and key names are
// stored and looked up in upper case; values keep their case. Saving writes
// sections and keys in name order, without the file's comments.
//
// Text: a file with a byte-order mark is read in that encoding; otherwise a
// file that is valid UTF-8 and not plain ASCII is read as UTF-8, anything
// else in the ANSI code page. Save writes the encoding that was read (ANSI
// for a new file), switching to UTF-8 with a mark when the ANSI code page
// cannot hold the text or its bytes would read back as UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/text/text.h"
#include "platform/types.h"

class CIniSection : public std::unordered_map<WString, WString> {};
class CIniSectionMap : public std::unordered_map<WString, std::unique_ptr<CIniSection>> {};

// Two hexadecimal digits: 0 when the first is not one, the first digit
// times 16 when only the second is not one.
BYTE HexPairToByte(const WChar* text);

class CIniFile {
public:
    enum Encoding { ansi = 0, utf8 = 1, utf16 = 2 };

    CIniFile() = default;
    virtual ~CIniFile() = default;

    // Clears, then reads the file. A missing file leaves the object empty and
    // is no failure; a file that exists but cannot be opened or read whole
    // gives false (keeping what was read).
    bool Load(WStringView path);
    // False when the file cannot be written; the old file is then intact.
    // After a failed Load, an existing file of that name is never replaced
    // (false, kErrorAccessDenied).
    bool Save(WStringView path) const;

    // A null value removes the key (the section stays, and is not saved
    // while it has no keys).
    void SetString(WStringView section, WStringView key, const WChar* value);
    // `value` starts as the default (when one is given) and becomes the
    // stored text when there is one; the result tells whether the section exists.
    bool Lookup(WString& value, WStringView section, WStringView key,
                const WChar* defaultValue = nullptr) const;
    WString GetString(WStringView section, WStringView key,
                      const WChar* defaultValue = nullptr) const;

    void SetInt(WStringView section, WStringView key, int value);
    void SetUInt(WStringView section, WStringView key, unsigned value);
    int GetInt(WStringView section, WStringView key, int defaultValue) const;
    void SetDouble(WStringView section, WStringView key, double value);
    double GetDouble(WStringView section, WStringView key, double defaultValue) const;
    void SetBool(WStringView section, WStringView key, bool value);
    // True when the text starts with 1, T or Y (either case).
    bool GetBool(WStringView section, WStringView key, bool defaultValue) const;
    void SetHex(WStringView section, WStringView key, int value);
    int GetHex(WStringView section, WStringView key, int defaultValue) const;
    // Pairs of hexadecimal digits into bytes; returns the count.
    int GetBinary(BYTE* buffer, int size, WStringView section, WStringView key) const;
    // "x y"; false when fewer than two numbers scan. An absent key gives 0 0.
    bool GetIntPair(POINT& point, WStringView section, WStringView key) const;
    bool GetShortPair(short& first, short& second, WStringView section, WStringView key) const;

    const CIniSectionMap& GetSections() const { return m_sections; }
    int GetEncoding() const { return m_encoding; }
    void SetEncoding(int encoding) { m_encoding = encoding; }

private:
    CIniSectionMap m_sections;
    int m_encoding = ansi;
    bool m_byteOrderMark = false;
    WString m_unreadPath;  // the file the last Load could not read whole
};
