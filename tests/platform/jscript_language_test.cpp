// The "JScript" language as scripts written for the classic engine use it:
// runaway scripts end with an error, errors carry number and description,
// the classic built-ins, dates and regular expression statics, host objects.
// Every case runs through the engine interface the program uses: the script
// is evaluated and its last value (or the error the site receives) compared.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "platform/scripting/jscript_engine.h"
#include "platform/sys/thread.h"
#include "platform/win/window.h"
#include "tests/platform/com_test_model.h"
#include "tests/platform/script_test_site.h"

using scripttest::Harness;

namespace {

std::string U8(WStringView s) {
    return text::ToUtf8(s);
}

// A value as the script would write it (numbers in the shortest form).
std::string Show(const VARIANT& v) {
    switch (v.vt) {
        case VT_EMPTY:
            return "undefined";
        case VT_NULL:
            return "null";
        case VT_BOOL:
            return v.boolVal ? "true" : "false";
        case VT_I4:
            return std::to_string(v.lVal);
        case VT_R8: {
            if (std::isnan(v.dblVal)) return "NaN";
            if (std::isinf(v.dblVal)) return v.dblVal > 0 ? "Infinity" : "-Infinity";
            char b[40];
            std::snprintf(b, sizeof b, "%.17g", v.dblVal);
            return b;
        }
        case VT_BSTR:
            return U8(BstrView(v.bstrVal));
        case VT_DISPATCH:
            return "[dispatch]";
        default:
            return "vt " + std::to_string(v.vt);
    }
}

// The outcome of a script: its value, or "!<number> <description>" for the
// error the site was told about.
std::string Outcome(Harness& js, WStringView code) {
    js.site.errors.clear();
    ComVariant v;
    HRESULT hr = js.Eval(code, v.Receive());
    if (FAILED(hr)) {
        if (js.site.errors.empty()) return "!no error reported";
        auto& e = js.site.errors.back();
        return "!" + std::to_string(static_cast<int32_t>(e.scode)) + " " + U8(e.description);
    }
    return Show(v);
}

struct Case {
    const char16_t* code;
    const char* expected;
};

void RunTable(Harness& js, std::initializer_list<Case> cases) {
    for (auto& c : cases) EXPECT_EQ(Outcome(js, c.code), c.expected) << U8(c.code);
}

struct JsLanguage : ::testing::Test {
    JsLanguage() { js.SetState(SCRIPTSTATE_STARTED); }
    Harness js{u"JScript"};
};

}  // namespace

// ---------------------------------------------------------------- runaway scripts

TEST_F(JsLanguage, RecursionEndsWithOutOfStackSpace) {
    RunTable(js, {
        // Tail position: the call must not be turned into a jump.
        {u"function f(n) { return f(n + 1); } f(0);", "!-2146828260 Out of stack space"},
        {u"function g() { g(); } g();", "!-2146828260 Out of stack space"},
        // Recursion through the engine's natives (toString) and through eval.
        {u"var o = {toString: function () { return 'x' + this; }}; '' + o;",
         "!-2146828260 Out of stack space"},
        {u"function e() { return eval('e()'); } e();", "!-2146828260 Out of stack space"},
        // A script may catch it and go on.
        {u"function h() { return h(); } try { h(); } catch (x) { x.number + ' ' + x.description; }",
         "-2146828260 Out of stack space"},
        // Deep but bounded recursion is fine.
        {u"function d(n) { return n ? d(n - 1) + 1 : 0; } d(1000);", "1000"},
    });
    // Source nested too deeply for the compiler.
    std::u16string deep(5000, u'(');
    deep += u"1" + std::u16string(5000, u')');
    EXPECT_EQ(Outcome(js, deep), "!-2146828260 Out of stack space");
    std::u16string arrays(5000, u'[');
    arrays += std::u16string(5000, u']');
    EXPECT_EQ(Outcome(js, arrays), "!-2146828260 Out of stack space");
    // The engine is usable afterwards.
    EXPECT_EQ(Outcome(js, u"1 + 1"), "2");
}

// An endless loop stops when the host's abort poll says so (here: a released
// Escape key waiting in the queue, as the program's poll sees it); the
// message loop that ran the script goes on with the messages after it.
TEST_F(JsLanguage, AbortPollStopsAnEndlessLoopAndTheMessageLoopRuns) {
    const UINT kRun = WM_APP + 1;
    js.site.queryContinue = [&] {
        if (js.site.polls < 3) return S_OK;  // let the script get going
        MSG m;
        bool escape = PeekMessage(&m, nullptr, WM_KEYUP, WM_KEYUP, PM_NOREMOVE) &&
                      m.wParam == VK_ESCAPE;
        return escape ? S_FALSE : S_OK;
    };
    const DWORD me = sys::GetCurrentThreadId();
    PostThreadMessage(me, kRun, 0, 0);
    PostThreadMessage(me, WM_KEYUP, VK_ESCAPE, 0);
    PostThreadMessage(me, WM_QUIT, 0, 0);
    std::vector<UINT> seen;
    std::string outcome;
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0)) {
        seen.push_back(m.message);
        // A catch inside the loop cannot swallow the stop.
        if (m.message == kRun)
            outcome = Outcome(js, u"n = 0; for (;;) { try { while (true) n++; } catch (e) {} }");
    }
    seen.push_back(m.message);
    EXPECT_EQ(outcome, "!-2147467260 Operation aborted");
    EXPECT_EQ(seen, (std::vector<UINT>{kRun, WM_KEYUP, WM_QUIT}));
    EXPECT_GT(js.site.polls, 0);
    // The stop does not outlive the run: the next script runs to its end.
    EXPECT_EQ(Outcome(js, u"n > 0 ? 'counted' : 'nothing'"), "counted");
    EXPECT_EQ(Outcome(js, u"var k = 0; for (var i = 0; i < 3000000; i++) k++; k"), "3000000");
}

// ---------------------------------------------------------------- error objects

TEST_F(JsLanguage, ErrorsCarryNumberAndDescription) {
    RunTable(js, {
        {u"try { nosuch(); } catch (e) { e.number + '|' + e.description + '|' + e.message; }",
         "-2146823279|'nosuch' is undefined|'nosuch' is undefined"},
        {u"try { var o = {}; o.missing(); } catch (e) { e.number + '|' + e.description; }",
         "-2146827850|Object doesn't support this property or method"},
        {u"try { var o = {v: 1}; o.v(); } catch (e) { e.number + '|' + e.description; }",
         "-2146823286|Function expected"},
        {u"try { var u; u.x; } catch (e) { e.number + '|' + e.description; }",
         "-2146823281|Object expected"},
        {u"try { null.x = 1; } catch (e) { e.number + '|' + (e instanceof TypeError); }",
         "-2146823281|true"},
        {u"try { new Array(-1); } catch (e) { e.number + '|' + e.description + '|' + e.name; }",
         "-2146823259|Array length must be a finite positive integer|RangeError"},
        {u"try { eval('var = 1'); } catch (e) { e.number + '|' + e.description; }",
         "-2146827286|Syntax error"},
        {u"try { eval('\"abc'); } catch (e) { e.number + '|' + e.description; }",
         "-2146827273|Unterminated string constant"},
        {u"try { new RegExp('a('); } catch (e) { e.number + '|' + (e instanceof SyntaxError); }",
         "-2146823268|true"},
        {u"try { new Date(0).getTime.call({}); } catch (e) { e.number + '|' + e.description; }",
         "-2146823282|Date object expected"},
        // The classic two-argument form, and the standard one.
        {u"var e = new Error(42, 'mine'); e.number + '|' + e.description + '|' + e.message;",
         "42|mine|mine"},
        {u"var e = new Error('text'); e.number + '|' + e.description + '|' + e.message;",
         "0|text|text"},
        {u"var e = new TypeError(-2146823281, 'odd'); e.number + '|' + e.message + '|' + "
         u"(e instanceof TypeError) + '|' + (e instanceof Error) + '|' + e.name;",
         "-2146823281|odd|true|true|TypeError"},
        {u"var e = Error(7, 'called'); e.number + '|' + (e.constructor === Error);", "7|true"},
        {u"var e = new Error(); e.number + '|' + e.description + '|';", "0||"},
        {u"(new Error(1, 'x')).toString()", "Error: x"},
    });
    // Uncaught: the site gets the error's own number and text.
    RunTable(js, {
        {u"var a = 1;\nundefinedThing + 1;", "!-2146823279 'undefinedThing' is undefined"},
        {u"throw new Error(-2146828218, 'Permission denied');", "!-2146828218 Permission denied"},
        {u"throw new Error('plain');", "!-2146823266 plain"},
        {u"throw 'a string';", "!-2146823266 Exception thrown and not caught"},
    });
}

TEST_F(JsLanguage, ErrorsPointAtTheFailingLine) {
    struct {
        const char16_t* code;
        uint32_t line;
    } cases[] = {
        {u"var a = 1;\nvar o = {};\no.nope();", 2},
        {u"var o = {};\nvar b = 2;\n\no.nope(1,\n  2);", 3},
        {u"function f() {\n  var q = {};\n  q.r.s = 1;\n}\nf();", 2},
        {u"var a = 1;\nvar b = a;\nnotHere();", 2},
    };
    for (auto& c : cases) {
        js.site.errors.clear();
        EXPECT_EQ(js.Run(c.code), SCRIPT_E_REPORTED);
        ASSERT_EQ(js.site.errors.size(), 1u);
        EXPECT_EQ(js.site.errors[0].line, c.line) << U8(c.code);
    }
}

TEST_F(JsLanguage, LabelsCompileAndRun) {
    RunTable(js, {
        {u"done: break done; 'after'", "after"},
        {u"var s = ''; out: { s += 'a'; break out; s += 'b'; } s", "a"},
        {u"var s = ''; t: try { s += 't'; break t; } finally { s += 'f'; } s", "tf"},
        {u"var s = ''; outer: for (var i = 0; i < 3; i++) { for (var j = 0; j < 3; j++) {"
         u" if (j == 1) continue outer; if (i == 2) break outer; s += i + '' + j; } } s",
         "0010"},
        {u"var n = 0; w: while (true) { n++; if (n > 2) break w; } n", "3"},
        {u"var x = 0; l1: l2: { x = 1; break l1; } x", "1"},
    });
}
