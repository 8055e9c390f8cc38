#include "platform/win/clipboard.h"

#include <cstring>
#include <map>
#include <mutex>

#include "platform/sys/thread.h"
#include "platform/win/backend.h"
#include "platform/win/window_impl.h"

namespace {

struct Clipboard {
    std::mutex m;
    bool open = false;
    DWORD openThread = 0;
    HWND openWindow = nullptr;
    HWND owner = nullptr;
    std::map<UINT, HLOCAL> data;  // the blocks handed over or handed out
};

Clipboard& C() {
    static Clipboard* c = new Clipboard;
    return *c;
}

bool HeldByMe(Clipboard& c) {
    return c.open && c.openThread == sys::GetCurrentThreadId();
}

void Drop(Clipboard& c, UINT format) {
    auto it = c.data.find(format);
    if (it == c.data.end()) return;
    LocalFree(it->second);
    c.data.erase(it);
}

void DropAll(Clipboard& c) {
    for (auto& [f, h] : c.data) LocalFree(h);
    c.data.clear();
}

WString TextOf(HLOCAL mem) {
    auto* p = static_cast<const WChar*>(LocalLock(mem));
    if (!p) return {};
    size_t units = LocalSize(mem) / sizeof(WChar);
    size_t n = 0;
    while (n < units && p[n]) ++n;
    WString s(p, n);
    LocalUnlock(mem);
    return s;
}

HLOCAL BlockOf(const WString& s) {
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE, (s.size() + 1) * sizeof(WChar));
    if (!h) return nullptr;
    auto* p = static_cast<WChar*>(LocalLock(h));
    std::memcpy(p, s.data(), s.size() * sizeof(WChar));
    p[s.size()] = 0;
    LocalUnlock(h);
    return h;
}

}  // namespace

bool OpenClipboard(HWND owner) {
    if (owner && !IsWindow(owner)) return false;
    Clipboard& c = C();
    std::lock_guard<std::mutex> lock(c.m);
    if (c.open) return false;
    c.open = true;
    c.openThread = sys::GetCurrentThreadId();
    c.openWindow = owner;
    return true;
}

bool CloseClipboard() {
    Clipboard& c = C();
    std::lock_guard<std::mutex> lock(c.m);
    if (!HeldByMe(c)) return false;
    c.open = false;
    c.openThread = 0;
    c.openWindow = nullptr;
    return true;
}

bool EmptyClipboard() {
    Clipboard& c = C();
    {
        std::lock_guard<std::mutex> lock(c.m);
        if (!HeldByMe(c)) return false;
        DropAll(c);
        c.owner = c.openWindow;
    }
    win::GetDisplayBackend().SetClipboardText(nullptr);
    return true;
}

HLOCAL SetClipboardData(UINT format, HLOCAL mem) {
    // Delayed rendering (a null block) is not offered.
    if (!mem || !LocalLock(mem)) return nullptr;
    LocalUnlock(mem);
    Clipboard& c = C();
    WString text;
    {
        std::lock_guard<std::mutex> lock(c.m);
        if (!HeldByMe(c)) return nullptr;
        Drop(c, format);
        c.data[format] = mem;
        if (format != CF_UNICODETEXT) return mem;
        text = TextOf(mem);
    }
    win::GetDisplayBackend().SetClipboardText(&text);
    return mem;
}

HLOCAL GetClipboardData(UINT format) {
    Clipboard& c = C();
    std::optional<WString> desktop;
    if (format == CF_UNICODETEXT) desktop = win::GetDisplayBackend().ClipboardText();
    std::lock_guard<std::mutex> lock(c.m);
    if (!HeldByMe(c)) return nullptr;
    if (format == CF_UNICODETEXT && desktop) {
        // The desktop's text wins: another program may have put it there.
        auto it = c.data.find(format);
        if (it != c.data.end() && TextOf(it->second) == *desktop) return it->second;
        Drop(c, format);
        if (desktop->empty()) return nullptr;
        HLOCAL h = BlockOf(*desktop);
        if (h) c.data[format] = h;
        return h;
    }
    auto it = c.data.find(format);
    return it == c.data.end() ? nullptr : it->second;
}

bool IsClipboardFormatAvailable(UINT format) {
    if (format == CF_UNICODETEXT) {
        if (auto desktop = win::GetDisplayBackend().ClipboardText()) return !desktop->empty();
    }
    Clipboard& c = C();
    std::lock_guard<std::mutex> lock(c.m);
    return c.data.count(format) != 0;
}

HWND GetClipboardOwner() {
    Clipboard& c = C();
    std::lock_guard<std::mutex> lock(c.m);
    return IsWindow(c.owner) ? c.owner : nullptr;
}

namespace win {

WString ClipboardText() {
    if (!OpenClipboard(nullptr)) return {};
    WString s = TextOf(GetClipboardData(CF_UNICODETEXT));
    CloseClipboard();
    return s;
}

bool PutClipboardText(WStringView text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    HLOCAL h = BlockOf(WString(text));
    bool ok = h && SetClipboardData(CF_UNICODETEXT, h);
    if (h && !ok) LocalFree(h);
    CloseClipboard();
    return ok;
}

}  // namespace win

namespace win::detail {
void ResetClipboard() {
    Clipboard& c = C();
    std::lock_guard<std::mutex> lock(c.m);
    DropAll(c);
    c.open = false;
    c.openThread = 0;
    c.openWindow = nullptr;
    c.owner = nullptr;
}
}  // namespace win::detail
