// The host of one script engine: the global one of the application, one
// per scripted layer file or applet, the Script window's, and short-lived
// query hosts that evaluate one expression record by record.
//
// The host is owned by whoever made it. The engine holds the host's site;
// the site's count is bookkeeping and never destroys the host, and the
// destructor stops the engine.
//
// Texts run with Execute keep one copy per distinct text while copies are
// kept (CreateHeap, EnableDebugging(true)): the copy names the text to the
// error box, which shows the failing line from it. A text run again reuses
// its copy, so a timer that runs one text does not grow memory.
#pragma once

#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "map/services/script_events.h"
#include "platform/scripting/script_engine.h"

class CXmlNode;

// A script error as the engine reported it.
struct ScriptErrorRecord {
    SCODE scode = 0;
    uint16_t wCode = 0;
    WString source;
    WString description;
    uint32_t line = 0;    // 0-based
    int32_t column = 0;   // 0-based
    // The error's number as a script sees it (Err.Number).
    HRESULT Number() const { return wCode ? MakeScriptError(wCode) : scode; }
};

// The error box's caption and text for an error (the text's line from the
// stored copy, when there is one).
WString ScriptErrorCaption(const EXCEPINFO& e);
WString ScriptErrorText(const EXCEPINFO& e, const WString* storedText, uint32_t line,
                        int32_t column, const WString* engineLineText);
// Line n of a text: after the n-th break (the next LF, or the next CR when
// no LF follows), up to its own next LF or CR; none past the last break.
std::optional<WString> StoredLineText(const WString& text, uint32_t line);

class CScriptHost : public IScriptHost {
public:
    CScriptHost();
    ~CScriptHost() override;
    CScriptHost(const CScriptHost&) = delete;
    CScriptHost& operator=(const CScriptHost&) = delete;

    // A query host: VBScript, one named item (flags 6), no error box. The
    // first error is kept for the owner and every later evaluation fails at
    // once. Null when the engine cannot start.
    static std::unique_ptr<CScriptHost> CreateQueryHost(const WChar* itemName, IDispatch* object);

    // ---- IScriptHost ----
    bool StartEngine(const WChar* language) override;
    bool AddNamedItem(const WChar* name, IDispatch* object, DWORD flags) override;
    bool BindElementEvents(const CXmlNode* element, const WChar* itemName) override;
    bool RunScriptElements(const CXmlNode* element) override;
    bool SetScriptState(ScriptState state) override;
    void StopEngine() override;
    bool IsStarted() override { return m_script.Get() != nullptr; }
    void EnableDebugging(bool on) override;
    void CreateHeap() override;
    bool ExecuteScriptText(const WChar* text) override { return ExecuteString(text); }
    bool Evaluate(const WChar* expression, VARIANT* result) override;

    // The engine's answer; E_FAIL when no engine runs.
    HRESULT SetScriptStateHr(SCRIPTSTATE state);
    // Parses and runs a text (statements); false when the engine refused it
    // (the error was shown).
    bool ExecuteString(const WChar* text);
    // Reads a script file (byte-order mark, else UTF-8) and runs it.
    bool ExecuteFile(const WString& path);
    // Binds code to an item's event under the event table's name.
    bool AddScriptlet(const WChar* itemName, int eventId, const WChar* code);
    bool BindElementEventsStr(const CXmlNode* element, const WString& itemName) {
        return BindElementEvents(element, itemName.c_str());
    }

    const WString& GetLanguage() const { return m_language; }
    // The window that owns the host's message boxes (the Script window).
    void SetSiteWindow(HWND window) { m_siteWindow = window; }
    HWND GetSiteWindow() const { return m_siteWindow; }
    void SetLocale(LCID lcid) { m_lcid = lcid; }
    bool KeepsTexts() const { return m_keepTexts; }
    // The engine (null while none runs).
    IActiveScript* GetEngine() const { return m_script.Get(); }
    // The engine's global namespace (null while no engine runs).
    IDispatch* GetScriptDispatch() const { return m_global.Get(); }
    // The error a query host kept.
    const std::optional<ScriptErrorRecord>& KeptError() const { return m_keptError; }
    // How many distinct texts are kept (tests).
    size_t KeptTextCount() const { return m_texts.size(); }
    // The site as the engine sees it (tests and the Script window).
    IActiveScriptSite* Site();

private:
    class CSite;
    struct NamedItem {
        const CoclassDesc* coclass = nullptr;  // null: visible, no events
        WString name;
        ComPtr<IDispatch> object;
    };

    uintptr_t KeepText(const WString& text);
    const WString* StoredText(uintptr_t cookie) const;
    void OnError(IActiveScriptError* error);
    HWND BoxOwner() const;
    HRESULT GetItemInfo(const OLECHAR* name, uint32_t mask, IUnknown** item, ITypeInfo** typeInfo);

    std::unique_ptr<CSite> m_site;
    WString m_language;
    CLSID m_clsid{};
    std::vector<NamedItem> m_items;
    ComPtr<IActiveScript> m_script;
    ComPtr<IActiveScriptParse> m_parse;
    HWND m_siteWindow = nullptr;
    LCID m_lcid;
    ComPtr<IDispatch> m_global;
    bool m_keepTexts = false;
    std::unordered_set<WString> m_texts;            // one copy per distinct text
    std::unordered_map<uintptr_t, const WString*> m_cookies;
    bool m_queryMode = false;
    std::optional<ScriptErrorRecord> m_keptError;
    bool m_failed = false;  // StartEngine failed: later calls fail
};
