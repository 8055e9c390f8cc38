// What every script engine shares: the state machine, the site, named items,
// scriptlets and their hookup to connection points, queued immediate code,
// and error reporting. A language derives from ScriptEngineBase and supplies
// compiling, running and evaluating (the pure virtuals below).
//
// Contract for a language:
// - Compile() turns script text into a CompiledCode (or reports a syntax error
//   with ReportError and fails). The base runs it at once when the engine is
//   started, or queues it until SetScriptState(STARTED) otherwise.
// - CompileScriptlet() turns a handler body into a CompiledCode; the base runs
//   it (RunCode) when the item's event fires, after every earlier scriptlet of
//   that event, then calls RunConventionHandler() for the language's naming
//   conventions (VBScript's Item_Event procedures).
// - Evaluate() evaluates an expression now.
// - Run-time errors are reported by the language through ReportError(), which
//   calls the site's OnScriptError synchronously and answers SCRIPT_E_REPORTED.
// - Named items: ItemObject() asks the site once for the object;
//   FindGlobalMember() looks a name up in the global-member items in
//   registration order. Lookups are case-insensitive when the language says so.
// - The base keeps the engine alive (AddRef) while an event handler runs, so a
//   handler may close or release its own engine's host.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "platform/scripting/script_engine.h"

struct ScriptErrorInfo {
    SCODE scode = E_FAIL;  // EXCEPINFO::scode
    uint16_t wCode = 0;    // EXCEPINFO::wCode (0: scode is used)
    WString source;        // the error box title line, chosen by the language
    WString description;
    uintptr_t context = 0;  // source context cookie of the failing text
    uint32_t line = 0;      // 0-based, startingLine included
    int32_t column = 0;     // 0-based character position
    WString lineText;       // the failing line, when known
    bool hasLineText = false;
};

// The failing line of a text: lines split at LF (a CR before it is dropped).
WString ScriptLineText(WStringView code, uint32_t line);

// The run-time error text for a COM failure of a member (e.g. "Type mismatch"
// for DISP_E_TYPEMISMATCH); an "Error 0x...: ..." text for codes without one.
WString DescribeHResult(HRESULT hr);

class CompiledCode {
public:
    virtual ~CompiledCode() = default;
};

class ScriptEngineBase : public IActiveScript, public IActiveScriptParse {
public:
    ScriptEngineBase(bool caseSensitiveNames);

    // IUnknown
    HRESULT QueryInterface(REFIID iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    // IActiveScript
    HRESULT SetScriptSite(IActiveScriptSite* site) override;
    HRESULT GetScriptSite(REFIID iid, void** out) override;
    HRESULT SetScriptState(SCRIPTSTATE state) override;
    HRESULT GetScriptState(SCRIPTSTATE* out) override;
    HRESULT Close() override;
    HRESULT AddNamedItem(const OLECHAR* name, uint32_t flags) override;
    HRESULT GetScriptDispatch(const OLECHAR* itemName, IDispatch** out) override;
    // IActiveScriptParse
    HRESULT InitNew() override;
    HRESULT AddScriptlet(const OLECHAR* defaultName, const OLECHAR* code, const OLECHAR* itemName,
                         const OLECHAR* subItemName, const OLECHAR* eventName,
                         const OLECHAR* delimiter, uintptr_t context, uint32_t startingLine,
                         uint32_t flags, BSTR* name, EXCEPINFO* excep) override;
    HRESULT ParseScriptText(const OLECHAR* code, const OLECHAR* itemName, IUnknown* contextObject,
                            const OLECHAR* delimiter, uintptr_t context, uint32_t startingLine,
                            uint32_t flags, VARIANT* result, EXCEPINFO* excep) override;

    SCRIPTSTATE State() const { return state_; }

protected:
    virtual ~ScriptEngineBase();

    struct ScriptText {
        WString code;
        uintptr_t context = 0;
        uint32_t startingLine = 0;
    };
    struct NamedItem {
        WString name;
        uint32_t flags = 0;
        bool fetched = false;      // the site was asked for the object
        ComPtr<IDispatch> object;  // null when the site gave none
        bool typeFetched = false;
        ComPtr<ITypeInfo> typeInfo;
    };
    struct Scriptlet {
        WString item;
        WString event;
        std::unique_ptr<CompiledCode> code;
    };

    // ---- the language's part ----
    virtual HRESULT Compile(const ScriptText& text, std::unique_ptr<CompiledCode>* out) = 0;
    virtual HRESULT RunCode(CompiledCode& code) = 0;
    virtual HRESULT Evaluate(const ScriptText& text, VARIANT* result) = 0;
    virtual HRESULT CompileScriptlet(const ScriptText& body, WStringView item, WStringView event,
                                     std::unique_ptr<CompiledCode>* out) = 0;
    // After the scriptlets of an event: language conventions (may do nothing).
    virtual HRESULT RunConventionHandler(const NamedItem& item, WStringView event) {
        (void)item;
        (void)event;
        return S_OK;
    }
    // A new named item was added (the language may declare the name).
    virtual void OnNamedItemAdded(NamedItem& item) { (void)item; }
    virtual HRESULT GetGlobalDispatch(IDispatch** out) = 0;
    // Close: drop everything language-specific. Called once.
    virtual void OnClose() {}

    // ---- services for the language ----
    HRESULT ReportError(const ScriptErrorInfo& e, EXCEPINFO* excep = nullptr);
    NamedItem* FindItem(WStringView name);
    std::vector<std::unique_ptr<NamedItem>>& Items() { return items_; }
    // The item's object, asked from the site once; null when none.
    IDispatch* ItemObject(NamedItem& item);
    ITypeInfo* ItemTypeInfo(NamedItem& item);
    // The first global-member item whose object knows the name.
    IDispatch* FindGlobalMember(WStringView name, DISPID* id);
    IActiveScriptSite* Site() const { return site_.Get(); }
    bool NamesEqual(WStringView a, WStringView b) const;
    // Brackets a run for the site (OnEnterScript / OnLeaveScript). False,
    // with nothing entered, when the process-wide nesting refuses the run.
    bool EnterScript();
    void LeaveScript();

private:
    class EventSink;
    struct Connection {
        WString item;
        ComPtr<IConnectionPoint> point;
        uint32_t cookie = 0;
        EventSink* sink = nullptr;  // owned through the reference the point holds
    };

    void ChangeState(SCRIPTSTATE s);
    void FinishClose();
    HRESULT RunPending();
    void Connect();
    void ConnectItem(NamedItem& item);
    void Disconnect();
    HRESULT FireEvent(const WString& item, DISPID id, const InterfaceDesc* source);

    std::atomic<uint32_t> refs_{1};
    bool caseSensitive_;
    SCRIPTSTATE state_ = SCRIPTSTATE_UNINITIALIZED;
    ComPtr<IActiveScriptSite> site_;
    std::vector<std::unique_ptr<NamedItem>> items_;
    std::vector<Scriptlet> scriptlets_;
    std::vector<std::unique_ptr<CompiledCode>> pending_;
    std::vector<Connection> connections_;
    bool closing_ = false;
    int depth_ = 0;  // nested runs of this engine's code
    bool deferredClose_ = false;
};
