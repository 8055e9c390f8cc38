// The language module: the one language library of the running program
// (Locales\<ABBR>.res beside the program), with its locale's code pages and
// reading direction. Every message and control text is looked up here: the
// library first, then, where the caller allows it, the program's own
// resources.
#pragma once

#include <string>

#include "platform/text/text.h"
#include "platform/types.h"

namespace win {
class Wnd;
}

// Primary language Arabic (1) or Hebrew (13), or any locale the locale table
// marks as written right to left (Persian).
bool IsRightToLeftLanguage(DWORD locale);

// The extended style bits of a right-to-left window: mirrored layout and
// right-to-left reading.
constexpr DWORD kRtlExStyles = 0x202000;

class CLanguageModule {
public:
    // `pattern` names the library relative to the program folder, with one
    // %s for the locale's abbreviation. Not copied: a literal.
    explicit CLanguageModule(const WChar* pattern);
    virtual ~CLanguageModule();
    CLanguageModule(const CLanguageModule&) = delete;
    CLanguageModule& operator=(const CLanguageModule&) = delete;

    // <program folder>\<pattern with the abbreviation>; false for a locale
    // the table does not know.
    bool GetModulePath(DWORD locale, WString& path) const;
    bool ModuleExists(DWORD locale) const;
    // Takes the locale's direction and code pages, frees the previous
    // library and loads the new one; true when it loaded. A missing or
    // malformed library leaves the module without one.
    bool LoadForLocale(DWORD locale);
    void FreeLibrary();

    // Copies at most size - 1 units and terminates; returns the whole
    // length of the string found (0 when none). With `clear` the buffer is
    // emptied first, else it is left as it was when nothing is found.
    int LoadString(UINT id, WChar* buffer, int size, bool fallback, bool clear) const;
    // The same in the module's ANSI code page (the program's own texts in the
    // system's); returns the converted length in bytes.
    int LoadStringA(UINT id, char* buffer, int size, bool fallback, bool clear) const;
    bool LoadString(UINT id, WString& text, bool fallback, bool clear = true) const;
    WString LoadString(UINT id, bool fallback) const;
    // The library's text (no fallback) as the window text; id -1 takes the
    // window's control id.
    bool LoadWindowText(HWND window, int id) const;

    bool ApplyRtlStyle(HWND window) const;
    bool ApplyRtlStyleToWnd(win::Wnd* wnd) const;

    // A message box or a text with %1 and %2 inserts for a string id; the
    // library's text when it has a non-empty entry, else the program's.
    int MessageBox(UINT id, UINT type, UINT helpId = 0) const;
    void FormatString1(WString& text, UINT id, const WChar* insert) const;
    void FormatString2(WString& text, UINT id, const WChar* insert1, const WChar* insert2) const;

    static int GetLanguageId(DWORD locale);
    static WString GetAbbrevLangName(DWORD locale);

    // Process and device-context layout. The platform has no layout
    // functions: they fail with error 120, except that setting the default
    // layout 0 succeeds.
    static bool SetProcessDefaultLayout(DWORD layout);
    static bool GetProcessDefaultLayout(DWORD* layout);
    static DWORD SetDcLayout(HDC dc, DWORD layout);
    static DWORD GetDcLayout(HDC dc);

    HINSTANCE GetLibrary() const { return m_hLibrary; }
    DWORD GetLocale() const { return m_locale; }
    UINT GetAnsiCodePage() const { return m_ansiCodePage; }
    UINT GetOemCodePage() const { return m_oemCodePage; }
    bool IsRightToLeft() const { return m_rightToLeft; }

private:
    // The text of a string id: the library's non-empty entry, else the
    // program's.
    WString MessageText(UINT id) const;

    HINSTANCE m_hLibrary = nullptr;
    DWORD m_locale = 0;
    UINT m_ansiCodePage = 0;
    UINT m_oemCodePage = 0;
    const WChar* m_pattern;
    bool m_rightToLeft = false;
};

// The program's language module, made on first use with the pattern
// "Locales\%s.res".
CLanguageModule* GetLanguageModule();
// Frees the library and starts again with a fresh module (or none). For tests.
void ResetLanguageModuleForTests(bool present = true);

// A string resource of a module (nullptr: the current resource search).
class CResString {
public:
    CResString() = default;
    CResString(HINSTANCE module, UINT id) { Load(module, id); }
    virtual ~CResString() = default;
    // True when the string is not empty.
    bool Load(HINSTANCE module, UINT id);
    const WString& Text() const { return m_text; }

private:
    WString m_text;
};
