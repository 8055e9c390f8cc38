// Scripts written the way the classic engine accepts them, run through the
// script engine interface: statement forms that must compile, the comparison
// rules of text against numbers, the error numbers that On Error Resume Next
// code tests, and the built-in functions' edge rules. Each case runs in a
// fresh engine; the script leaves its answer in the global r.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

#include "platform/res/locale.h"
#include "platform/scripting/script_engine.h"
#include "platform/scripting/vbscript/vbscript.h"
#include "tests/platform/script_test_site.h"

namespace {

// A host object whose methods fail the way host objects do:
//   Fail(hr)                   returns hr
//   Throw(hr, src, desc, file, ctx)  returns DISP_E_EXCEPTION with that record
//   Keep(v)                    remembers an argument (Kept gives it back)
//   Features(a)                the safe array flags of an array argument
class Host final : public IDispatch {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }  // lives on the test's stack
    HRESULT GetTypeInfoCount(uint32_t* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(REFIID, const OLECHAR* const* names, uint32_t count, LCID,
                          DISPID* ids) override {
        static const char16_t* const kNames[] = {u"fail", u"throw", u"features", u"wide"};
        for (uint32_t i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (int k = 0; k < 4; ++k)
                if (text::EqualsNoCase(names[i], kNames[k])) ids[i] = k + 1;
            if (ids[i] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
        }
        return S_OK;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t, DISPPARAMS* dp, VARIANT* result,
                   EXCEPINFO* ei, uint32_t*) override {
        auto arg = [&](uint32_t i) -> VARIANT* {  // natural order
            VARIANT* v = &dp->rgvarg[dp->cArgs - 1 - i];
            while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
            return v;
        };
        auto num = [&](uint32_t i) {
            ComVariant l;
            VariantChangeType(&l, arg(i), 0, VT_I4);
            return l.lVal;
        };
        auto str = [&](uint32_t i) {
            ComVariant s;
            VariantChangeType(&s, arg(i), 0, VT_BSTR);
            return WString(BstrView(s.bstrVal));
        };
        switch (id) {
            case 1:
                return HRESULT(num(0));
            case 2:
                if (ei) {
                    FillExcepInfo(ei, HRESULT(num(0)), str(1), str(2));
                    ei->bstrHelpFile = SysAllocString(str(3).c_str());
                    ei->dwHelpContext = uint32_t(num(4));
                }
                return DISP_E_EXCEPTION;
            case 3: {
                VARIANT* a = arg(0);
                if (!(a->vt & VT_ARRAY) || !a->parray) return DISP_E_TYPEMISMATCH;
                if (result) {
                    result->vt = VT_I4;
                    result->lVal = a->parray->fFeatures & (FADF_FIXEDSIZE | FADF_STATIC);
                }
                return S_OK;
            }
            case 4:  // 7 as an unsigned long, a 64-bit or an unsigned 64-bit integer
                if (result) {
                    const VARTYPE kinds[] = {VT_UI4, VT_I8, VT_UI8};
                    result->vt = kinds[num(0) % 3];
                    result->llVal = 7;
                }
                return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    uint32_t refs = 0;
};

struct Case {
    const char* script;
    const char* want;  // CStr(r), or "error N" / "syntax N"
};

// Runs one script in a fresh engine with the host object "H" and the engine's
// own global object as the global-members item "G".
std::string RunCase(const char* script) {
    scripttest::Harness h(u"VBScript");
    Host host;
    h.AddItem(u"H", &host, nullptr, SCRIPTITEM_ISVISIBLE);
    ComPtr<IDispatch> global;
    EXPECT_EQ(h.script->GetScriptDispatch(nullptr, global.Receive()), S_OK);
    h.AddItem(u"G", global.Get(), nullptr, SCRIPTITEM_ISVISIBLE);
    EXPECT_EQ(h.SetState(SCRIPTSTATE_STARTED), S_OK);
    EXPECT_EQ(h.Run(u"Dim r"), S_OK);
    HRESULT hr = h.Run(text::FromUtf8(script));
    auto failure = [&]() -> std::string {
        if (h.site.errors.empty()) return "failed without a report";
        const auto& e = h.site.errors.back();
        bool compile = e.source.find(u"compilation") != WString::npos;
        char buf[64];
        if ((uint32_t(e.scode) & 0xFFFF0000u) == 0x800A0000u)
            std::snprintf(buf, sizeof buf, "%s %u", compile ? "syntax" : "error",
                          unsigned(e.scode & 0xFFFF));
        else
            std::snprintf(buf, sizeof buf, "error %08X", unsigned(e.scode));
        return buf;
    };
    if (FAILED(hr)) return failure();
    ComVariant v, s;
    if (FAILED(h.Eval(u"r", v.Receive()))) return failure();
    if (v.vt == VT_NULL) return "Null";
    if (v.vt == VT_EMPTY) return "Empty";
    if (FAILED(VariantChangeType(&s, &v, VARIANT_ALPHABOOL, VT_BSTR))) return "?";
    return text::ToUtf8(BstrView(s.bstrVal));
}

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(RunCase(c.script), c.want) << c.script;
}

// ---- statement forms that must compile ----

TEST(VbsClassic, RadixLiteralAfterCallName) {
    Check({
        {"Sub Foo(x) : r = x : End Sub\nFoo &hFF", "255"},
        {"Sub Foo(x) : r = TypeName(x) & x : End Sub\nFoo &hdeadbeef&", "Long-559038737"},
        {"Sub Foo(x, y) : r = x + y : End Sub\nFoo &O17, &10", "23"},
        {"On Error Resume Next\nErr.Raise &H8000&\nr = Err.Number", "32768"},
        {"Class C : Sub M(v) : r = v : End Sub : End Class\nSet o = New C\no.M &H10", "16"},
        {"Sub Foo(x) : r = x : End Sub\nSub S() Foo &H41 : End Sub\nS", "65"},
        {"Sub Foo(x) : r = x : End Sub\nIf False Then Foo 1 Else Foo &H43", "67"},
        // after an operand & still joins text
        {"k = \"a\" : r = k &h1", "a"},
        {"n = 5 : r = \"x\"&Hex(255)&n&&H10", "xFF516"},
    });
}

TEST(VbsClassic, EndOnTheStatementLine) {
    Check({
        {"If False Then\nr = 1\nElse r = 3 End If", "3"},
        {"If True Then r = 1 Else r = 3 End If", "1"},
        {"Sub S() r = 5 End Sub\nS", "5"},
        {"Function F(a) F = a * 2 End Function\nr = F(4)", "8"},
        {"Class C\nPublic x End Class\nSet o = New C : o.x = 7 : r = o.x", "7"},
        {"Class C\nPrivate v\nProperty Get P() P = 9 End Property\nEnd Class\nr = (New C).P", "9"},
        {"Sub S()\nr = 1\nr = r + 1 End Sub\nS", "2"},
        // the End of a block also ends a one-line If before it
        {"Function Fact(n) : If n <= 1 Then Fact = 1 Else Fact = n * Fact(n - 1) : End "
         "Function\nr = Fact(5)",
         "120"},
        {"Sub S(x) : If x Then r = \"y\" : End Sub\nS True", "y"},
        {"For i = 1 To 2\nWith New RegExp\n.Pattern = \"a\" End With\nNext\nr = i", "3"},
    });
}

TEST(VbsClassic, ProceduresAnywhere) {
    Check({
        {"Sub f() r = 1\nr = r + 1\nEnd Sub\nf", "2"},
        {"Function g(x) g = x + 1\nEnd Function\nr = g(1)", "2"},
        // procedures in blocks exist before the script runs
        {"r = h(2)\nIf False Then\nFunction h(x)\nh = x * 3\nEnd Function\nEnd If", "6"},
        {"If True Then\nPublic Sub s()\nr = \"s\"\nEnd Sub\nEnd If\ns", "s"},
        {"For i = 1 To 0\nSub t() : r = 4 : End Sub\nNext\nt", "4"},
        // only at the top level: not inside a procedure
        {"Sub a()\nIf True Then\nSub b()\nEnd Sub\nEnd If\nEnd Sub", "syntax 1024"},
    });
}

TEST(VbsClassic, OperatorForms) {
    Check({
        {"a = 1 : b = 0 : r = (a <> Not b)", "True"},
        {"r = 1 > Not 5 > 3", "True"},
        {"r = Not 1 > 2", "True"},
        {"r = 2 = Not 1 = 1", "False"},
        {"a = 3 : r = (a >< 4) & (a =< 3) & (a => 4)", "TrueTrueFalse"},
        {"r = -3^2", "9"},
        {"r = 2^3^2", "64"},
        {"r = 2^-1", "0.5"},
        {"r = -2^-2", "0.25"},
        {"r = 10 - -3^2", "1"},
    });
}

TEST(VbsClassic, MemberChainsAndCallForms) {
    Check({
        {"Class C\nFunction Ret() : Set Ret = Me : End Function\nPublic v\nEnd Class\n"
         "Set o = New C : o.v = 4\nr = o _\n  .Ret().Ret().v",
         "4"},
        {"Class C\nFunction Ret() : Set Ret = Me : End Function\nSub M() : r = \"m\" : End "
         "Sub\nEnd Class\n"
         "Set o = New C\no.Ret().Ret().M",
         "m"},
        {"Class C\nFunction Ret() : Set Ret = Me : End Function\nSub M() : r = \"m\" : End "
         "Sub\nEnd Class\n"
         "Set o = New C\no _\n.Ret.M",
         "m"},
        {"Sub NpS(x) : r = x : End Sub\nNpS.5", "0.5"},
        {"Sub NpT(x, y) : r = x + y : End Sub\nNpT.5,.25", "0.75"},
        {"Class C\nSub M() : r = \"cm\" : End Sub\nEnd Class\nCall (New C).M()", "cm"},
        {"Sub f(x) : r = x * 2 : End Sub\nCall (((f))) (21)", "42"},
        {"Sub f(x) : r = x + 1 : End Sub\n(f)(1)", "2"},
        {"Function f(x) : f = x & \"!\" : End Function\nr = (f)(\"a\")", "a!"},
    });
}

TEST(VbsClassic, MeAtGlobalLevel) {
    Check({
        {"r = Me Is G", "True"},
        {"Sub S() : r = TypeName(Me) : End Sub\nS", "Object"},
        {"x = 5 : r = Me.x", "5"},
        {"Class C : Function Who() : Set Who = Me : End Function : End Class\n"
         "Set o = New C : r = o.Who() Is o",
         "True"},
    });
}

TEST(VbsClassic, ConstantsBeforeTheirDeclaration) {
    Check({
        {"r = c * 2\nConst c = 21", "42"},
        {"If False Then Const c = 1\nr = c", "1"},
        {"Sub S() : r = k : End Sub\nS\nConst k = \"k\"", "k"},
        {"Sub S() : r = k * 2 : Const k = 4 : End Sub\nS", "8"},
        {"r = TypeName(n)\nConst n = -5", "Integer"},
        {"Const c = 1\nc = 2", "error 501"},
    });
}

TEST(VbsClassic, NestedArrayAssignment) {
    Check({
        {"x = Array(Array(1, 2), 3)\nx(0)(1) = 5\nr = x(0)(1) & x(0)(0)", "51"},
        {"Dim x(1)\nx(0) = Array(Array(0, 0))\nx(0)(0)(1) = \"d\"\nr = x(0)(0)(1)", "d"},
        {"x = Array(Array(1, 2))\nSet x(0)(1) = New RegExp\nr = TypeName(x(0)(1))", "IRegExp2"},
        {"x = Array(Array(1, 2))\nx(0)(5) = 1", "error 9"},
        {"Class C : Public g : End Class\nSet o = New C : o.g = Array(Array(1, 2))\n"
         "o.g(0)(1) = 7 : r = o.g(0)(1)",
         "7"},
        {"Class C : Public g\nSub M : g = Array(Array(0)) : Me.g(0)(0) = \"me\" : End Sub\nEnd "
         "Class\nSet o = New C : o.M : r = o.g(0)(0)",
         "me"},
        {"Sub Bump(v) : v = v + 1 : End Sub\nx = Array(Array(1))\nBump x(0)(0)\nr = x(0)(0)", "2"},
    });
}

TEST(VbsClassic, ReferencesToSubs) {
    Check({
        {"Sub S() : r = r + 1 : End Sub\nSet p = GetRef(\"S\")\np\np()\nCall p()\nr = r * 10",
         "30"},
        {"Function F(a) : F = a * 3 : End Function\nSet p = GetRef(\"F\")\nr = p(2)", "6"},
    });
}

}  // namespace

// A typo in a class found by fuzzing: the parser re-reads "X (v) > mX = v" as a
// call with arguments and drops its first reading, whose names must not be
// resolved afterwards. A syntax error, and no touch of freed memory.
TEST(VbsClassic, ReReadCallArgumentsInClassTypo) {
    const std::string text =
        "Optioj Explicit\nClass Point\n    Private mX, mY\n"
        "    PUblic Property Get X() : X (v) > mX = v : End Property\n    Private mX, mY\n"
        "    Public Property Get X() : X (v) : mX = v : End Property\n"
        "    Public Property Get X() : X (v) : mX = ) : mX = 0 : mY =\xa1 0 : E i + 1 : "
        "Loo\x81\n";
    ASSERT_EQ(text.size(), 267u);
    scripttest::Harness h(u"VBScript");
    EXPECT_EQ(h.Run(text::FromUtf8(text)), SCRIPT_E_REPORTED);
    ASSERT_EQ(h.site.errors.size(), 1u);
    EXPECT_EQ(h.site.errors[0].source, u"VBScript compilation error");
    // the same re-reading in a procedure that compiles: names still resolve
    Check({{"Class P\nPrivate mX\nProperty Get X(v) : X = v : End Property\n"
            "Function T(v) : mX = 2 : T = X (v) + mX * 2 : End Function\nEnd Class\n"
            "r = (New P).T(3)",
            "7"},
           {"Sub G(a, b) : r = a + b : End Sub\nSub S(v) : Dim w : w = 5 : G (v) + w, 1 : End "
            "Sub\nS 1",
            "7"}});
}

namespace {

// ---- comparisons of text with numbers, Booleans and dates ----

TEST(VbsClassic, TextAgainstNumbersNeitherLiteral) {
    Check({
        {"s = \"5\" : n = CInt(5) : r = (s = n) & (s > n) & (n < s)", "FalseTrueTrue"},
        {"s = \"\" : n = 0 : r = (s = n) & (s > n)", "FalseTrue"},
        {"s = \"True\" : b = True : r = (s = b) & (s > b)", "FalseTrue"},
        {"s = \"1/1/2000\" : d = CDate(s) : r = (s = d)", "False"},
        {"Const c = 5 : s = \"5\" : r = (s = c)", "False"},
        {"Function F() : F = 5 : End Function\ns = \"5\" : r = (s = F())", "False"},
        {"Sub T(a, b) : r = (a = b) : End Sub\nT \"5\", 5", "False"},
    });
}

TEST(VbsClassic, TextLiteralAgainstComputedValues) {
    Check({
        {"r = (\"5\" = CInt(5))", "True"},
        {"r = (\"010\" = CInt(10))", "False"},
        {"r = (\"10\" > CDbl(5))", "False"},
        {"r = (\"abc\" = -5)", "False"},
        {"r = (\"-5\" = -5)", "True"},
        {"r = (\"True\" = True)", "True"},
        {"r = (\"TRUE\" = True)", "False"},
        {"r = (\"1\" = True)", "False"},
        {"r = (\"True\" > False)", "True"},
        {"r = (\"abc\" = CDate(\"2024-01-15\"))", "False"},
        {"r = (\"1/15/2024\" = CDate(\"2024-01-15\"))", "True"},
        {"n = 7 : r = (\"7\" = n + 0) & (n * 1 = \"7\")", "TrueTrue"},
        {"r = ((\"5\") = CInt(5)) & (\"5\" = (CInt(5)))", "TrueTrue"},
    });
}

TEST(VbsClassic, NumericLiteralAgainstText) {
    Check({
        {"r = (\"1e2\" = 100)", "True"},
        {"r = (\"&H1F\" = 31)", "True"},
        {"r = (\"&o17\" = 15) & (\" 2.5 \" = 2.5)", "TrueTrue"},
        {"x = \"0\" : r = (x > 30)", "False"},
        {"x = \"40\" : r = (x > 30) & (30 < x)", "TrueTrue"},
        {"r = (\"abc\" = 5.5)", "error 13"},
        {"r = (\"abc\" = 100000)", "error 13"},
        {"r = (\"abc\" = &hff)", "error 13"},
        {"r = (\"abc\" = #1/15/2024#)", "error 13"},
        {"On Error Resume Next\nr = 1\nr = (\"x\" < 1)\nr = r & Err.Number", "113"},
    });
}

TEST(VbsClassic, SelectCaseHoldsItsValue) {
    Check({
        {"Select Case 3\nCase \"test\" : r = \"t\"\nCase 3 : r = \"three\"\nEnd Select", "three"},
        {"Select Case 3\nCase \"3\" : r = \"text\"\nCase Else : r = \"else\"\nEnd Select", "text"},
        {"x = \"5\"\nSelect Case x\nCase 5 : r = \"num\"\nCase Else : r = \"else\"\nEnd Select",
         "num"},
        {"x = \"abc\"\nSelect Case x\nCase 5 : r = 1\nEnd Select", "error 13"},
        {"n = 5 : x = \"5\"\nSelect Case x\nCase n : r = 1\nCase Else : r = 2\nEnd Select", "2"},
    });
}

TEST(VbsClassic, BooleanTextsAndDottedDates) {
    Check({
        {"If \"#TRUE#\" Then r = 1 Else r = 2", "1"},
        {"r = CBool(\"#TRUE#\") & CBool(\"#false#\")", "TrueFalse"},
        {"r = IsDate(\"15.03.2026\")", "False"},
        {"r = CDate(\"15.03.2026\")", "error 13"},
        {"r = IsDate(\"15/03/2026\") & IsDate(\"3/15/2026\")", "TrueTrue"},
    });
}

}  // namespace

namespace {

// ---- error numbers ----

TEST(VbsClassic, HostFailureCodesBecomeErrorNumbers) {
    const struct {
        uint32_t hr;
        int number;
    } table[] = {
        {0x80004001, 445},
        {0x80004002, 430},
        {0x80020001, 438},
        {0x80020003, 438},
        {0x80020004, 448},
        {0x80020005, 13},
        {0x80020006, 438},
        {0x80020007, 446},
        {0x80020008, 458},
        {0x8002000A, 6},
        {0x8002000B, 9},
        {0x8002000C, 447},
        {0x8002000D, 10},
        {0x8002000E, 450},
        {0x8002000F, 449},
        {0x80020011, 451},
        {0x8002802F, 453},
        {0x80028CA0, 13},
        {0x80028CA1, 9},
        {0x80028CA2, 57},
        {0x80028CA3, 322},
        {0x80030002, 432},
        {0x80030003, 76},
        {0x80030004, 67},
        {0x80030005, 70},
        {0x80030008, 7},
        {0x80030012, 67},
        {0x80030013, 70},
        {0x8003001D, 57},
        {0x8003001E, 57},
        {0x80030020, 75},
        {0x80030021, 70},
        {0x80030050, 58},
        {0x80030070, 61},
        {0x800300FC, 53},
        {0x80030100, 70},
        {0x80030101, 70},
        {0x80030103, 57},
        {0x80040154, 429},
        {0x800401E3, 429},
        {0x800401E6, 432},
        {0x800401EA, 432},
        {0x800401F3, 429},
        {0x800401F5, 429},
        {0x800401FE, 429},
        {0x80070005, 70},
        {0x8007000E, 7},
        {0x80070057, 5},
        {0x800706BA, 462},
        {0x80080005, 429},
        // the language's own facility gives the number; others stay as they are
        {0x800A0035, 53},
        {0x80004005, int(0x80004005)},
        {0x8002000C + 0x100, int(0x8002010C)},
    };
    for (const auto& t : table) {
        char script[160], code[32];
        // reported to the site with the language's code, or the host's own
        std::snprintf(script, sizeof script, "H.Fail &H%08X&", unsigned(t.hr));
        if (t.number > 0)
            std::snprintf(code, sizeof code, "error %d", t.number);
        else
            std::snprintf(code, sizeof code, "error %08X", unsigned(t.hr));
        EXPECT_EQ(RunCase(script), code) << script;
        // and the number in Err under On Error Resume Next
        std::snprintf(script, sizeof script, "On Error Resume Next\nH.Fail &H%08X&\nr = Err.Number",
                      unsigned(t.hr));
        EXPECT_EQ(RunCase(script), std::to_string(t.number)) << script;
    }
}

TEST(VbsClassic, ErrKeepsWhatItWasGiven) {
    Check({
        // a host exception's whole record
        {"On Error Resume Next\nH.Throw &H800A0009&, \"Src\", \"Desc\", \"f.hlp\", 42\n"
         "r = Err.Number & \"|\" & Err.Source & \"|\" & Err.Description & \"|\" & Err.HelpFile & "
         "\"|\" & Err.HelpContext",
         "9|Src|Desc|f.hlp|42"},
        {"On Error Resume Next\nH.Throw &H80070057&, \"S\", \"D\", \"\", 0\nr = Err.Number & "
         "Err.Description",
         "5D"},
        // Err.Raise with a number only keeps the source and text of the error before
        {"On Error Resume Next\nErr.Raise 1000, \"S\", \"D\"\nErr.Raise 1001\n"
         "r = Err.Number & Err.Source & Err.Description",
         "1001SD"},
        {"On Error Resume Next\nErr.Raise 1000, \"S\", \"D\"\nErr.Clear\nErr.Raise 5\n"
         "r = Err.Source & \":\" & Err.Description",
         "VBScript runtime error:Invalid procedure call or argument"},
        {"On Error Resume Next\nErr.Raise 6, , , \"h.chm\", 7\nr = Err.HelpFile & Err.HelpContext",
         "h.chm7"},
        // an error a procedure resumed past is still there for its caller
        {"Sub Helper()\nOn Error Resume Next\nx = 1 / 0\nEnd Sub\nOn Error Resume Next\n"
         "Call Helper()\nIf Err.Number <> 0 Then r = \"seen \" & Err.Number",
         "seen 11"},
        {"Function F()\nOn Error Resume Next\nErr.Raise 77\nF = 1\nEnd Function\n"
         "On Error Resume Next\nx = F()\nr = x & \":\" & Err.Number",
         "1:77"},
        // and an error that leaves a procedure reaches the caller's handler
        {"Sub S()\nx = 1 / 0\nr = \"not here\"\nEnd Sub\nOn Error Resume Next\nS\nr = r & "
         "Err.Number",
         "11"},
    });
}

TEST(VbsClassic, ObjectRequired) {
    Check({
        {"Set o = Nothing\no.Foo", "error 424"},
        {"Set o = Nothing\nx = o.Foo", "error 424"},
        {"Set o = Nothing\no.Foo = 1", "error 424"},
        {"With 42\nEnd With", "error 424"},
        {"x = \"a\"\nWith x\n.Foo\nEnd With", "error 424"},
        {"On Error Resume Next\nWith 42\nr = \"body\"\nEnd With\nr = r & Err.Number", "424"},
        {"Set o = New RegExp\nWith o\n.Pattern = \"p\"\nEnd With\nr = o.Pattern", "p"},
    });
}

TEST(VbsClassic, CompiledAtRunTime) {
    Check({
        {"On Error Resume Next\nExecute \"x = \"\nr = Err.Number", "1023"},
        {"On Error Resume Next\nExecuteGlobal \"If x Then\"\nr = Err.Number", "1014"},
        {"On Error Resume Next\nx = Eval(\"1 +\")\nr = Err.Number", "1023"},
        {"On Error Resume Next\nExecute \"x = 1 2\"\nr = Err.Number & Err.Description & "
         "Err.Source",
         "1025Expected end of statementVBScript compilation error"},
        {"Execute Null", "error 94"},
        {"x = Eval(Null)", "error 94"},
        {"Execute 42", "error 5"},
        {"ExecuteGlobal 42", "error 5"},
        {"Set p = GetRef(Null)", "error 94"},
        {"Set p = GetRef(Empty)", "error 5"},
        {"Set p = GetRef(123)", "error 5"},
        {"Set p = GetRef(\"nope\")", "error 5"},
        {"Execute \"r = 1 + 1\"", "2"},
        {"r = Eval(\"2 * 21\")", "42"},
    });
}

TEST(VbsClassic, BuiltinsRefusingNull) {
    Check({
        {"r = InStrRev(Null, \"a\")", "error 94"},
        {"r = InStrRev(\"a\", Null)", "error 94"},
        {"r = Replace(Null, \"a\", \"b\")", "error 94"},
        {"r = Escape(Null)", "error 94"},
        {"r = Unescape(Null)", "error 94"},
        {"r = DateValue(Null)", "error 94"},
        {"r = TimeValue(Null)", "error 94"},
        {"r = Filter(Null, \"a\")", "error 94"},
        {"r = Weekday(Null)", "error 94"},
        {"r = MonthName(Null)", "error 94"},
        {"r = WeekdayName(Null)", "error 94"},
        // these pass Null on
        {"r = IsNull(Left(Null, 1)) & IsNull(Len(Null)) & IsNull(InStr(Null, \"a\")) & "
         "IsNull(Right(Null, 2))",
         "TrueTrueTrueTrue"},
        {"r = IsDate(Nothing) & IsDate(New RegExp)", "FalseFalse"},
        {"Call CByte(1)", "error 458"},
        {"CByte 1", "error 458"},
        {"Call CInt(1) : r = 1", "1"},
    });
}

TEST(VbsClassic, ConditionErrorsSkipTheStatement) {
    Check({
        {"On Error Resume Next\nIf 1 / 0 Then r = \"in\" Else r = \"else\"\nr = r & \"after\"",
         "after"},
        {"On Error Resume Next\nDo While 1 / 0\nr = r + 1\nIf r > 2 Then Exit Do\nLoop\nr = r & "
         "Err.Number",
         "11"},
    });
}

}  // namespace

namespace {

// ---- objects, types and the rest ----

TEST(VbsClassic, PropertyLetAndSetWithObjects) {
    const std::string cls =
        "Class C\nPublic got, m\nPrivate o\n"
        "Property Let P(v) : got = TypeName(v) : End Property\n"
        "Property Let V(v) : m = v : End Property\n"
        "Property Let L(v) : End Property\n"
        "Property Set S(v) : Set o = v : End Property\n"
        "Property Get S() : Set S = o : End Property\nEnd Class\nSet k = New C\n";
    Check({
        {(cls + "k.P = New RegExp\nr = k.got").c_str(), "IRegExp2"},
        {(cls + "k.P = 5\nr = k.got").c_str(), "Integer"},
        // a Let whose body needs the value of an object without one
        {(cls + "k.V = New C").c_str(), "error 438"},
        {(cls + "Set k.L = New C").c_str(), "error 438"},
        {(cls + "Set k.S = New RegExp\nr = TypeName(k.S)").c_str(), "IRegExp2"},
        // a field put without Set takes the value
        {(cls + "k.m = New C").c_str(), "error 438"},
        {(cls + "Set re = New RegExp\nre.Pattern = k").c_str(), "error 438"},
    });
}

TEST(VbsClassic, TypesOfConstantsAndResults) {
    Check({
        {"r = TypeName(vbSunday) & TypeName(vbSaturday) & TypeName(vbUseSystem) & "
         "TypeName(vbGeneralDate) & TypeName(vbShortTime) & TypeName(vbFirstJan1)",
         "IntegerIntegerIntegerIntegerIntegerInteger"},
        {"r = vbMsgBoxHelpButton & \" \" & vbMsgBoxSetForeground & \" \" & vbMsgBoxRight & \" "
         "\" & vbMsgBoxRtlReading",
         "16384 65536 524288 1048576"},
        {"r = TypeName(Empty And Empty) & TypeName(Not Empty) & TypeName(Empty Or True) & (Not "
         "Empty)",
         "LongLongLong-1"},
        {"r = TypeName(Round(True)) & Round(True) & TypeName(Round(False))", "BooleanTrueBoolean"},
        {"r = TypeName(&H7FFF) & TypeName(&H8000) & &H8000 & TypeName(&H1&) & &HFFFFFFFF",
         "IntegerInteger-32768Long-1"},
        {"x = &O8", "syntax 1025"},
        {"x = &19", "syntax 1025"},
        {"x = &H-1", "syntax 1031"},
        {"x = &Hz", "syntax 1031"},
        {"r = UBound(5)", "error 13"},
        {"r = LBound(\"x\")", "error 13"},
    });
}

TEST(VbsClassic, RadixLiteralsTakeTheirBits) {
    Check({
        {"r = TypeName(&hFFFF) & &hFFFF & VarType(&H8000) & &H8000", "Integer-12-32768"},
        {"r = TypeName(&O177777) & &O177777 & &O100000", "Integer-1-32768"},
        {"r = TypeName(&hFFFF&) & &hFFFF& & TypeName(&H8000&) & &H8000&", "Long65535Long32768"},
        {"r = TypeName(&H10000) & &H10000 & TypeName(&HFFFFFFFF) & &HFFFFFFFF", "Long65536Long-1"},
        {"r = TypeName(32767) & TypeName(32768)", "IntegerLong"},
        {"r = &HFFFF + 1", "0"},
        {"r = -&H8000", "32768"},
    });
}

TEST(VbsClassic, NullInLogicalOperators) {
    Check({
        {"r = CByte(170) Imp Null", "85"},
        {"r = TypeName(CByte(170) Imp Null)", "Byte"},
        {"r = CByte(255) Imp Null", "Null"},
        {"r = False Imp Null", "True"},
        {"r = True Imp Null", "Null"},
        {"r = Null Imp True", "True"},
        {"r = Null Imp False", "Null"},
        {"r = Null Imp CByte(6)", "6"},
        {"r = CInt(0) Imp Null", "-1"},
        {"r = CByte(255) Or Null", "255"},
        {"r = Null Or 12", "12"},
        {"r = Null Or 0", "Null"},
        {"r = False Or Null", "Null"},
        {"r = Null And 0", "0"},
        {"r = TypeName(False And Null)", "Boolean"},
        {"r = Null And 12", "Null"},
        {"r = Null Xor 1", "Null"},
        {"r = Null Eqv 0", "Null"},
        {"r = Null Or Null", "Null"},
        // arrays compare with nothing, Null included
        {"r = (Array(1) = Null)", "error 13"},
        {"r = (Null <> Array())", "error 13"},
    });
}

TEST(VbsClassic, LoopAndDeclarationErrors) {
    Check({
        {"For i = 1 To Null : Next", "error 13"},
        {"For i = Null To 2 : Next", "error 13"},
        {"For i = 1 To 2 Step Null : Next", "error 13"},
        {"For i = 1 To \"x\" : Next", "error 13"},
        {"For i = 0 To UBound(e) : Next", "error 13"},
        {"For 5 = 1 To 2 : Next", "syntax 1010"},
        {"Dim a : Dim a", "syntax 1041"},
        {"Dim a, b, a", "syntax 1041"},
        {"Dim b : Const b = 1", "syntax 1041"},
        {"Const c = 1 : Dim c", "syntax 1041"},
        {"Sub S(q) : Dim q : End Sub", "syntax 1041"},
        {"Sub S() : Dim q : Const q = 2 : End Sub", "syntax 1041"},
        // each procedure and each text has its own names
        {"Dim a\nSub S() : Dim a : a = 2 : End Sub\nS : Execute \"Dim a\" : r = \"ok\"", "ok"},
        {"Class C : Private a : Sub M() : Dim a : End Sub : End Class\nr = 1", "1"},
        {"Erase zz", "error 500"},
        {"x = 5 : Erase x", "error 13"},
        {"Nothing(0) = 1", "error 91"},
        {"Class C : Property Get P() : P = 1 : End Property : End Class\n"
         "Set o = New C : r = o.P(1)",
         "error 450"},
        {"Class C : Property Get A() : A = Array(1, 2) : End Property : End Class\n"
         "Set o = New C : r = o.A(1)",
         "error 450"},
        {"Class C : Public f : End Class\nSet o = New C : o.f = 5 : r = o.f(1)", "error 13"},
        {"Class C : Public f : End Class\nSet o = New C : o.f = Array(7, 8) : r = o.f(1)", "8"},
        {"Class C : Function W() : W = TypeName(Me) & (Me Is o) : End Function : End Class\n"
         "Set o = New C : r = o.W()",
         "CTrue"},
    });
}

TEST(VbsClassic, ArraysAreVariantArrays) {
    Check({
        {"Dim a(2) : r = VarType(a)", "8204"},
        {"Sub S(x) : r = VarType(x) : End Sub\nDim a(2) : S a", "8204"},
        {"Sub S(ByRef x) : r = VarType(x) & TypeName(x) : End Sub\nS Array(1)", "8204Variant()"},
        {"Class C : Public f : Dim g(1) : Function V() : V = VarType(g) : End Function : End "
         "Class\nSet o = New C : o.f = Array(1) : r = VarType(o.f) & o.V()",
         "82048204"},
        {"Class C : Property Get P() : P = Split(\"a b\") : End Property : End Class\n"
         "r = VarType((New C).P)",
         "8204"},
    });
}

TEST(VbsClassic, ForeignIntegersDoNotCompare) {
    Check({
        {"r = (H.Wide(0) = 7)", "error 458"},
        {"r = (H.Wide(1) < 8)", "error 458"},
        {"r = (\"7\" = H.Wide(2))", "error 458"},
        {"On Error Resume Next\nIf H.Wide(0) > 1 Then r = 1\nr = Err.Number", "458"},
        {"r = H.Wide(0) + 1", "error 458"},
        {"r = H.Wide(1) & \"\"", "7"},
    });
}

TEST(VbsClassic, OneLineIfWithElseIf) {
    Check({
        {"If False Then r = 1 ElseIf True Then r = 3 End If", "3"},
        {"If False Then r = 1 ElseIf False Then r = 2 Else r = 4 End If", "4"},
        {"If True Then r = 1 ElseIf True Then r = 3", "1"},
        {"x = 2 : If x = 1 Then r = 1 : r = r ElseIf x = 2 Then r = \"a\" : r = r & \"b\"", "ab"},
        {"If False Then r = 1 ElseIf Then r = 3", "syntax 1023"},
    });
}

TEST(VbsClassic, ConversionEdges) {
    Check({
        {"r = CByte(True) & VarType(CByte(True)) & CByte(False)", "255170"},
        {"r = IsNull(Right(Null, 3)) & IsNull(Left(Null, 1))", "TrueTrue"},
        {"Class C : Public Default Property Get Items() : Items = Array(4, 5, 6) : End Property : "
         "End Class\nSet o = New C : r = LBound(o) & UBound(o)",
         "02"},
        {"Dim a() : r = UBound(a)", "error 9"},
        {"r = UBound(Array()) & LBound(Array())", "-10"},
    });
}

TEST(VbsClassic, ScriptLocale) {
    Check({
        {"r = GetLocale() & \"|\" & SetLocale(1031) & \"|\" & GetLocale() & \"|\" & "
         "SetLocale(\"en-GB\") & \"|\" & GetLocale()",
         "1033|1033|1031|1031|2057"},
        {"r = CStr(1.5) & \"|\" & CStr(#3/15/2026 14:05:09#) & \"|\" & FormatCurrency(-5)",
         "1.5|3/15/2026 2:05:09 PM|($5.00)"},
        // German: decimal comma, dotted day-first dates, the euro after the number
        {"SetLocale 1031 : r = CStr(1.5) & \"|\" & (CDbl(\"1,5\") = 1.5) & \"|\" & "
         "CDbl(\"1.234,5\") * 2 & \"|\" & (CDate(\"15.03.2026\") = DateSerial(2026, 3, 15)) & "
         "\"|\" & Day(\"15.03.2026\") & Month(\"15.03.2026\") & Year(\"15.03.2026\") & \"|\" & "
         "IsDate(\"31.02.2026\")",
         "1,5|True|2469|True|1532026|False"},
        {"SetLocale 1031 : r = FormatNumber(1234567.891) & \"|\" & FormatCurrency(-1234.5) & \"|\" "
         "& CStr(DateSerial(2026, 3, 5) + TimeSerial(14, 5, 9)) & \"|\" & "
         "FormatDateTime(#3/15/2026 2:05:09 PM#, vbLongTime) & \"|\" & "
         "FormatDateTime(#3/15/2026#, vbShortDate)",
         "1.234.567,89|-1.234,50 \u20ac|05.03.2026 14:05:09|14:05:09|15.03.2026"},
        // date literals and the text Eval compiles stay month-first
        {"SetLocale 1031 : r = (Eval(\"#3/15/2026#\") = DateSerial(2026, 3, 15)) & \"|\" & "
         "(#3/4/2026# = DateSerial(2026, 3, 4))",
         "True|True"},
        {"SetLocale 1041 : r = CStr(CDate(\"2026/03/15\")) & \"|\" & FormatCurrency(1234) & \"|\" "
         "& CStr(2.5)",
         "2026/03/15|\u00a51,234|2.5"},
        {"SetLocale \"fr-fr\" : r = FormatNumber(1234.5) & \"|\" & CDbl(\"1 234,5\") * 2 & \"|\" & "
         "FormatCurrency(-3)",
         "1\u00a0234,50|2469|-3,00 \u20ac"},
        {"SetLocale 1033 : SetLocale 1031 : SetLocale 0 : r = GetLocale()", "1033"},
        {"SetLocale 9999", "error 5"},
        {"SetLocale 1031 : SetLocale 1055 + 1", "error 5"},
        {"SetLocale \"xx-yy\"", "error 5"},
        {"r = SetLocale(Null)", "error 94"},
        // a procedure called later runs in the locale the engine is in
        {"Function F() : F = CStr(0.25) : End Function\nSetLocale 1031 : r = F()", "0,25"},
    });
}

// Each locale of the platform's table reads back what it writes.
TEST(VbsClassic, EveryLocaleReadsWhatItWrites) {
    for (const auto& l : res::AllLocales()) {
        std::string script = "SetLocale " + std::to_string(l.lcid) +
                             "\nd = DateSerial(2026, 3, 5) + TimeSerial(14, 5, 9) : x = -1234.5\n"
                             "r = (GetLocale() = " +
                             std::to_string(l.lcid) +
                             ") & (CDate(CStr(d)) = d) & (CDate(FormatDateTime(d, vbShortDate)) = "
                             "DateSerial(2026, 3, 5)) & (CDate(FormatDateTime(d, vbLongTime)) = "
                             "TimeSerial(14, 5, 9)) & (CDbl(CStr(x)) = x) & "
                             "(CDbl(FormatNumber(x)) = x) & IsNumeric(CStr(x / 8))";
        EXPECT_EQ(RunCase(script.c_str()), "TrueTrueTrueTrueTrueTrueTrue") << l.lcid;
    }
}

// An engine starts in the user's locale, and never in the process's C locale.
TEST(VbsClassic, ScriptsStartInTheUsersLocale) {
    res::SetUserDefaultLCID(0x0407);
    EXPECT_EQ(RunCase("r = GetLocale() & \"|\" & CStr(0.5) & \"|\" & CDbl(\"0,25\") * 4"),
              "1031|0,5|1");
    res::SetUserDefaultLCID(0x0409);
    std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
    Check({
        {"r = CStr(1.5) & \"|\" & CDbl(\"2.25\") * 2 & \"|\" & FormatNumber(1234.5) & \"|\" & "
         "CStr(#3/15/2026#) & \"|\" & Hex(255) & Round(2.5)",
         "1.5|4.5|1,234.50|3/15/2026|FF2"},
        {"SetLocale 1031 : r = CStr(1.5) & \"|\" & CDbl(\"2,25\") * 2", "1,5|4,5"},
    });
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(VbsClassic, ByteFunctions) {
    Check({
        {"r = LenB(\"abc\") & LenB(\"\")", "60"},
        {"r = LeftB(\"abc\", 2) & \"|\" & MidB(\"abc\", 3, 2) & \"|\" & RightB(\"abc\", 2)",
         "a|b|c"},
        {"r = LenB(LeftB(\"abc\", 3)) & LenB(MidB(\"abc\", 2)) & LenB(ChrB(65))", "351"},
        {"r = InStrB(\"abc\", \"b\") & InStrB(\"abc\", ChrB(99)) & InStrB(4, \"abc\", \"b\")",
         "350"},
        {"r = AscB(\"A\") & \" \" & AscB(ChrW(&H141)) & \" \" & AscB(MidB(ChrW(&H141), 2))",
         "65 65 1"},
        {"r = ChrB(65) & ChrB(0)", "A"},
        {"r = AscB(\"\")", "error 5"},
        {"r = ChrB(256)", "error 5"},
        {"r = IsNull(LenB(Null)) & IsNull(LeftB(Null, 1))", "TrueTrue"},
    });
}

TEST(VbsClassic, ForEachArraysAndHosts) {
    Check({
        {"For Each x In Array(1, 2) : Next : r = TypeName(x)", "Empty"},
        {"x = 5 : For Each x In Array() : Next : r = TypeName(x)", "Empty"},
        {"For Each x In Array(1, 2) : If x = 1 Then Exit For\nNext : r = x", "1"},
        {"Set re = New RegExp : re.Pattern = \"a\" : re.Global = True\n"
         "For Each m In re.Execute(\"aa\") : n = n + 1 : Next : r = n & TypeName(m)",
         "2Empty"},
        // arrays handed to a host object keep their flags
        {"Dim a(3) : r = H.Features(a)", "18"},
        {"ReDim b(3) : r = H.Features(b)", "0"},
        {"Dim a(3) : b = a : r = H.Features(b)", "0"},
    });
}

TEST(VbsClassic, RegExpReplacement) {
    Check({
        {"Set re = New RegExp : re.Pattern = \"(a)(b)\"\nr = re.Replace(\"xab\", \"$2$1$3\")",
         "xba$3"},
        {"Set re = New RegExp : re.Pattern = \"a\" : re.Global = True\nr = re.Replace(\"xaa\", "
         "True)",
         "x-1-1"},
        {"Set re = New RegExp : re.Pattern = \"b\"\nr = re.Replace(\"abc\", \"[$&|$`|$'|$$]\")",
         "a[b|a|c|$]c"},
        {"Set re = New RegExp : re.Pattern = \"(a)\"\nr = re.Replace(\"a\", \"$10$01\")", "a0a"},
        {"Set re = New RegExp : re.Pattern = \"(x)?a\"\nr = re.Replace(\"a\", \"<$1>\")", "<>"},
    });
}

TEST(VbsClassic, RandomSequence) {
    Check({
        {"r = Rnd(-1)", "0.224007"},
        {"x = Rnd(-1) : r = Rnd & \" \" & Rnd(0)", "0.03584582 0.03584582"},
        {"x = Rnd(-1) : Randomize 10 : r = Rnd & \" \" & Rnd", "0.1436949 0.200305"},
        {"r = TypeName(Rnd)", "Single"},
    });
}

}  // namespace

namespace {

// One script file that mixes every form above compiles and runs as one text.
TEST(VbsClassic, MixedFormsScriptFile) {
    FILE* fp = std::fopen(ZN_TEST_DATA "/vbscript/classic_forms.vbs", "rb");
    ASSERT_TRUE(fp);
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;) text.append(buf, n);
    std::fclose(fp);
    scripttest::Harness h(u"VBScript");
    ASSERT_EQ(h.SetState(SCRIPTSTATE_STARTED), S_OK);
    ASSERT_EQ(h.Run(text::FromUtf8(text)), S_OK)
        << (h.site.errors.empty() ? std::string()
                                  : text::ToUtf8(h.site.errors[0].description) + " line " +
                                        std::to_string(h.site.errors[0].line));
    ComVariant log;
    ASSERT_EQ(h.Eval(u"log", log.Receive()), S_OK);
    ASSERT_EQ(log.vt, VT_BSTR);
    std::string ok12, ok9;
    for (int i = 0; i < 12; ++i) ok12 += "ok;";
    for (int i = 0; i < 9; ++i) ok9 += "ok;";
    EXPECT_EQ(text::ToUtf8(BstrView(log.bstrVal)), "65;15;" + ok12 + "half0.5;half2;half3;" + ok9);
}

}  // namespace
