// A small harness for VBScript tests: runs scripts on the interpreter with an
// output object named "T" (T.Print x appends a line) and reports errors as text.
#pragma once

#include <string>
#include <vector>

#include "platform/scripting/vbscript/vbs_interp.h"
#include "platform/scripting/vbscript/vbs_objects.h"

namespace vbstest {

class Output : public vbs::DispatchBase {
public:
    std::vector<std::string> lines;
    DISPID FindMember(const WString& l, const vbs::ClassInstance*) const override {
        if (l == u"print") return 1;
        if (l == u"text") return 2;
        return DISPID_UNKNOWN;
    }
    void Call(DISPID id, uint16_t, vbs::ArgList& args, vbs::Value* result) override {
        if (id == 1) {
            std::string s;
            for (size_t i = 0; i < args.size(); ++i) {
                if (i) s += " ";
                const VARIANT* v = args[i].Get();
                s += v->vt == VT_NULL ? std::string("Null") : text::ToUtf8(vbs::ToStr(v));
            }
            lines.push_back(s);
            result->Receive();
            return;
        }
        if (id == 2) {
            std::string all;
            for (size_t i = 0; i < lines.size(); ++i) all += (i ? "|" : "") + lines[i];
            VariantFromString(result->Receive(), text::FromUtf8(all));
            return;
        }
        vbs::Throw(438);
    }
    WString ClassName() const override { return u"Output"; }
};

class Host : public vbs::InterpHost {
public:
    Output* out = nullptr;
    std::vector<std::pair<WString, IDispatch*>> items;
    std::vector<std::string> boxes;
    int boxAnswer = 1;
    IDispatch* ItemObject(const WString& name) override {
        for (auto& [n, d] : items)
            if (text::EqualsNoCase(n, name)) {
                d->AddRef();
                return d;
            }
        return nullptr;
    }
    int MessageBox(const WString& t, const WString& title, int flags) override {
        boxes.push_back(text::ToUtf8(title) + ":" + text::ToUtf8(t) + ":" + std::to_string(flags));
        return boxAnswer;
    }
    bool InputBox(const WString&, const WString&, const WString& def, WString* out) override {
        *out = def + u"!";
        return true;
    }
};

// One interpreter with T registered.
struct Runner {
    Host host;
    Output* out;
    std::unique_ptr<vbs::Interp> in;
    Runner() {
        out = new Output();
        out->AddRef();
        host.out = out;
        host.items.push_back({u"T", out});
        in = std::make_unique<vbs::Interp>(&host);
        in->AddNamedItem(u"T", 0x2);
    }
    ~Runner() {
        in.reset();
        out->Release();
    }
    void AddItem(const WString& name, IDispatch* d, uint32_t flags) {
        host.items.push_back({name, d});
        in->AddNamedItem(name, flags);
    }
    // Runs a script; returns the printed lines joined by '|', or
    // "error N line L" when it failed.
    std::string Run(const std::string& script) {
        out->lines.clear();
        try {
            vbs::Program* p = in->Compile(text::FromUtf8(script), 0, 0);
            in->Run(p);
        } catch (const vbs::SyntaxError& e) {
            return "syntax " + std::to_string(e.number) + " line " + std::to_string(e.line) +
                   " col " + std::to_string(e.col);
        } catch (const vbs::VbsError& e) {
            std::string s;
            for (auto& l : out->lines) s += l + "|";
            return s + "error " + std::to_string(e.number) + " line " + std::to_string(e.line);
        }
        std::string all;
        for (size_t i = 0; i < out->lines.size(); ++i) all += (i ? "|" : "") + out->lines[i];
        return all;
    }
    // Evaluates an expression; "TypeName:text" or "error N".
    std::string Eval(const std::string& expr) {
        try {
            vbs::Value v;
            in->EvaluateText(text::FromUtf8(expr), 0, &v);
            std::string tn = text::ToUtf8(in->TypeName(&v));
            if (v.vt == VT_NULL || v.vt == VT_EMPTY || (v.vt & VT_ARRAY) || v.vt == VT_DISPATCH)
                return tn;
            return tn + ":" + text::ToUtf8(vbs::ToStr(&v));
        } catch (const vbs::SyntaxError& e) {
            return "syntax " + std::to_string(e.number);
        } catch (const vbs::VbsError& e) {
            return "error " + std::to_string(e.number);
        }
    }
};

}  // namespace vbstest
