#include "formats/dbf/dbf_codepage.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {

struct LdidRow {
    uint8_t id;
    uint16_t codePage;
};

// Searched in this order in both directions; the first match wins.
constexpr LdidRow kLdidTable[] = {
    {0x01, 437},   {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x08, 865},   {0x09, 437},
    {0x0A, 850},   {0x0B, 437},  {0x0D, 437},  {0x0E, 850},   {0x0F, 437},   {0x10, 850},
    {0x11, 437},   {0x12, 850},  {0x13, 932},  {0x14, 850},   {0x15, 437},   {0x16, 850},
    {0x17, 865},   {0x18, 437},  {0x19, 437},  {0x1A, 850},   {0x1B, 437},   {0x1C, 863},
    {0x1D, 850},   {0x1F, 852},  {0x20, 867},  {0x22, 852},   {0x23, 852},   {0x24, 860},
    {0x25, 850},   {0x26, 866},  {0x37, 850},  {0x40, 852},   {0x4D, 936},   {0x4E, 949},
    {0x4F, 950},   {0x50, 874},  {0x57, 1252}, {0x58, 1252},  {0x59, 1252},  {0x64, 852},
    {0x65, 866},   {0x66, 865},  {0x67, 861},  {0x68, 895},   {0x69, 620},   {0x6A, 737},
    {0x6B, 857},   {0x6C, 863},  {0x78, 950},  {0x79, 949},   {0x7A, 936},   {0x7B, 932},
    {0x7C, 874},   {0x86, 737},  {0x87, 852},  {0x88, 857},   {0x96, 10007}, {0x97, 10029},
    {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254},  {0xCB, 1253},  {0xCC, 1257},
};
static_assert(sizeof kLdidTable / sizeof kLdidTable[0] == 66);

std::atomic<unsigned> g_ansi{1252};
std::atomic<unsigned> g_oem{437};

unsigned Resolve(unsigned codePage) {
    return codePage == 0 ? g_ansi.load() : codePage;
}

bool IsAscii(const WChar* s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (s[i] >= 0x80) return false;
    return true;
}

bool IsAscii(const uint8_t* s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (s[i] >= 0x80) return false;
    return true;
}

}  // namespace

unsigned DbfDeviceAnsiCodePage() {
    return g_ansi;
}
unsigned DbfDeviceOemCodePage() {
    return g_oem;
}
void DbfSetDeviceCodePages(unsigned ansi, unsigned oem) {
    g_ansi = ansi;
    g_oem = oem;
}
void DbfResetDeviceCodePages() {
    DbfSetDeviceCodePages(1252, 437);
}

unsigned DbfLdidToCodePage(int id) {
    const uint8_t b = static_cast<uint8_t>(id);
    for (const auto& row : kLdidTable)
        if (row.id == b) return row.codePage;
    return 0;
}

int DbfCodePageToLdid(unsigned codePage) {
    for (const auto& row : kLdidTable)
        if (row.codePage == codePage) return row.id;
    return 0;
}

unsigned DbfIsoCodePage() {
    switch (unsigned ansi = g_ansi) {
        case 932:
            return 885932;
        case 950:
            return 885950;
        case 1250:
            return 88592;
        case 1251:
            return 88595;
        case 1252:
            return 88591;
        case 1253:
            return 88597;
        case 1254:
            return 88593;
        case 1255:
            return 88598;
        case 1256:
            return 88596;
        case 1257:
            return 88594;
        default:
            return ansi;
    }
}

unsigned DbfCodePageFromName(std::string_view text) {
    text = text.substr(0, 32);
    unsigned number = 0;
    int digits = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9' && digits < 7) {
            number = number * 10 + static_cast<unsigned>(c - '0');
            ++digits;
        }
    }
    if (number > 436 && number < 885951) return number;
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    auto has = [&](const char* name) { return upper.find(name) != std::string::npos; };
    // Other programs name UTF-8 tables "UTF-8"; its lone digit would give 8.
    if (has("UTF-8") || has("UTF8")) return text::kCpUtf8;
    if (has("BIG5")) return 950;
    if (has("SJIS")) return 932;
    if (has("OEM")) return g_oem;
    if (has("ANSI")) return g_ansi;
    if (has("EUC") || has("ISO")) return DbfIsoCodePage();
    return number;
}

bool DbfIsCodePageSupported(unsigned codePage) {
    return codePage == 0 || text::IsCodePageSupported(codePage);
}

void DbfTextToTable(unsigned codePage, const WChar* s, int length, uint8_t* field,
                    int fieldLength) {
    if (fieldLength <= 0) return;
    memset(field, ' ', static_cast<size_t>(fieldLength));
    if (!s) return;
    const size_t n = length < 0 ? text::Length(s) : static_cast<size_t>(length);
    const size_t room = static_cast<size_t>(fieldLength);
    if (IsAscii(s, n)) {
        for (size_t i = 0; i < n && i < room; ++i) field[i] = static_cast<uint8_t>(s[i]);
        return;
    }
    const unsigned cp = Resolve(codePage);
    std::string bytes = text::ToCodePage(WStringView(s, n), cp);
    if (bytes.size() > room) {
        // Cut after the last whole character: encode character by character.
        bytes.clear();
        for (size_t i = 0; i < n;) {
            size_t len = (s[i] >= 0xD800 && s[i] < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 &&
                          s[i + 1] < 0xE000)
                             ? 2
                             : 1;
            std::string one = text::ToCodePage(WStringView(s + i, len), cp);
            if (bytes.size() + one.size() > room) break;
            bytes += one;
            i += len;
        }
    }
    memcpy(field, bytes.data(), bytes.size());
}

WString DbfTextFromTable(unsigned codePage, const uint8_t* bytes, int byteCount) {
    size_t n = byteCount > 0 ? static_cast<size_t>(byteCount) : 0;
    while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == 0)) --n;
    if (IsAscii(bytes, n)) return WString(bytes, bytes + n);
    WString w = text::FromCodePage(std::string_view(reinterpret_cast<const char*>(bytes), n),
                                   Resolve(codePage));
    while (!w.empty() && (w.back() == u' ' || w.back() == 0)) w.pop_back();
    return w;
}

WChar* DbfTextFromTable(unsigned codePage, const uint8_t* bytes, int byteCount, WChar* buffer,
                        int capacity) {
    if (capacity < 0) capacity = 0;
    size_t n = byteCount > 0 ? static_cast<size_t>(byteCount) : 0;
    while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == 0)) --n;
    if (IsAscii(bytes, n)) {
        size_t k = n < static_cast<size_t>(capacity) ? n : static_cast<size_t>(capacity);
        for (size_t i = 0; i < k; ++i) buffer[i] = bytes[i];
        buffer[k] = 0;
        return buffer;
    }
    WString w = DbfTextFromTable(codePage, bytes, byteCount);
    size_t k = w.size() < static_cast<size_t>(capacity) ? w.size() : static_cast<size_t>(capacity);
    // Never end inside a surrogate pair.
    if (k > 0 && k < w.size() && w[k - 1] >= 0xD800 && w[k - 1] < 0xDC00) --k;
    memcpy(buffer, w.data(), k * sizeof(WChar));
    buffer[k] = 0;
    return buffer;
}
