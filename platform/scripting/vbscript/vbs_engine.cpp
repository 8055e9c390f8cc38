// The "VBScript" engine: the interpreter behind the script engine interface.
//
// Decisions the host may rely on:
// - Names resolve as: locals, members of the class being run, script
//   variables, procedures and classes, the built-in functions and constants,
//   named items, then global members of named items in registration order.
//   So the language's own Execute, Eval and MsgBox win over a global member
//   of the same name (Application.Execute must be called qualified).
// - A scriptlet is compiled as the body of a procedure of its own: its Dim
//   variables are local to it and Exit Sub leaves it.
// - After the scriptlets of an event, a procedure named Item_Event runs (the
//   naming convention), at every connect again.
// - Under On Error Resume Next a failing statement is skipped whole: an error
//   in the condition of an If or a loop skips that If or loop (it does not
//   run its body as if the condition had held).
// - Text against a number, Boolean or date compares by how each side was
//   written: a numeric or date literal makes the text a number ("10" < 9 is
//   False; 13 when the text is none); else a text literal compares with the
//   other side's text ("5" = CInt(5) is True); else the text is the greater.
//   Select Case holds its tested value as no literal.
// - Err is not cleared when a procedure returns: a caller under On Error
//   Resume Next sees the error the procedure resumed past.
// - InputBox is a modal dialog of the window layer owned by the site's window;
//   MsgBox is the platform message box.
#include "platform/scripting/engine_base.h"
#include "platform/scripting/vbscript/vbs_interp.h"
#include "platform/scripting/vbscript/vbscript.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"

namespace vbs {

namespace {

const CLSID CLSID_VBScript = MakeProgramGuid(0x7B5C0001);

class VbsCode : public CompiledCode {
public:
    explicit VbsCode(Interp* in) : in_(in), alive_(in->AliveFlag()) {}
    ~VbsCode() override {
        // immediate code that defined nothing is not needed after its run
        if (*alive_ && prog) in_->Discard(prog);
    }
    Program* prog = nullptr;
    const Proc* handler = nullptr;  // scriptlets: the procedure to call

private:
    Interp* in_;
    std::shared_ptr<bool> alive_;
};

// ---- InputBox: a modal dialog with the prompt, a text field, OK and Cancel ----

struct InputState {
    WString prompt, title, text;
};

intptr_t InputBoxProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG: {
            auto* st = reinterpret_cast<InputState*>(lParam);
            SetWindowLongPtr(dlg, DWLP_USER, lParam);
            SetWindowText(dlg, st->title.c_str());
            SetDlgItemText(dlg, kInputPromptId, st->prompt.c_str());
            SetDlgItemText(dlg, kInputTextId, st->text.c_str());
            return 1;
        }
        case WM_COMMAND: {
            auto* st = reinterpret_cast<InputState*>(GetWindowLongPtr(dlg, DWLP_USER));
            WORD id = LOWORD(wParam);
            if (id == IDOK && st) {
                st->text = GetDlgItemTextString(dlg, kInputTextId);
                EndDialog(dlg, IDOK);
                return 1;
            }
            if (id == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
                return 1;
            }
            return 0;
        }
        default:
            return 0;
    }
}

DialogTemplate InputBoxTemplate() {
    DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.cx = 180;
    t.cy = 80;
    auto item = [&](const char16_t* cls, DWORD id, DWORD style, int16_t x, int16_t y, int16_t cx,
                    int16_t cy, const char16_t* title) {
        DialogItemTemplate it;
        it.className = cls;
        it.id = id;
        it.style = WS_CHILD | WS_VISIBLE | style;
        it.x = x;
        it.y = y;
        it.cx = cx;
        it.cy = cy;
        it.title = title;
        t.items.push_back(it);
    };
    item(u"STATIC", kInputPromptId, SS_LEFT, 6, 6, 120, 40, u"");
    item(u"BUTTON", IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 132, 6, 42, 14, u"OK");
    item(u"BUTTON", IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 132, 24, 42, 14, u"Cancel");
    item(u"EDIT", kInputTextId, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 6, 58, 168, 14, u"");
    return t;
}

class VbsEngine : public ScriptEngineBase, public InterpHost {
public:
    VbsEngine() : ScriptEngineBase(false), interp_(std::make_unique<Interp>(this)) {}

protected:
    ~VbsEngine() override = default;

    HRESULT Compile(const ScriptText& t, std::unique_ptr<CompiledCode>* out) override {
        try {
            auto code = std::make_unique<VbsCode>(interp_.get());
            code->prog = interp_->Compile(t.code, int(t.startingLine), t.context);
            *out = std::move(code);
            return S_OK;
        } catch (const SyntaxError& e) {
            return ReportSyntax(e, t);
        } catch (const std::exception&) {
            return ReportRuntime(Failure());
        }
    }

    HRESULT RunCode(CompiledCode& c) override {
        auto& code = static_cast<VbsCode&>(c);
        try {
            if (code.handler) {
                ArgList none;
                Value r;
                interp_->CallProc(code.handler, nullptr, none, &r);
            } else {
                interp_->Run(code.prog);
            }
            return S_OK;
        } catch (const VbsError& e) {
            return ReportRuntime(e);
        } catch (const std::exception&) {
            return ReportRuntime(Failure());
        }
    }

    HRESULT Evaluate(const ScriptText& t, VARIANT* result) override {
        try {
            Value v;
            interp_->EvaluateText(t.code, int(t.startingLine), &v);
            // hand back a value the host can keep: no references into the engine
            Value plain;
            Assign(&plain, &v);
            VariantClear(result);
            *result = plain.Detach();
            return S_OK;
        } catch (const SyntaxError& e) {
            return ReportSyntax(e, t, /*keepText=*/false);
        } catch (const VbsError& e) {
            return ReportRuntime(e, /*keepText=*/false);
        } catch (const std::exception&) {
            return ReportRuntime(Failure(), false);
        }
    }

    HRESULT CompileScriptlet(const ScriptText& body, WStringView item, WStringView event,
                             std::unique_ptr<CompiledCode>* out) override {
        // the body becomes a procedure one line above, so its lines keep their numbers
        WString name = u"[" + WString(item) + u"::" + WString(event) + u"#" +
                       text::IntToText(int64_t(++scriptlets_)) + u"]";
        WString text = u"Sub " + name + u"()\n" + body.code + u"\nEnd Sub";
        try {
            auto code = std::make_unique<VbsCode>(interp_.get());
            code->prog = interp_->Compile(text, int(body.startingLine) - 1, body.context);
            if (code->prog->procs.empty()) return E_FAIL;
            code->handler = code->prog->procs.back().get();
            *out = std::move(code);
            return S_OK;
        } catch (const SyntaxError& e) {
            ScriptText shown = body;
            SyntaxError moved = e;
            return ReportSyntax(moved, shown);
        }
    }

    HRESULT RunConventionHandler(const NamedItem& item, WStringView event) override {
        const Proc* p = interp_->FindProc(Fold(item.name + u"_" + WString(event)));
        if (!p || p->kind == ProcKind::PropGet) return S_OK;
        if (!p->params.empty()) return S_OK;
        try {
            ArgList none;
            Value r;
            interp_->CallProc(p, nullptr, none, &r);
            return S_OK;
        } catch (const VbsError& e) {
            return ReportRuntime(e);
        } catch (const std::exception&) {
            return ReportRuntime(Failure());
        }
    }

    void OnNamedItemAdded(NamedItem& item) override {
        interp_->AddNamedItem(item.name, item.flags);
    }

    HRESULT GetGlobalDispatch(IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = interp_->GlobalDispatch();
        (*out)->AddRef();
        return S_OK;
    }

    void OnClose() override { interp_->Close(); }

    // ---- InterpHost ----
    IDispatch* ItemObject(const WString& name) override {
        NamedItem* it = FindItem(name);
        if (!it) return nullptr;
        IDispatch* d = ScriptEngineBase::ItemObject(*it);
        if (d) d->AddRef();
        return d;
    }

    int MessageBox(const WString& text, const WString& title, int flags) override {
        return ::MessageBox(OwnerWindow(), text.c_str(), title.c_str(), UINT(flags));
    }

    bool Stopped() override { return State() == SCRIPTSTATE_CLOSED; }

    bool InputBox(const WString& prompt, const WString& title, const WString& def,
                  WString* out) override {
        InputState st{prompt, title, def};
        static const DialogTemplate tmpl = InputBoxTemplate();
        intptr_t r = DialogBoxFromTemplate(nullptr, tmpl, OwnerWindow(), &InputBoxProc,
                                           reinterpret_cast<LPARAM>(&st));
        if (r != IDOK) return false;
        *out = st.text;
        return true;
    }

private:
    // Anything else that escapes the interpreter: out of memory.
    static VbsError Failure() {
        VbsError e;
        e.number = 7;
        e.hr = HrOfNumber(7);
        e.description = ErrorText(7);
        e.source = kRuntimeSource;
        return e;
    }

    HWND OwnerWindow() {
        IActiveScriptSite* site = Site();
        if (!site) return nullptr;
        ComPtr<IActiveScriptSiteWindow> w;
        if (FAILED(site->QueryInterface(IID_IActiveScriptSiteWindow, w.ReceiveVoid())) || !w)
            return nullptr;
        HWND h = nullptr;
        if (FAILED(w->GetWindow(&h))) return nullptr;
        return h;
    }

    HRESULT ReportSyntax(const SyntaxError& e, const ScriptText& t, bool keepText = true) {
        ScriptErrorInfo info;
        info.scode = MakeScriptError(uint16_t(e.number));
        info.source = kCompileSource;
        info.description = ErrorText(e.number);
        info.context = t.context;
        info.line = uint32_t(std::max(e.line, 0));
        info.column = e.col;
        if (keepText) {
            int rel = e.line - int(t.startingLine);
            if (rel >= 0) {
                info.lineText = ScriptLineText(t.code, uint32_t(rel));
                info.hasLineText = true;
            }
        }
        return ReportError(info);
    }

    HRESULT ReportRuntime(const VbsError& e, bool keepText = true) {
        if (e.hr == E_ABORT) return E_ABORT;  // abandoned after a close
        ScriptErrorInfo info;
        info.scode = e.hr ? e.hr : E_FAIL;
        info.source = e.source.empty() ? WString(kRuntimeSource) : e.source;
        info.description = e.description;
        if (!e.detail.empty() && (e.number == 500 || e.number == 13 || e.number == 438 ||
                                  e.number == 424 || e.number == 450 || e.number == 506))
            info.description += u": '" + e.detail + u"'";
        info.context = e.prog ? e.prog->cookie : 0;
        info.line = uint32_t(std::max(e.line, 0));
        info.column = std::max(e.col, 0);
        if (keepText && e.prog && e.line >= 0) {
            info.lineText = Interp::LineText(e.prog, e.line);
            info.hasLineText = true;
        }
        return ReportError(info);
    }

    std::unique_ptr<Interp> interp_;
    int scriptlets_ = 0;
};

HRESULT CreateVbsEngine(IUnknown** out) {
    if (!out) return E_POINTER;
    auto* e = new VbsEngine();
    *out = static_cast<IActiveScript*>(e);
    return S_OK;
}

struct Registrar {
    Registrar() { RegisterScriptEngine(u"VBScript", CLSID_VBScript, &CreateVbsEngine); }
} registrar;

}  // namespace

}  // namespace vbs
