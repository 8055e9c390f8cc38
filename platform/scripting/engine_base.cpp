#include "platform/scripting/engine_base.h"

WString ScriptLineText(WStringView code, uint32_t line) {
    size_t pos = 0;
    for (uint32_t i = 0; i < line; ++i) {
        size_t nl = code.find(u'\n', pos);
        if (nl == WStringView::npos) return WString();
        pos = nl + 1;
    }
    size_t end = code.find(u'\n', pos);
    WStringView l = code.substr(pos, end == WStringView::npos ? WStringView::npos : end - pos);
    if (!l.empty() && l.back() == u'\r') l.remove_suffix(1);
    return WString(l);
}

WString DescribeHResult(HRESULT hr) {
    switch (hr) {
        case E_INVALIDARG:
            return u"Invalid procedure call or argument";
        case E_FAIL:
            return u"Unspecified error";
        case E_NOTIMPL:
            return u"Not implemented";
        case E_POINTER:
            return u"Invalid pointer";
        case E_ACCESSDENIED:
            return u"Permission denied";
        case E_OUTOFMEMORY:
            return u"Out of memory";
        case E_HANDLE:
            return u"Invalid handle";
        case E_NOINTERFACE:
            return u"No such interface supported";
        case DISP_E_MEMBERNOTFOUND:
        case DISP_E_UNKNOWNNAME:
            return u"Object doesn't support this property or method";
        case DISP_E_TYPEMISMATCH:
            return u"Type mismatch";
        case DISP_E_BADPARAMCOUNT:
            return u"Wrong number of arguments or invalid property assignment";
        case DISP_E_PARAMNOTOPTIONAL:
            return u"Argument not optional";
        case DISP_E_PARAMNOTFOUND:
            return u"Parameter not found";
        case DISP_E_OVERFLOW:
            return u"Overflow";
        case DISP_E_BADINDEX:
            return u"Subscript out of range";
        case DISP_E_DIVBYZERO:
            return u"Division by zero";
        case DISP_E_NONAMEDARGS:
            return u"Named arguments not supported";
        case DISP_E_BADVARTYPE:
            return u"Variable uses an Automation type not supported";
        default:
            return text::Format(u"Error 0x%08X", static_cast<uint32_t>(hr));
    }
}

namespace {

class ScriptError final : public RefCountedObject<IActiveScriptError> {
public:
    explicit ScriptError(const ScriptErrorInfo& e) : e_(e) {}
    bool Answers(REFIID iid) const override { return iid == IID_IActiveScriptError; }
    HRESULT GetExceptionInfo(EXCEPINFO* out) override {
        if (!out) return E_POINTER;
        *out = EXCEPINFO{};
        out->wCode = e_.wCode;
        out->scode = e_.wCode ? 0 : e_.scode;
        out->bstrSource = SysAllocString(e_.source);
        out->bstrDescription = SysAllocString(e_.description);
        return S_OK;
    }
    HRESULT GetSourcePosition(uintptr_t* context, uint32_t* line, int32_t* charPos) override {
        if (context) *context = e_.context;
        if (line) *line = e_.line;
        if (charPos) *charPos = e_.column;
        return S_OK;
    }
    HRESULT GetSourceLineText(BSTR* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!e_.hasLineText) return E_FAIL;
        *out = SysAllocString(e_.lineText);
        return S_OK;
    }

private:
    ScriptErrorInfo e_;
};

}  // namespace

// The sink an engine advises on an event source. It forwards to the engine
// while connected; after Unadvise the engine pointer is cleared, so a late
// call from a snapshot does nothing.
class ScriptEngineBase::EventSink final : public UntypedDispatch {
public:
    EventSink(ScriptEngineBase* engine, WString item, IID iid, const InterfaceDesc* source)
        : engine_(engine), item_(std::move(item)), iid_(iid), source_(source) {}
    void Detach() { engine_ = nullptr; }
    bool Answers(REFIID iid) const override { return iid == IID_IDispatch || iid == iid_; }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const* names, uint32_t count, LCID,
                          DISPID* ids) override {
        return source_->GetIDsOfNames(names, count, ids);
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                   uint32_t*) override {
        if (result) VariantInit(result);
        if (!engine_) return S_OK;
        ComPtr<IActiveScript> keep(engine_);
        ComPtr<IDispatch> self(this);
        return engine_->FireEvent(item_, id, source_);
    }

private:
    ScriptEngineBase* engine_;
    WString item_;
    IID iid_;
    const InterfaceDesc* source_;
};

ScriptEngineBase::ScriptEngineBase(bool caseSensitiveNames) : caseSensitive_(caseSensitiveNames) {}

ScriptEngineBase::~ScriptEngineBase() = default;

HRESULT ScriptEngineBase::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IActiveScript) {
        *out = static_cast<IActiveScript*>(this);
    } else if (iid == IID_IActiveScriptParse) {
        *out = static_cast<IActiveScriptParse*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

uint32_t ScriptEngineBase::AddRef() {
    return ++refs_;
}

uint32_t ScriptEngineBase::Release() {
    uint32_t n = --refs_;
    if (!n) {
        if (state_ != SCRIPTSTATE_CLOSED) {
            refs_ = 1;  // Close may call out; keep the object alive through it
            Close();
            refs_ = 0;
        }
        delete this;
    }
    return n;
}

bool ScriptEngineBase::NamesEqual(WStringView a, WStringView b) const {
    return caseSensitive_ ? a == b : text::EqualsNoCase(a, b);
}

void ScriptEngineBase::ChangeState(SCRIPTSTATE s) {
    state_ = s;
    if (site_) site_->OnStateChange(s);
}

bool ScriptEngineBase::EnterScript() {
    if (!EnterScriptNesting()) return false;
    ++depth_;
    if (site_) site_->OnEnterScript();
    return true;
}

void ScriptEngineBase::LeaveScript() {
    if (site_) site_->OnLeaveScript();
    if (--depth_ == 0 && deferredClose_) FinishClose();
    LeaveScriptNesting();
}

void ScriptEngineBase::FinishClose() {
    deferredClose_ = false;
    pending_.clear();
    scriptlets_.clear();
    OnClose();
}

HRESULT ScriptEngineBase::InitNew() {
    if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
    if (state_ != SCRIPTSTATE_UNINITIALIZED) return E_UNEXPECTED;
    if (site_) ChangeState(SCRIPTSTATE_INITIALIZED);
    return S_OK;
}

HRESULT ScriptEngineBase::SetScriptSite(IActiveScriptSite* site) {
    if (!site) return E_POINTER;
    if (site_) return E_UNEXPECTED;
    if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
    site_ = ComPtr<IActiveScriptSite>(site);
    ChangeState(SCRIPTSTATE_INITIALIZED);
    return S_OK;
}

HRESULT ScriptEngineBase::GetScriptSite(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!site_) return S_FALSE;
    return site_->QueryInterface(iid, out);
}

HRESULT ScriptEngineBase::GetScriptState(SCRIPTSTATE* out) {
    if (!out) return E_POINTER;
    *out = state_;
    return S_OK;
}

HRESULT ScriptEngineBase::SetScriptState(SCRIPTSTATE s) {
    if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
    if (!site_) return E_UNEXPECTED;
    switch (s) {
        case SCRIPTSTATE_STARTED:
            if (state_ == SCRIPTSTATE_CONNECTED) Disconnect();
            ChangeState(SCRIPTSTATE_STARTED);
            return RunPending();
        case SCRIPTSTATE_CONNECTED: {
            HRESULT hr = S_OK;
            if (state_ == SCRIPTSTATE_INITIALIZED) {
                ChangeState(SCRIPTSTATE_STARTED);
                hr = RunPending();
            }
            if (state_ == SCRIPTSTATE_CONNECTED) return hr;
            Connect();
            ChangeState(SCRIPTSTATE_CONNECTED);
            return hr;
        }
        case SCRIPTSTATE_DISCONNECTED:
            if (state_ != SCRIPTSTATE_CONNECTED) return state_ == s ? S_OK : E_UNEXPECTED;
            Disconnect();
            ChangeState(SCRIPTSTATE_DISCONNECTED);
            return S_OK;
        case SCRIPTSTATE_INITIALIZED:
            if (state_ == SCRIPTSTATE_INITIALIZED) return S_OK;
            return E_NOTIMPL;
        case SCRIPTSTATE_CLOSED:
            return Close();
        default:
            return E_INVALIDARG;
    }
}

HRESULT ScriptEngineBase::Close() {
    if (state_ == SCRIPTSTATE_CLOSED || closing_) return S_OK;
    closing_ = true;
    Disconnect();
    // Code of this engine may be running (a handler closed its own engine):
    // its compiled code and heap then go when the outermost run ends.
    if (depth_ > 0)
        deferredClose_ = true;
    else
        FinishClose();
    items_.clear();
    ChangeState(SCRIPTSTATE_CLOSED);
    site_.Reset();
    closing_ = false;
    return S_OK;
}

HRESULT ScriptEngineBase::AddNamedItem(const OLECHAR* name, uint32_t flags) {
    if (!name || !*name) return E_INVALIDARG;
    if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
    if (FindItem(name)) return E_INVALIDARG;
    auto item = std::make_unique<NamedItem>();
    item->name = name;
    item->flags = flags;
    items_.push_back(std::move(item));
    OnNamedItemAdded(*items_.back());
    if (state_ == SCRIPTSTATE_CONNECTED && (flags & SCRIPTITEM_ISSOURCE))
        ConnectItem(*items_.back());
    return S_OK;
}

HRESULT ScriptEngineBase::GetScriptDispatch(const OLECHAR* itemName, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
    if (itemName && *itemName) {
        NamedItem* item = FindItem(itemName);
        if (!item) return E_INVALIDARG;
    }
    return GetGlobalDispatch(out);
}

ScriptEngineBase::NamedItem* ScriptEngineBase::FindItem(WStringView name) {
    for (auto& i : items_)
        if (NamesEqual(i->name, name)) return i.get();
    return nullptr;
}

IDispatch* ScriptEngineBase::ItemObject(NamedItem& item) {
    if (!item.fetched && site_) {
        item.fetched = true;
        IUnknown* unk = nullptr;
        if (SUCCEEDED(site_->GetItemInfo(item.name.c_str(), SCRIPTINFO_IUNKNOWN, &unk, nullptr)) &&
            unk) {
            unk->QueryInterface(IID_IDispatch, item.object.ReceiveVoid());
            unk->Release();
        }
    }
    return item.object.Get();
}

ITypeInfo* ScriptEngineBase::ItemTypeInfo(NamedItem& item) {
    if (!item.typeFetched && site_) {
        item.typeFetched = true;
        ITypeInfo* ti = nullptr;
        if (SUCCEEDED(site_->GetItemInfo(item.name.c_str(), SCRIPTINFO_ITYPEINFO, nullptr, &ti)))
            item.typeInfo = ComPtr<ITypeInfo>::Adopt(ti);
    }
    return item.typeInfo.Get();
}

IDispatch* ScriptEngineBase::FindGlobalMember(WStringView name, DISPID* id) {
    for (size_t i = 0; i < items_.size(); ++i) {
        NamedItem& item = *items_[i];
        if (!(item.flags & SCRIPTITEM_GLOBALMEMBERS)) continue;
        IDispatch* d = ItemObject(item);
        if (!d) continue;
        DISPID found;
        if (SUCCEEDED(GetDispId(d, name, &found))) {
            if (id) *id = found;
            return d;
        }
    }
    return nullptr;
}

HRESULT ScriptEngineBase::ReportError(const ScriptErrorInfo& e, EXCEPINFO* excep) {
    if (excep) {
        FillExcepInfo(excep, e.scode, e.source, e.description);
        excep->wCode = e.wCode;
    }
    if (!site_) return e.scode;
    auto* err = new ScriptError(e);
    ComPtr<IActiveScriptSite> site(site_);  // the site may close us from the callback
    site->OnScriptError(err);
    err->Release();
    return SCRIPT_E_REPORTED;
}

HRESULT ScriptEngineBase::ParseScriptText(const OLECHAR* code, const OLECHAR*, IUnknown*,
                                          const OLECHAR*, uintptr_t context, uint32_t startingLine,
                                          uint32_t flags, VARIANT* result, EXCEPINFO* excep) {
    if (result) VariantInit(result);
    if (excep) *excep = EXCEPINFO{};
    if (state_ == SCRIPTSTATE_CLOSED || state_ == SCRIPTSTATE_UNINITIALIZED) return E_UNEXPECTED;
    ScriptText t{code ? WString(code) : WString(), context, startingLine};
    ComPtr<IActiveScript> keep(this);
    if (flags & SCRIPTTEXT_ISEXPRESSION) {
        ComVariant value;
        if (!EnterScript()) return SCRIPT_E_NESTING;
        HRESULT hr = Evaluate(t, &value);
        LeaveScript();
        if (SUCCEEDED(hr) && result) *result = value.Detach();
        return hr;
    }
    std::unique_ptr<CompiledCode> compiled;
    HRESULT hr = Compile(t, &compiled);
    if (FAILED(hr)) return hr;
    if (state_ == SCRIPTSTATE_INITIALIZED) {
        pending_.push_back(std::move(compiled));
        return S_OK;
    }
    if (!EnterScript()) return SCRIPT_E_NESTING;
    hr = RunCode(*compiled);
    LeaveScript();
    return hr;
}

HRESULT ScriptEngineBase::RunPending() {
    HRESULT first = S_OK;
    while (!pending_.empty() && state_ != SCRIPTSTATE_CLOSED) {
        if (!EnterScript()) return SCRIPT_E_NESTING;
        std::unique_ptr<CompiledCode> c = std::move(pending_.front());
        pending_.erase(pending_.begin());
        HRESULT hr = RunCode(*c);
        LeaveScript();
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT ScriptEngineBase::AddScriptlet(const OLECHAR*, const OLECHAR* code, const OLECHAR* itemName,
                                       const OLECHAR*, const OLECHAR* eventName, const OLECHAR*,
                                       uintptr_t context, uint32_t startingLine, uint32_t,
                                       BSTR* name, EXCEPINFO* excep) {
    if (name) *name = nullptr;
    if (excep) *excep = EXCEPINFO{};
    if (state_ == SCRIPTSTATE_CLOSED || state_ == SCRIPTSTATE_UNINITIALIZED) return E_UNEXPECTED;
    if (!itemName || !eventName) return E_INVALIDARG;
    NamedItem* item = FindItem(itemName);
    if (!item) {
        ScriptErrorInfo e;
        e.scode = E_INVALIDARG;
        e.description = u"Unknown item '" + WString(itemName) + u"'";
        e.context = context;
        e.line = startingLine;
        return ReportError(e, excep);
    }
    ScriptText t{code ? WString(code) : WString(), context, startingLine};
    std::unique_ptr<CompiledCode> compiled;
    HRESULT hr = CompileScriptlet(t, item->name, eventName, &compiled);
    if (FAILED(hr)) return hr;
    scriptlets_.push_back(Scriptlet{item->name, eventName, std::move(compiled)});
    if (name) *name = SysAllocString(WString(itemName) + u"_" + eventName);
    return S_OK;
}

void ScriptEngineBase::Connect() {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->flags & SCRIPTITEM_ISSOURCE) ConnectItem(*items_[i]);
}

void ScriptEngineBase::ConnectItem(NamedItem& item) {
    for (auto& c : connections_)
        if (NamesEqual(c.item, item.name)) return;
    ITypeInfo* ti = ItemTypeInfo(item);
    const CoclassDesc* cls = ti ? ti->GetCoclassDesc() : nullptr;
    const InterfaceDesc* source = cls ? cls->defaultSource : nullptr;
    IDispatch* obj = ItemObject(item);
    if (!source || !obj) return;
    ComPtr<IConnectionPointContainer> cpc;
    if (FAILED(obj->QueryInterface(IID_IConnectionPointContainer, cpc.ReceiveVoid())) || !cpc)
        return;
    ComPtr<IConnectionPoint> point;
    if (FAILED(cpc->FindConnectionPoint(source->iid, point.Receive())) || !point) return;
    auto* sink = new EventSink(this, item.name, source->iid, source);
    uint32_t cookie = 0;
    HRESULT hr = point->Advise(static_cast<IDispatch*>(sink), &cookie);
    if (FAILED(hr)) {
        sink->Release();
        return;
    }
    connections_.push_back(Connection{item.name, point, cookie, sink});
}

void ScriptEngineBase::Disconnect() {
    std::vector<Connection> conns;
    conns.swap(connections_);
    for (auto& c : conns) {
        c.sink->Detach();
        c.point->Unadvise(c.cookie);
        c.sink->Release();
    }
}

HRESULT ScriptEngineBase::FireEvent(const WString& itemName, DISPID id,
                                    const InterfaceDesc* source) {
    if (state_ != SCRIPTSTATE_CONNECTED) return S_OK;
    const MemberDesc* ev = source ? source->Find(id) : nullptr;
    if (!ev) return DISP_E_MEMBERNOTFOUND;
    WString eventName = ev->name;
    HRESULT first = S_OK;
    // By index: a handler may add scriptlets while this runs.
    for (size_t i = 0; i < scriptlets_.size() && state_ == SCRIPTSTATE_CONNECTED; ++i) {
        Scriptlet& s = scriptlets_[i];
        if (!NamesEqual(s.item, itemName) || !text::EqualsNoCase(s.event, eventName)) continue;
        CompiledCode* code = s.code.get();
        if (!EnterScript()) return SCRIPT_E_NESTING;
        HRESULT hr = RunCode(*code);
        LeaveScript();
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    if (state_ == SCRIPTSTATE_CONNECTED) {
        if (NamedItem* item = FindItem(itemName)) {
            if (!EnterScript()) return SCRIPT_E_NESTING;
            HRESULT hr = RunConventionHandler(*item, eventName);
            LeaveScript();
            if (FAILED(hr) && SUCCEEDED(first)) first = hr;
        }
    }
    return first;
}
