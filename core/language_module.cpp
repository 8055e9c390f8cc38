#include "core/language_module.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/res/locale.h"
#include "platform/res/resource.h"
#include "platform/win/framework.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "resources/zres.h"

namespace {

constexpr uint32_t kErrorProcNotFound = 120;

// A string of one module: nullopt when its string-table block is missing,
// an empty text when the block lacks the entry.
std::optional<WString> StringOf(HINSTANCE module, UINT id) {
    if (!module) return std::nullopt;
    auto m = res::ModuleFromHandle(module);
    if (!m) return std::nullopt;
    // The block is the resource with this name; LoadString reads the entry.
    const WORD block = static_cast<WORD>(id / 16 + 1);
    if (!m->Find(res::RT_STRING, res::ResName(block))) return std::nullopt;
    return m->LoadString(id).value_or(WString());
}

std::unique_ptr<CLanguageModule>& Global() {
    static std::unique_ptr<CLanguageModule> module =
        std::make_unique<CLanguageModule>(u"Locales\\%s.res");
    return module;
}

}  // namespace

bool IsRightToLeftLanguage(DWORD locale) {
    const DWORD primary = locale & 0x3FF;
    if (primary == 1 || primary == 13) return true;
    const res::LocaleInfo* info = res::FindLocale(locale);
    return info && info->lcid == locale && info->rightToLeft;
}

CLanguageModule::CLanguageModule(const WChar* pattern) : m_pattern(pattern) {}

CLanguageModule::~CLanguageModule() {
    FreeLibrary();
}

bool CLanguageModule::GetModulePath(DWORD locale, WString& path) const {
    const WString abbrev = GetAbbrevLangName(locale);
    if (abbrev.empty() || !m_pattern) return false;
    path = fs::GetProgramFolder() + u"\\" + text::Format(m_pattern, abbrev.c_str());
    return true;
}

bool CLanguageModule::ModuleExists(DWORD locale) const {
    WString path;
    return GetModulePath(locale, path) && fs::Exists(path);
}

void CLanguageModule::FreeLibrary() {
    if (!m_hLibrary) return;
    // Unregistering also takes the library out of the resource search.
    res::UnregisterModule(m_hLibrary);
    m_hLibrary = nullptr;
}

bool CLanguageModule::LoadForLocale(DWORD locale) {
    m_locale = locale;
    m_rightToLeft = IsRightToLeftLanguage(locale);
    const res::LocaleInfo* info = res::FindLocale(locale);
    m_ansiCodePage = info ? info->ansiCodePage : text::kAnsiCodePage;
    m_oemCodePage = info ? info->oemCodePage : 437;
    FreeLibrary();

    WString path;
    if (!GetModulePath(locale, path)) return false;
    const std::string host = fs::HostPath(path);
    if (host.empty()) return false;
    auto module = res::ResourceModule::FromFile(host);
    if (!module) return false;
    m_hLibrary = res::RegisterModule(std::move(module));
    // Lookups without a module handle now search the library, then the program.
    res::SetResourceHandle(m_hLibrary);
    return m_hLibrary != nullptr;
}

int CLanguageModule::LoadString(UINT id, WChar* buffer, int size, bool fallback,
                                bool clear) const {
    if (id == 0 || (!m_hLibrary && !fallback)) return 0;
    const bool hasBuffer = buffer && size > 0;
    WChar first = 0;
    if (hasBuffer) {
        if (clear) buffer[0] = 0;
        first = buffer[0];
    }
    auto copy = [&](const WString& s) {
        if (!hasBuffer) return;
        const size_t n = std::min<size_t>(s.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, s.data(), n * sizeof(WChar));
        buffer[n] = 0;
    };
    if (auto s = StringOf(m_hLibrary, id)) {
        copy(*s);
        if (!s->empty()) return static_cast<int>(s->size());
    }
    if (fallback) {
        auto s = StringOf(res::GetProgramModule(), id);
        if (s && !s->empty()) {
            copy(*s);
            return static_cast<int>(s->size());
        }
    }
    if (hasBuffer) buffer[0] = first;
    return 0;
}

int CLanguageModule::LoadStringA(UINT id, char* buffer, int size, bool fallback,
                                 bool clear) const {
    if (id == 0 || (!m_hLibrary && !fallback)) return 0;
    const bool hasBuffer = buffer && size > 0;
    char first = 0;
    if (hasBuffer) {
        if (clear) buffer[0] = 0;
        first = buffer[0];
    }
    std::optional<WString> found;
    unsigned codePage = m_ansiCodePage ? m_ansiCodePage : text::kAnsiCodePage;
    if (auto s = StringOf(m_hLibrary, id); s && !s->empty()) found = s;
    if (!found && fallback) {
        auto s = StringOf(res::GetProgramModule(), id);
        if (s && !s->empty()) {
            found = s;
            codePage = text::kAnsiCodePage;
        }
    }
    if (!found) {
        if (hasBuffer) buffer[0] = first;
        return 0;
    }
    const std::string bytes = text::ToCodePage(*found, codePage);
    if (hasBuffer) {
        const size_t n = std::min<size_t>(bytes.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, bytes.data(), n);
        buffer[n] = 0;
    }
    return static_cast<int>(bytes.size());
}

bool CLanguageModule::LoadString(UINT id, WString& text, bool fallback, bool clear) const {
    const int n = LoadString(id, nullptr, 0, fallback, false);
    if (n <= 0) {
        if (clear) text.clear();
        return false;
    }
    WString buffer(static_cast<size_t>(n) + 1, u'\0');
    LoadString(id, buffer.data(), n + 1, fallback, true);
    buffer.resize(static_cast<size_t>(n));
    text = std::move(buffer);
    return true;
}

WString CLanguageModule::LoadString(UINT id, bool fallback) const {
    WString text;
    LoadString(id, text, fallback, true);
    return text;
}

bool CLanguageModule::LoadWindowText(HWND window, int id) const {
    if (id == -1) id = GetDlgCtrlID(window);
    if (id == 0 || id == -1) return false;
    WString text;
    if (!LoadString(static_cast<UINT>(id), text, false, true)) return false;
    if (text.size() > 4095) text.resize(4095);
    return SetWindowText(window, text.c_str());
}

bool CLanguageModule::ApplyRtlStyle(HWND window) const {
    if (!m_rightToLeft || !window) return false;
    const DWORD ex = static_cast<DWORD>(GetWindowLong(window, GWL_EXSTYLE));
    if ((ex & kRtlExStyles) == kRtlExStyles) return false;
    SetWindowLong(window, GWL_EXSTYLE, static_cast<LONG>(ex | kRtlExStyles));
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

bool CLanguageModule::ApplyRtlStyleToWnd(win::Wnd* wnd) const {
    return wnd && ApplyRtlStyle(wnd->GetSafeHwnd());
}

WString CLanguageModule::MessageText(UINT id) const {
    if (auto s = StringOf(m_hLibrary, id); s && !s->empty()) return *s;
    return StringOf(res::GetProgramModule(), id).value_or(WString());
}

int CLanguageModule::MessageBox(UINT id, UINT type, UINT helpId) const {
    (void)helpId;
    const WString text = MessageText(id);
    const WString caption = MessageText(IDS_APP_TITLE);
    return ::MessageBox(win::GetMainWindow(), text.c_str(), caption.c_str(), type);
}

void CLanguageModule::FormatString1(WString& text, UINT id, const WChar* insert) const {
    text = res::FormatMessageText(MessageText(id), {insert ? WString(insert) : WString()});
}

void CLanguageModule::FormatString2(WString& text, UINT id, const WChar* insert1,
                                    const WChar* insert2) const {
    text = res::FormatMessageText(
        MessageText(id),
        {insert1 ? WString(insert1) : WString(), insert2 ? WString(insert2) : WString()});
}

int CLanguageModule::GetLanguageId(DWORD locale) {
    const res::LocaleInfo* info = res::FindLocale(locale);
    return info ? static_cast<int>(info->lcid & 0xFFFF) : 0;
}

WString CLanguageModule::GetAbbrevLangName(DWORD locale) {
    const res::LocaleInfo* info = res::FindLocale(locale);
    if (!info || !info->abbreviation) return {};
    WString s(info->abbreviation);
    if (s.size() > 6) s.resize(6);
    return s;
}

bool CLanguageModule::SetProcessDefaultLayout(DWORD layout) {
    if (layout == 0) return true;
    fs::SetLastError(kErrorProcNotFound);
    return false;
}

bool CLanguageModule::GetProcessDefaultLayout(DWORD* layout) {
    (void)layout;
    fs::SetLastError(kErrorProcNotFound);
    return false;
}

DWORD CLanguageModule::SetDcLayout(HDC dc, DWORD layout) {
    (void)dc;
    (void)layout;
    fs::SetLastError(kErrorProcNotFound);
    return 0xFFFFFFFF;  // GDI_ERROR
}

DWORD CLanguageModule::GetDcLayout(HDC dc) {
    (void)dc;
    fs::SetLastError(kErrorProcNotFound);
    return 0xFFFFFFFF;
}

CLanguageModule* GetLanguageModule() {
    return Global().get();
}

void ResetLanguageModuleForTests(bool present) {
    Global().reset();
    if (present) Global() = std::make_unique<CLanguageModule>(u"Locales\\%s.res");
}

bool CResString::Load(HINSTANCE module, UINT id) {
    // Grows the buffer until the string no longer fills it.
    for (int size = 256; size <= 65536 + 256; size += 256) {
        WString buffer(static_cast<size_t>(size), u'\0');
        const int n = res::LoadString(module, id, buffer.data(), size);
        if (n < size - 1) {
            buffer.resize(static_cast<size_t>(n));
            m_text = std::move(buffer);
            return !m_text.empty();
        }
    }
    m_text.clear();
    return false;
}
