// The "JScript" language as scripts written for the classic engine use it:
// runaway scripts end with an error, errors carry number and description,
// the classic built-ins, dates and regular expression statics, host objects.
// Every case runs through the engine interface the program uses: the script
// is evaluated and its last value (or the error the site receives) compared.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "platform/scripting/automation_objects.h"
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
        {u"function r(n) { return [2, 1].sort(function () { return r(n + 1); }); } r(0);",
         "!-2146828260 Out of stack space"},
        {u"function q(n) { return 'ab'.replace(/a/, function () { return q(n + 1); }); } q(0);",
         "!-2146828260 Out of stack space"},
        {u"var o = {}; for (var i = 0; i < 5000; i++) o = {n: o}; JSON.stringify(o);",
         "!-2146828260 Out of stack space"},
        {u"new RegExp(new Array(5000).join('(') + 'a' + new Array(5000).join(')'));",
         "!-2146828260 Out of stack space"},
        {u"/(a|b)*c/.test(new Array(50000).join('ab'));", "!-2146828260 Out of stack space"},
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

// A script that piles up data ends with an error, not with the memory.
TEST_F(JsLanguage, RunawayMemoryEndsWithOutOfMemory) {
    RunTable(js, {
        {u"var s = 'x'; for (;;) s += s;", "!-2146828281 Out of memory"},
        {u"var t = 'x'; try { for (;;) t += t; } catch (e) { t = null; e.number + '|' + e.description; }",
         "-2146828281|Out of memory"},
        {u"'still ' + 'fine'", "still fine"},
    });
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
    EXPECT_EQ(Outcome(js, u"var k = 0; for (var i = 0; i < 300000; i++) k++; k"), "300000");
    EXPECT_GT(js.site.polls, 3);
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
        {u"try { new RegExp('a('); } catch (e) { e.number + '|' + (e instanceof SyntaxError) + '|' + "
         u"(e instanceof RegExpError) + '|' + e.name; }",
         "-2146823268|true|true|RegExpError"},
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
        {u"(new Error(1, 'x')).toString() + ' ' + String(new TypeError('t'))",
         "[object Error] [object Error]"},
    });
    // Uncaught: the site gets the error's own number and text.
    RunTable(js, {
        {u"var a = 1;\nundefinedThing + 1;", "!-2146823279 'undefinedThing' is undefined"},
        {u"throw new Error(-2146828218, 'Permission denied');", "!-2146828218 Permission denied"},
        {u"throw new Error('plain');", "!-2146823266 plain"},
        {u"throw 'a string';", "!-2146823266 Exception thrown and not caught"},
    });
}

TEST_F(JsLanguage, BuiltinsOnTheWrongObject) {
    RunTable(
        js,
        {
            {u"try { Boolean.prototype.toString.call(1); } catch (e) { e.number + '|' + "
             u"e.description "
             u"+ '|' + e.name; }",
             "-2146823278|Boolean expected|TypeError"},
            {u"try { Boolean.prototype.valueOf.call('x'); } catch (e) { e.number; }",
             "-2146823278"},
            {u"try { String.prototype.toString.call(5); } catch (e) { e.number + '|' + "
             u"e.description; }",
             "-2146823283|String expected"},
            {u"try { String.prototype.valueOf.call({}); } catch (e) { e.number; }", "-2146823283"},
            {u"try { Number.prototype.toString.call('x'); } catch (e) { e.number + '|' + e.name; }",
             "-2146823287|TypeError"},
            {u"try { Date.prototype.getTime.call({}); } catch (e) { e.number; }", "-2146823282"},
            {u"try { RegExp.prototype.exec.call({}, 'a'); } catch (e) { e.number; }",
             "-2146823272"},
            {u"try { Array.prototype.toString.call({}); } catch (e) { e.number + '|' + "
             u"e.description + "
             u"'|' + e.name; }",
             "-2146823257|Array object expected|TypeError"},
            {u"try { Function.prototype.toString.call({}); } catch (e) { e.number; }",
             "-2146823286"},
            {u"try { (function () {}).apply(null, 5); } catch (e) { e.number + '|' + "
             u"e.description; }",
             "-2146823260|Array or arguments object expected"},
            {u"try { String.prototype.charAt.call(null, 0); } catch (e) { e.number; }",
             "-2146823281"},
            {u"try { Array.prototype.join.call(undefined); } catch (e) { e.number; }",
             "-2146823281"},
            // generic methods stay generic; arrays and their kin still work
            {u"Array.prototype.join.call({length: 2, 0: 'a', 1: 'b'}, '-')", "a-b"},
            {u"String.prototype.charAt.call(123, 1) + [1, 2].toString() + (function (a) { return "
             u"a; "
             u"}).apply(null, [3])",
             "21,23"},
        });
}

TEST_F(JsLanguage, FunctionsGiveTheirSourceText) {
    RunTable(
        js,
        {
            {u"function add(a, b) { return a + b; } add.toString()",
             "function add(a, b) { return a + b; }"},
            {u"(function (x) {\n  // note\n  return x;\n}).toString()",
             "function (x) {\n  // note\n  return x;\n}"},
            {u"var o = {m: function named() { return 1 }}; String(o.m)",
             "function named() { return 1 }"},
            {u"function outer() { function inner() { return 'i'; } return inner; } '' + outer()",
             "function inner() { return 'i'; }"},
            {u"new Function('a', 'b', 'return a * b').toString()",
             "function anonymous(a,b) {\nreturn a * b\n}"},
            {u"new Function('return 1').toString()", "function anonymous() {\nreturn 1\n}"},
            {u"Math.max.toString()", "function max() { [native code] }"},
            // built-ins the engine writes in script look native too
            {u"String.prototype.substr.toString() + '|' + Date.toString()",
             "function substr() { [native code] }|function Date() { [native code] }"},
            {u"eval('(function e1() { return 2 })').toString()", "function e1() { return 2 }"},
        });
}

TEST_F(JsLanguage, ErrorPropertiesAndRegExpError) {
    RunTable(
        js,
        {
            {u"var k = []; for (var p in new Error(1, 'x')) k.push(p); k.join()",
             "number,description,message"},
            {u"var k = []; try { null.x; } catch (e) { for (var p in e) k.push(p); } k.join()",
             "number,description,message"},
            {u"var k = []; for (var p in new TypeError('t')) k.push(p); k.join()",
             "number,description,message"},
            {u"var e = new Error(2, 'd'); e.propertyIsEnumerable('number') + '|' + "
             u"e.propertyIsEnumerable('name') + '|' + e.name",
             "true|false|Error"},
            {u"typeof RegExpError + '|' + new RegExpError(5, 'r').description + '|' + "
             u"(new RegExpError('q') instanceof Error) + '|' + RegExpError.prototype.name",
             "function|r|true|RegExpError"},
            {u"try { new RegExp('a)'); } catch (e) { e.name + '|' + (e instanceof RegExpError); }",
             "RegExpError|true"},
        });
}

TEST_F(JsLanguage, IndirectEvalRunsGlobally) {
    RunTable(
        js, {
                {u"var gx = 'global'; function f() { var gx = 'local'; var e = eval; return "
                 u"e('gx'); } f()",
                 "global"},
                {u"function f2() { var ev = eval; ev('var madeHere = 1'); } f2(); typeof madeHere",
                 "number"},
                {u"function f3() { var lx = 1; return (0, eval)('typeof lx'); } f3()", "undefined"},
                {u"function f4() { var lx = 4; return eval('lx'); } f4()", "4"},
            });
}

TEST_F(JsLanguage, NamedFunctionExpressionsAreDeclarations) {
    RunTable(
        js,
        {
            // hoisted: the name is there before the expression runs
            {u"var before = typeof early; var f = function early() { return 1; }; before",
             "function"},
            {u"function outer() { var r = inner(); var h = function inner() { return 'i'; }; "
             u"return r; "
             u"} outer()",
             "i"},
            // a declaration of the enclosing function, not a global
            {u"function o2() { var h = function local2() {}; return typeof local2; } o2() + '|' + "
             u"typeof local2",
             "function|undefined"},
            // the declaration is a function of its own
            {u"var f6 = function twin() {}; (f6 === twin) + '|' + typeof twin", "false|function"},
            {u"var f7 = function () { return 7; }; f7()", "7"},
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

// ---------------------------------------------------------------- built-ins

TEST_F(JsLanguage, NumbersStringsAndArraysTheClassicWay) {
    RunTable(js, {
        // toFixed rounds the decimal text, half away from zero.
        {u"(0.95).toFixed(1)", "1.0"},
        {u"(1.005).toFixed(2)", "1.01"},
        {u"(1.45).toFixed(1)", "1.5"},
        {u"(-1.5).toFixed(0)", "-2"},
        {u"(123.456).toFixed(2)", "123.46"},
        {u"(0).toFixed(2)", "0.00"},
        {u"(1e-10).toFixed(3)", "0.000"},
        {u"(99.99).toFixed(1)", "100.0"},
        {u"(1e21).toFixed(2)", "1e+21"},
        {u"(1234.5).toLocaleString() + ' ' + (-0.125).toLocaleString() + ' ' + (12).toLocaleString()",
         "1,234.50 -0.13 12.00"},
        {u"try { (1).toFixed(21); } catch (e) { e.number + '|' + e.description; }",
         "-2146823262|The number of fractional digits is out of range"},
        {u"try { (1).toPrecision(0); } catch (e) { e.number + '|' + e.description; }",
         "-2146823261|The precision is out of range"},
        // A leading 0 is octal without a radix.
        {u"parseInt('010')", "8"},
        {u"parseInt('08')", "0"},
        {u"parseInt('  -012')", "-10"},
        {u"parseInt('010', 10)", "10"},
        {u"parseInt('0x1A')", "26"},
        // Literals.
        {u"'\\v' + '\\t'.length", "v1"},
        {u"1e999", "Infinity"},
        {u"-1e999 < 0", "true"},
        // Strings.
        {u"'abcd'.substr(-1, 3)", "abc"},
        {u"'abcdef'.substr(2)", "cdef"},
        {u"'abcdef'.substr(1, -1)", ""},
        {u"'x'.anchor('n') + 'x'.big() + 'x'.blink() + 'x'.bold() + 'x'.fixed()",
         "<A NAME=\"n\">x</A><BIG>x</BIG><BLINK>x</BLINK><B>x</B><TT>x</TT>"},
        {u"'x'.fontcolor('red') + 'x'.fontsize(3) + 'x'.italics() + 'x'.link('u')",
         "<FONT COLOR=\"red\">x</FONT><FONT SIZE=\"3\">x</FONT><I>x</I><A HREF=\"u\">x</A>"},
        {u"'x'.small() + 'x'.strike() + 'x'.sub() + 'x'.sup()",
         "<SMALL>x</SMALL><STRIKE>x</STRIKE><SUB>x</SUB><SUP>x</SUP>"},
        // Arrays.
        {u"var a = [1, 2, 3]; var r = a.splice(1); a.length + ',' + r.length", "3,0"},
        {u"var a = [1, 2, 3]; a.splice(1, 1); a.join()", "1,3"},
        {u"[1,].length + ',' + [1,,].length + ',' + [,].length + ',' + [].length", "2,3,2,0"},
        {u"typeof [1].unshift(0)", "undefined"},
        {u"var a = [2]; a.unshift(0, 1); a.join()", "0,1,2"},
        {u"[3, 1, 10, 2].sort(null).join()", "1,10,2,3"},
        {u"[3, 1, 2].sort(function (x, y) { return y - x; }).join()", "3,2,1"},
        // The engine.
        {u"ScriptEngine() + ' ' + typeof ScriptEngineMajorVersion() + ' ' + "
         u"typeof ScriptEngineMinorVersion() + ' ' + typeof ScriptEngineBuildVersion()",
         "JScript number number number"},
        {u"CollectGarbage(); typeof CollectGarbage", "function"},
        {u"var n = 0; for (var k in this) if (k == 'ScriptEngine' || k == 'parseInt') n++; n", "0"},
    });
}

TEST_F(JsLanguage, RegularExpressionStatics) {
    RunTable(js, {
        {u"/(\\d+)-(\\d+)/.exec('tel 123-456 end'); RegExp.$1 + '|' + RegExp.$2 + '|' + "
         u"RegExp.$3 + '|' + RegExp.lastMatch + '|' + RegExp['$&'] + '|' + RegExp.lastParen + '|' + "
         u"RegExp['$+']",
         "123|456||123-456|123-456|456|456"},
        {u"/(\\d+)-(\\d+)/.test('tel 123-456 end'); '[' + RegExp.leftContext + '|' + "
         u"RegExp['$`'] + '|' + RegExp.rightContext + '|' + RegExp[\"$'\"] + '|' + RegExp.input + "
         u"'|' + RegExp.$_ + '|' + RegExp.index + '|' + RegExp.lastIndex + ']'",
         "[tel |tel | end| end|tel 123-456 end|tel 123-456 end|4|11]"},
        // Every kind of match sets them.
        {u"'a1b2'.match(/(\\d)/g); RegExp.$1 + RegExp.index", "23"},
        {u"'x=7'.search(/=(\\d)/); RegExp.$1", "7"},
        {u"'k:v'.split(/(:)/); RegExp.$1 + RegExp.leftContext", ":k"},
        {u"'john smith'.replace(/(\\w+)\\s(\\w+)/, '$2, $1') + '|' + RegExp.$2", "smith, john|smith"},
        {u"var seen = ''; 'a=1,b=2'.replace(/(\\w)=(\\d)/g, function (m, k, v, at, s) {"
         u" seen += RegExp.$1 + RegExp.$2 + at; return v + k; }) + '|' + seen",
         "1a,2b|a10b24"},
        {u"'aXbXc'.replace(/X/g, '[$&$$]') + 'ab'.replace(/(a)(b)/, \"$`$'$3$10\")",
         "a[X$]b[X$]c$3a0"},
        // A failed match leaves them alone.
        {u"/(q)/.exec('q'); /(z)/.exec('y'); RegExp.$1", "q"},
        // split: empty items dropped, captures not spliced in.
        {u"'1,,2,'.split(/,+/).length", "2"},
        {u"',1,,2,'.split(/,/).join('|')", "1|2"},
        {u"'a1b2c'.split(/(\\d)/).join('|')", "a|b|c"},
        {u"'abc'.split(/x*/).join('|')", "a|b|c"},
        {u"'a b c'.split(/ /, 2).join('|')", "a|b"},
        {u"'1,2,,3'.split(',').length", "4"},
        // lastIndex after exec and test, global or not; the match array.
        {u"var re = /a/; re.test('xa'); re.lastIndex", "2"},
        {u"var re = /b/; re.exec('abc'); re.lastIndex", "2"},
        {u"var re = /a*/g; re.exec('b'); re.lastIndex", "1"},
        {u"var re = /z/g; re.lastIndex = 3; re.exec('abc'); re.lastIndex", "0"},
        {u"var m = /b(c)/.exec('abcd'); m.index + '|' + m.lastIndex + '|' + m.input + '|' + m[1]",
         "1|3|abcd|c"},
        {u"var m = 'a1b22'.match(/\\d+/g); m.length + '|' + m.index + '|' + m.lastIndex", "2|3|5"},
        {u"var n = 0, re = /x*/g, m; while ((m = re.exec('ab')) && n < 10) n++; n", "3"},
        // Loops over groups that can match nothing.
        {u"var m = /()*/.exec(''); m.length + '|' + m[0] + '|' + typeof m[1]", "2||undefined"},
        {u"String(/(a*)*b/.exec('aab')) + '|' + String(/(a|)*x/.exec('aax'))", "aab,aa|aax,a"},
        {u"String(/()*?x/.exec('x')) + '|' + String(/(a*)+/.exec('b'))", "x,|,"},
        {u"'aaa'.replace(/(a*)*/g, '[$1]')", "[aaa][]"},
        {u"/^(\\s*\\w+\\s*,?)*$/.test('one, two, three')", "true"},
    });
}

TEST_F(JsLanguage, DatesPrintAndParseTheClassicWay) {
    RunTable(js, {
        {u"new Date(1899, 11, 30).toString()", "Sat Dec 30 00:00:00 UTC 1899"},
        {u"new Date(Date.UTC(1899, 11, 30, 13, 4, 5)).toUTCString()",
         "Sat, 30 Dec 1899 13:04:05 UTC"},
        {u"new Date(2009, 0, 5, 13, 5, 9).toLocaleString()", "Monday, January 5, 2009 1:05:09 PM"},
        {u"new Date(2009, 0, 5).toLocaleDateString() + '|' + new Date(2009, 0, 5, 0, 1).toLocaleTimeString()",
         "Monday, January 5, 2009|12:01:00 AM"},
        {u"new Date(2009, 0, 20).toDateString()", "Tue Jan 20 2009"},
        {u"new Date(2009, 0, 20, 13, 5, 9).toTimeString()", "13:05:09 UTC"},
        {u"var d = new Date(2000, 0, 1); d.setFullYear(-9, 4, 6); d.toString()",
         "Mon May 6 00:00:00 UTC 10 B.C."},
        {u"String(new Date(NaN)) + '|' + new Date('nonsense')", "NaN|NaN"},
        {u"typeof Date() + Date().length", "string28"},
        {u"var d = new Date(2000, 5, 1); var v = d.getVarDate(); (v.getTime() == d.getTime()) + ' ' + "
         u"(v !== d)",
         "true true"},
        // Parsing.
        {u"Date.parse('Jan 20 2009 UTC')", "1232409600000"},
        {u"Date.parse('JANUARY 20, 2009 utc') + Date.parse('20 jan 2009 GMT')", "2464819200000"},
        {u"Date.parse('7/02/17 UTC') == Date.UTC(1917, 6, 2)", "true"},
        {u"Date.parse('1970/01/01') == new Date(1970, 0, 1).getTime()", "true"},
        {u"Date.parse('Thu Jan 1 00:00:00 UTC+0100 1970')", "-3600000"},
        {u"Date.parse('Thu, 01 Jan 1970 02:00:00 GMT+0200')", "0"},
        {u"Date.parse('Jan 1 1970 10:30 PM UTC') / 60000", "1350"},
        {u"Date.parse('Jan 1 1970 12:00 AM (midnight) UTC')", "0"},
        {u"var d = new Date(2001, 1, 2, 3, 4, 5); Date.parse(d.toString()) == d.getTime()", "true"},
        {u"var d = new Date(2001, 1, 2, 3, 4, 5); Date.parse(d.toUTCString()) == d.getTime()",
         "true"},
        {u"new Date('Feb 3 2004').getDate()", "3"},
        {u"isNaN(Date.parse('garbage')) + ' ' + isNaN(Date.parse('Jan 2009')) + ' ' + "
         u"isNaN(Date.parse('13/01/2000'))",
         "true true true"},
        // getYear: the full year outside 1900-1999.
        {u"new Date(1950, 0, 1).getYear() + ' ' + new Date(2009, 0, 1).getYear() + ' ' + "
         u"new Date(1850, 0, 1).getYear()",
         "50 2009 1850"},
    });
}

// Zones are written "UTC+0100" style, and read back.
TEST_F(JsLanguage, DatesParseTheLenientFormsAndNotIso) {
    RunTable(
        js,
        {
            {u"new Date(Date.parse('12Au91 UTC')).toUTCString()", "Mon, 12 Aug 1991 00:00:00 UTC"},
            {u"Date.parse('Ja 5 99 UTC') == Date.UTC(1999, 0, 5)", "true"},
            {u"Date.parse('Ju 5 2000 UTC') == Date.UTC(2000, 5, 5)", "true"},
            {u"Date.parse('Jan. 5, 1999; 10:00 UTC') == Date.UTC(1999, 0, 5, 10)", "true"},
            {u"Date.parse('We, Au 4 2021 UTC') == Date.UTC(2021, 7, 4)", "true"},
            {u"Date.parse('- Dec 30 1899 - UTC') == Date.UTC(1899, 11, 30)", "true"},
            {u"Date.parse('1/2/03 UTC') == Date.UTC(1903, 0, 2)", "true"},
            {u"isNaN(Date.parse('2009-01-20')) + '|' + isNaN(Date.parse('2009-01-20T10:00:00Z')) + "
             u"'|' + isNaN(new Date('2009-01-20T10:00:00.000Z'))",
             "true|true|true"},
            {u"isNaN(Date.parse('J 5 2000')) + '|' + isNaN(Date.parse('Xy 5 2000'))", "true|true"},
        });
}

TEST_F(JsLanguage, DatesInAZoneEastOfUtc) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "XXX-1", 1);
    tzset();
    RunTable(js, {
        {u"new Date(Date.UTC(1899, 11, 29, 23)).toString()", "Sat Dec 30 00:00:00 UTC+0100 1899"},
        {u"new Date(Date.UTC(2009, 0, 20, 12)).toTimeString()", "13:00:00 UTC+0100"},
        {u"Date.parse('Sat Dec 30 00:00:00 UTC+0100 1899') == Date.UTC(1899, 11, 29, 23)", "true"},
        {u"Date.parse('Jan 1 1970') / 3600000", "-1"},
    });
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// ---------------------------------------------------------------- host objects

namespace {

// An automation object without type information, as extensions hand out.
class HostObject final : public UntypedDispatch {
public:
    bool Answers(REFIID iid) const override { return iid == IID_IDispatch; }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const* names, uint32_t count, LCID,
                          DISPID* ids) override {
        static const char16_t* const kNames[] = {u"Grid", u"Vector", u"When",  u"Nothing",
                                                 u"Echo", u"Fail",   u"Count", u"Other"};
        for (uint32_t i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        for (DISPID k = 0; k < 8; ++k)
            if (text::CompareNoCase(names[0], kNames[k]) == 0) return ids[0] = k + 1, S_OK;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, uint32_t*) override {
        VARIANT dummy;
        if (!result) result = &dummy;
        VariantInit(result);
        const uint32_t argc = params ? params->cArgs : 0;
        switch (id) {
            case 1: {  // 2 x 3 of VARIANT, bounds (1..2, 0..2), value 10 * i + j
                SAFEARRAYBOUND b[2] = {{2, 1}, {3, 0}};
                SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, b);
                for (int32_t i = 1; i <= 2; ++i)
                    for (int32_t j = 0; j <= 2; ++j) {
                        int32_t at[2] = {i, j};
                        ComVariant v(10 * i + j);
                        SafeArrayPutElement(psa, at, &v);
                    }
                result->vt = VT_ARRAY | VT_VARIANT;
                result->parray = psa;
                break;
            }
            case 2: {  // [5, 6, 7] of VT_I4
                SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 0, 3);
                for (int32_t i = 0; i < 3; ++i) {
                    int32_t v = 5 + i;
                    SafeArrayPutElement(psa, &i, &v);
                }
                result->vt = VT_ARRAY | VT_I4;
                result->parray = psa;
                break;
            }
            case 3:
                VariantFromDate(result, 36526.5);  // 1 Jan 2000, noon
                break;
            case 4:
                VariantFromDispatch(result, nullptr);
                break;
            case 5:  // Echo(x): remembers what came, gives it back
                if (argc < 1) return DISP_E_BADPARAMCOUNT;
                lastVt = params->rgvarg[0].vt;
                lastDispatchNull = lastVt == VT_DISPATCH && !params->rgvarg[0].pdispVal;
                VariantCopyInd(result, &params->rgvarg[0]);
                break;
            case 6: {  // Fail(n)
                int32_t n = argc ? VariantDeref(&params->rgvarg[0])->lVal : 0;
                static const struct {
                    SCODE scode;
                    const char16_t* description;
                } kFailures[] = {{MakeScriptError(9), u""},
                                 {E_FAIL, u""},
                                 {static_cast<SCODE>(0x80041234), u""},
                                 {MakeScriptError(13), u"Wrong kind"},
                                 {static_cast<SCODE>(0x80045678), u"Custom text"}};
                FillExcepInfo(excep, kFailures[n].scode, u"Host.Object", kFailures[n].description);
                return DISP_E_EXCEPTION;
            }
            case 7:
                VariantFromLong(result, 3);
                break;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
        if (result == &dummy) VariantClear(&dummy);
        return S_OK;
    }
    VARTYPE lastVt = VT_EMPTY;
    bool lastDispatchNull = false;
};

HRESULT MakeHostObject(IDispatch** out) {
    *out = new HostObject;
    return S_OK;
}

struct JsHost : JsLanguage {
    JsHost() : host(ComPtr<HostObject>::Adopt(new HostObject)) {
        js.AddItem(u"Host", host.Get(), nullptr, SCRIPTITEM_ISVISIBLE);
    }
    ComPtr<HostObject> host;
};

}  // namespace

TEST_F(JsHost, HostObjectsAreObjects) {
    RunTable(js, {
        {u"typeof Host", "object"},
        {u"Host instanceof Object", "false"},
        {u"Object.prototype.toString.call(Host)", "[object Object]"},
        {u"typeof Host.Count + ' ' + Host.Count", "number 3"},
        {u"var has = Object.prototype.hasOwnProperty; has.call(Host, 'Count') + ' ' + "
         u"has.call(Host, 'Nope') + ' ' + ('Grid' in Host)",
         "true false true"},
        {u"delete Host.Count", "false"},
        {u"Function.prototype.extra = 1; Object.prototype.more = 2; var n = 0;"
         u" for (var k in Host) n++; n",
         "0"},
        // A null object from the host is null, and goes back as one.
        {u"Host.Nothing === null", "true"},
        {u"Host.Echo(Host.Nothing) === null", "true"},
    });
    EXPECT_EQ(host->lastVt, VT_DISPATCH);
    EXPECT_TRUE(host->lastDispatchNull);
    // Dates from the host compare by value.
    RunTable(js, {
        {u"var d = Host.When, d2 = Host.When; (d == d2) + ' ' + (d != d) + ' ' + d.getFullYear() + "
         u"' ' + d.getHours()",
         "true false 2000 12"},
    });
}

TEST_F(JsHost, TypeofOfAFailingMemberIsUnknown) {
    RunTable(js,
             {
                 // reading Fail without an argument fails with subscript out of range
                 {u"typeof Host.Fail", "unknown"},
                 {u"typeof Host['Fail'] + '|' + typeof Host.Count + '|' + typeof Host.Nope + '|' + "
                  u"typeof Host.Other",
                  "unknown|number|undefined|function"},
                 {u"var x = typeof Host.Fail; try { var y = Host.Fail; } catch (e) { x += '|' + "
                  u"e.number; } "
                  u"x",
                  "unknown|-2146828279"},
             });
}

TEST_F(JsHost, SafeArraysAreVBArrays) {
    RunTable(js, {
        {u"var a = Host.Grid; a.dimensions() + '|' + a.lbound(1) + '..' + a.ubound(1) + '|' + "
         u"a.lbound(2) + '..' + a.ubound(2) + '|' + a.lbound() + '|' + a.getItem(2, 1)",
         "2|1..2|0..2|1|21"},
        {u"Host.Grid.toArray().join()", "10,20,11,21,12,22"},
        {u"var v = new VBArray(Host.Vector); v.toArray().join() + '|' + v.getItem(2) + '|' + "
         u"v.ubound(1) + '|' + (v instanceof VBArray)",
         "5,6,7|7|2|true"},
        {u"try { Host.Grid.getItem(3, 0); } catch (e) { e.number + '|' + e.description + '|' + "
         u"(e instanceof RangeError); }",
         "-2146828279|Subscript out of range|true"},
        {u"try { Host.Grid.ubound(3); } catch (e) { e.number; }", "-2146828279"},
        {u"try { new VBArray([1, 2]); } catch (e) { e.number + '|' + e.description; }",
         "-2146823275|VBArray expected"},
        // Back to the host as an array again.
        {u"new VBArray(Host.Echo(Host.Grid)).getItem(1, 2)", "12"},
    });
    EXPECT_EQ(host->lastVt, VT_ARRAY | VT_VARIANT);
}

TEST_F(JsHost, HostErrorsTakeNumberDescriptionAndSource) {
    RunTable(js, {
        // A code of the script facility without text: the classic text and type.
        {u"try { Host.Fail(0); } catch (e) { e.number + '|' + e.description + '|' + "
         u"(e instanceof RangeError); }",
         "-2146828279|Subscript out of range|true"},
        // A system code without text: the system text; an unknown one: none.
        {u"try { Host.Fail(1); } catch (e) { e.number + '|' + e.description; }",
         "-2147467259|Unspecified error"},
        {u"try { Host.Fail(2); } catch (e) { e.number + '|' + e.description + '|'; }",
         "-2147216844||"},
        {u"try { Host.Fail(3); } catch (e) { e.description + '|' + (e instanceof TypeError); }",
         "Wrong kind|true"},
        {u"try { Host.Fail(4); } catch (e) { e.number + '|' + e.message + '|' + "
         u"(e instanceof Error); }",
         "-2147199368|Custom text|true"},
    });
    js.site.errors.clear();
    EXPECT_EQ(js.Run(u"var x = 1;\nHost.Fail(4);"), SCRIPT_E_REPORTED);
    ASSERT_EQ(js.site.errors.size(), 1u);
    EXPECT_EQ(U8(js.site.errors[0].source), "Host.Object");
    EXPECT_EQ(U8(js.site.errors[0].description), "Custom text");
    EXPECT_EQ(js.site.errors[0].scode, static_cast<SCODE>(0x80045678));
    EXPECT_EQ(js.site.errors[0].line, 1u);
}

TEST_F(JsHost, ActiveXObjectCreatesRegisteredObjects) {
    RegisterAutomationObject(u"Test.HostObject", &MakeHostObject);
    RunTable(js, {
        {u"var o = new ActiveXObject('test.hostobject'); typeof o + ' ' + o.Count", "object 3"},
        {u"GetObject('', 'Test.HostObject').Count", "3"},
        {u"try { new ActiveXObject('No.Such'); } catch (e) { e.number + '|' + e.description; }",
         "-2146827859|Automation server can't create object"},
        {u"try { GetObject('C:\\\\x.doc'); } catch (e) { e.number; }", "-2146827859"},
    });
    EXPECT_TRUE(UnregisterAutomationObject(u"TEST.HOSTOBJECT"));
    EXPECT_EQ(Outcome(js, u"new ActiveXObject('Test.HostObject')"),
              "!-2146827859 Automation server can't create object");
}

// ---------------------------------------------------------------- conditional compilation

TEST_F(JsLanguage, ConditionalCompilation) {
    RunTable(js, {
        // Off until @cc_on: the special comments are comments.
        {u"var Y = 1; /*@ Y = 5; @*/ Y", "1"},
        {u"/*@cc_on\n"
         u"@if (@_jscript_version >= 5)\n"
         u"  var X = 'new';\n"
         u"@else @*/\n"
         u"  var X = 'old';\n"
         u"/*@end @*/\n"
         u"X",
         "new"},
        // On from now on, also for later texts of the engine.
        {u"var Y = 1; /*@ Y = 5; @*/ Y", "5"},
        {u"//@ var Z = 7;\nZ", "7"},
        {u"@_jscript + ' ' + @_win32 + ' ' + @_x86 + ' ' + @_alpha + ' ' + @_mac + ' ' + "
         u"@_mc680x0 + ' ' + @_PowerPC + ' ' + typeof @_jscript_build + ' ' + @_undefined",
         "true true false false false false false number NaN"},
        {u"@set @size = (2 + 3) * 2\n@size + 1", "11"},
        {u"@size", "10"},
        {u"@set @flag = !@_x86 && @size > 9\n"
         u"@if (@_mac || @_PowerPC) var Q = 'mac';\n"
         u"@elif (@flag) var Q = 'handheld';\n"
         u"@else var Q = 'other';\n"
         u"@end\nQ",
         "handheld"},
        {u"@if (@_win32) @if (@_x86) var N = 'x86'; @else var N = 'not x86'; @end @end N",
         "not x86"},
        // Strings and regular expressions are left alone.
        {u"'a@b /*@ c @*/' + /@x/.source", "a@b /*@ c @*/@x"},
        // Malformed directives are compile errors.
        {u"@if (1) var W = 1;", "!-2146827259 Expected '@end'"},
        {u"@end", "!-2146827256 Expected '@'"},
        {u"@if 1 @end", "!-2146827283 Expected '('"},
        {u"@set @v = ?", "!-2146827257 Expected constant"},
    });
    // Lines keep their numbers.
    js.site.errors.clear();
    EXPECT_EQ(js.Run(u"/*@cc_on\n@if (@_win32)\n@*/\nnotDefinedHere();\n/*@end @*/"),
              SCRIPT_E_REPORTED);
    ASSERT_EQ(js.site.errors.size(), 1u);
    EXPECT_EQ(js.site.errors[0].line, 3u);
    EXPECT_EQ(U8(js.site.errors[0].lineText), "notDefinedHere();");
}

TEST_F(JsLanguage, FunctionsTheClassicWay) {
    RunTable(js, {
        // A named function expression also binds its name outside.
        {u"var f = function g() { return 42; }; g() + f()", "84"},
        {u"function outer() { var h = function inner(n) { return n ? inner(n - 1) + 1 : 0; };"
         u" return inner(3) + h(2); } outer()",
         "5"},
        {u"var o = {m: function named() { return 'm'; }}; o.m() + named()", "mm"},
        {u"var z = 0 || function zz() { return 'z'; }; z() + zz()", "zz"},
        {u"function decl() { return 'd'; } decl()", "d"},
        // Declarations after a statement without a semicolon stay declarations.
        {u"var a1 = 1\nfunction after() { return a1; }\nafter()", "1"},
        {u"var r2 = (function () { return 2 })\nfunction g2() { return 3; }\nr2() + g2()", "5"},
        {u"if (true) function g3() { return 'if'; }\ng3()", "if"},
        {u"var a4 = 4\nfunction () {}\na4", "4"},
        {u"var f5 =\nfunction () { return 5; }\nf5()", "5"},
        // An unnamed function written as a statement compiles and does nothing.
        {u"function () { Never = 1; }\nvar after = 'ran'; after", "ran"},
        {u"var f = function () { return 2; }; f()", "2"},
        {u"{ function (a) { return a; } } 'block'", "block"},
        {u"var s = 'function (x) {}'; s.length", "15"},
    });
}
