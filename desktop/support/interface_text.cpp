#include "desktop/support/interface_text.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace zntools {
namespace {

std::atomic<unsigned> g_codePage{text::kCpUtf8};

// Decodes UTF-8 (4-byte sequences and CESU-8 pairs alike) strictly: false on
// any malformed byte or unpaired surrogate.
bool DecodeStrict(std::string_view s, WString* out) {
    const char* p = s.data();
    const char* e = p + s.size();
    while (p < e) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            *out += static_cast<WChar>(*p++);
            continue;
        }
        char32_t cp;
        if (!text::DecodeUtf8(p, e, cp)) return false;
        text::AppendCodePoint(*out, cp);
    }
    return true;
}

bool HasLoneSurrogate(WStringView s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const WChar c = s[i];
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] >= 0xE000) return true;
            ++i;
        } else if (c >= 0xDC00 && c < 0xE000) {
            return true;
        }
    }
    return false;
}

// Length of the UTF-8 sequence whose lead byte is c (1 for stray bytes).
size_t SequenceLength(unsigned char c) {
    return c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
}

}  // namespace

unsigned InterfaceCodePage() {
    return g_codePage.load(std::memory_order_relaxed);
}

void InitInterfaceCodePage() {
    unsigned cp = text::kCpUtf8;
    if (const char* v = std::getenv("ZNTOOLS3_CODEPAGE"); v && *v) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(v, &end, 10);
        if (end && *end == '\0' && n > 1 && n < 65536 && text::IsCodePageSupported(static_cast<unsigned>(n)))
            cp = static_cast<unsigned>(n);
    }
    g_codePage.store(cp, std::memory_order_relaxed);
}

std::optional<std::string> FromInterface(const char* s) {
    if (!s) return std::nullopt;
    const std::string_view bytes(s);
    const unsigned cp = InterfaceCodePage();
    WString wide;
    if (cp == text::kCpUtf8) {
        if (!DecodeStrict(bytes, &wide)) return std::nullopt;
    } else {
        bool ok = false;
        wide = text::FromCodePage(bytes, cp, &ok);
        if (!ok || wide.find(u'\uFFFD') != WString::npos) return std::nullopt;
    }
    if (HasLoneSurrogate(wide)) return std::nullopt;
    return text::ToUtf8(wide);
}

std::string ToInterface(std::string_view utf8) {
    const unsigned cp = InterfaceCodePage();
    if (cp == text::kCpUtf8) return std::string(utf8);
    return text::ToCodePage(text::FromUtf8(utf8), cp);
}

void CopyToBuffer(std::string_view utf8, char* buffer, int32_t size) {
    if (!buffer || size < 1) return;
    std::memset(buffer, 0, static_cast<size_t>(size));
    const size_t room = static_cast<size_t>(size) - 1;
    const unsigned cp = InterfaceCodePage();
    if (cp == text::kCpUtf8) {
        size_t n = 0;
        while (n < utf8.size()) {
            const size_t len = SequenceLength(static_cast<unsigned char>(utf8[n]));
            if (n + len > room || n + len > utf8.size()) break;
            n += len;
        }
        std::memcpy(buffer, utf8.data(), n);
        return;
    }
    const std::string whole = ToInterface(utf8);
    if (whole.size() <= room) {
        std::memcpy(buffer, whole.data(), whole.size());
        return;
    }
    // Too long: add whole characters (a surrogate pair is one) while they fit.
    const WString wide = text::FromUtf8(utf8);
    size_t used = 0;
    for (size_t i = 0; i < wide.size();) {
        size_t units = (wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < wide.size()) ? 2 : 1;
        const std::string one = text::ToCodePage(WStringView(wide).substr(i, units), cp);
        if (used + one.size() > room) break;
        std::memcpy(buffer + used, one.data(), one.size());
        used += one.size();
        i += units;
    }
}


void AppendHandheldUtf8(std::string& out, char16_t u) {
    // One unit at a time: a surrogate is written alone, as its 3-byte form.
    out += text::ToUtf8(WStringView(&u, 1));
}

}  // namespace zntools
