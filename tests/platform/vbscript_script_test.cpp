// Scripts that print through T: statements, procedures, by-reference
// arguments, arrays, classes, error handling and dynamic code.
#include <gtest/gtest.h>

#include "tests/platform/vbscript_harness.h"

namespace {

struct Case {
    const char* name;
    const char* script;
    const char* want;
};

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        vbstest::Runner r;
        EXPECT_EQ(r.Run(c.script), c.want) << c.name;
    }
}

TEST(VbsScript, Lexing) {
    Check({
        {"comments", "T.Print 1 ' comment\nRem also a comment\nT.Print 2 : Rem after colon", "1|2"},
        {"continuation", "x = 1 + _\n    2\nT.Print _\n x", "3"},
        {"separators", "a = 1 : b = 2 : T.Print a + b", "3"},
        {"case", "DIM Abc : abc = 5 : t.print ABC", "5"},
        {"brackets", "[my var] = 4 : T.Print [my var] * 2", "8"},
        {"ampersand", "n = 5 : T.Print \"a\"&Hex(255)&n&&H10, &H10&", "aFF516 16"},
        {"crlf", "x = 1\r\nIf x = 1 Then\r\n  T.Print \"yes\"\r\nEnd If\r\n", "yes"},
        {"keyword members",
         "Class C : Public [End] : End Class\nSet o = New C : o.End = 3 : T.Print o.End", "3"},
    });
}

TEST(VbsScript, ControlFlow) {
    Check({
        {"block if",
         "For i = 1 To 3\nIf i = 1 Then\nT.Print \"one\"\nElseIf i = 2 Then\nT.Print "
         "\"two\"\nElse\n"
         "T.Print \"many\"\nEnd If\nNext",
         "one|two|many"},
        {"single-line if",
         "x = 5 : If x > 3 Then T.Print \"big\" : T.Print \"!\" Else T.Print \"small\"", "big|!"},
        {"single-line else",
         "x = 1 : If x > 3 Then T.Print \"big\" Else T.Print \"small\" : T.Print \"?\"", "small|?"},
        {"nested single-line", "If True Then If False Then T.Print 1 Else T.Print 2", "2"},
        {"null condition", "If Null Then T.Print 1 Else T.Print 2", "2"},
        {"select",
         "For Each v In Array(1, 5, 12, 40)\nSelect Case v\nCase 1, 2 : T.Print \"low\"\n"
         "Case 3 To 10\nT.Print \"mid\"\nCase Is >= 40 : T.Print \"huge\"\nCase \"x\" : T.Print "
         "\"x\"\n"
         "Case Else : T.Print \"else\"\nEnd Select\nNext",
         "low|mid|else|huge"},
        {"for step", "For i = 10 To 1 Step -3 : T.Print i : Next", "10|7|4|1"},
        {"for fractional", "For x = 0 To 1 Step 0.5 : T.Print x : Next", "0|0.5|1"},
        {"for bounds once", "n = 3 : For i = 1 To n : n = 1 : T.Print i : Next", "1|2|3"},
        {"for after", "For i = 1 To 3 : Next : T.Print i", "4"},
        {"for empty", "For i = 5 To 1 : T.Print i : Next : T.Print \"done\"", "done"},
        {"exit for", "For i = 1 To 10 : If i = 3 Then Exit For\nT.Print i : Next", "1|2"},
        {"do while", "i = 0 : Do While i < 3 : i = i + 1 : Loop : T.Print i", "3"},
        {"do until end", "i = 0 : Do : i = i + 1 : Loop Until i >= 5 : T.Print i", "5"},
        {"do loop while once", "i = 10 : Do : T.Print i : Loop While i < 5", "10"},
        {"exit do", "Do : i = i + 1 : If i = 4 Then Exit Do\nLoop : T.Print i", "4"},
        {"while wend", "i = 0 : While i < 2 : T.Print i : i = i + 1 : Wend", "0|1"},
        {"nested exit", "For i = 1 To 2 : Do : Exit Do : Loop : T.Print i : Next", "1|2"},
        {"with",
         "Class Pt : Public X, Y : End Class\nSet p = New Pt\nWith p\n.X = 1 : .Y = .X + 1\nEnd "
         "With\n"
         "T.Print p.X, p.Y",
         "1 2"},
        {"text against numbers (a text literal against a variable compares as text)",
         "x = \"5\" : y = 9 : T.Print x < y, x < 9, x = 5, y < \"10\"", "False True True False"},
        {"select text",
         "Select Case \"b\"\nCase \"a\" : T.Print 1\nCase \"b\", \"c\" : T.Print 2\nEnd Select",
         "2"},
        {"with nested",
         "With T\n.Print \"a\"\nWith New RegExp\n.Pattern = \"b\"\nT.Print .Pattern\nEnd With\nEnd "
         "With",
         "a|b"},
    });
}

TEST(VbsScript, Procedures) {
    Check({
        {"function", "Function Sq(x)\nSq = x * x\nEnd Function\nT.Print Sq(4)", "16"},
        {"recursion",
         "Function F(n)\nIf n <= 1 Then F = 1 Else F = n * F(n - 1)\nEnd Function\nT.Print F(10)",
         "3628800"},
        {"sub call forms", "Sub S(a, b)\nT.Print a & b\nEnd Sub\nS 1, 2\nCall S(3, 4)\nS (5), 6",
         "12|34|56"},
        {"paren sub error", "Sub S(a, b) : End Sub\nS(1, 2)", "syntax 1044 line 1 col 7"},
        {"byref default",
         "Sub Inc(n)\nn = n + 1\nEnd Sub\nx = 1 : Inc x : T.Print x : Inc (x) : T.Print x : Call "
         "Inc(x) : T.Print x",
         "2|2|3"},
        {"byval", "Sub S(ByVal n)\nn = 99\nEnd Sub\nx = 1 : S x : T.Print x", "1"},
        {"byref array element",
         "Sub Inc(n)\nn = n + 1\nEnd Sub\nDim a(2) : a(1) = 5 : Inc a(1) : T.Print a(1)", "6"},
        {"byref locked array", "Dim a() : ReDim a(2)\nSub S(n)\nReDim a(5)\nEnd Sub\nS a(1)",
         "error 10 line 2"},
        {"byref through proc chain",
         "Sub A(x) : B x : End Sub\nSub B(y) : y = \"set\" : End Sub\nv = 0 : A v : T.Print v",
         "set"},
        {"arg count", "Sub S(a) : End Sub\nS 1, 2", "error 450 line 1"},
        {"exit function", "Function F()\nF = 1\nExit Function\nF = 2\nEnd Function\nT.Print F()",
         "1"},
        {"function as sub", "Function F() : T.Print \"ran\" : End Function\nF\nCall F", "ran|ran"},
        {"locals",
         "x = \"global\"\nSub S()\nDim x : x = \"local\"\nT.Print x\nEnd Sub\nS : T.Print x",
         "local|global"},
        {"globals from procs", "Sub S() : g = g + 1 : End Sub\nDim g\nS : S : T.Print g", "2"},
        {"implicit local", "Sub S()\nundeclared = 5\nEnd Sub\nS : T.Print IsEmpty(undeclared)",
         "True"},
        {"option explicit", "Option Explicit\nDim a : a = 1\nb = 2", "error 500 line 2"},
        {"option explicit read", "Option Explicit\nT.Print c", "error 500 line 1"},
        {"getref",
         "Function Twice(x) : Twice = x * 2 : End Function\nSet f = GetRef(\"Twice\")\nT.Print "
         "f(21)",
         "42"},
        {"const", "Const A = 5, B = \"x\"\nT.Print A & B\nA = 2", "5x|error 501 line 2"},
        {"private public globals", "Public p : Private q : p = 1 : q = 2 : T.Print p + q", "3"},
        {"mid assignment",
         "s = \"abcdef\" : Mid(s, 2, 3) = \"XYZW\" : T.Print s\nMid(s, 5) = \"12345\" : T.Print s",
         "aXYZef|aXYZ12"},
        {"let", "Let x = 3 : T.Print x", "3"},
        {"property passed byref is a copy",
         "Class Box : Public V : End Class\nSub S(x) : x = 5 : End Sub\nSet b = New Box : b.V = 1 "
         ": S b.V : T.Print b.V",
         "1"},
        {"field byref inside class",
         "Class Box\nPublic V\nSub Bump() : Inc V : End Sub\nEnd Class\nSub Inc(x) : x = x + 1 : "
         "End Sub\n"
         "Set b = New Box : b.V = 1 : b.Bump : T.Print b.V",
         "2"},
        {"redim declares", "Option Explicit\nReDim a(2) : a(2) = 1 : T.Print UBound(a)", "2"},
        {"exit property",
         "Class P2\nProperty Get V() : V = 1 : Exit Property : V = 2 : End Property\nEnd Class\n"
         "Set p = New P2 : T.Print p.V",
         "1"},
        {"call method with parens",
         "Class K2\nSub Two(a, b) : T.Print a + b : End Sub\nEnd Class\n"
         "Set k = New K2 : Call k.Two(1, 2) : k.Two 3, 4",
         "3|7"},
        {"objects in arrays",
         "Class K3 : Public N : End Class\nDim a(1)\nSet a(1) = New K3\na(1).N = 7\nT.Print "
         "a(1).N, TypeName(a(0))",
         "7 Empty"},
        {"deep recursion", "Function F(n) : F = F(n + 1) : End Function\nF 1", "error 28 line 0"},
    });
}

TEST(VbsScript, Arrays) {
    Check({
        {"fixed",
         "Dim a(3)\nFor i = 0 To 3 : a(i) = i * i : Next\nT.Print Join(a, \",\"), UBound(a)",
         "0,1,4,9 3"},
        {"multi",
         "Dim m(2, 3)\nm(2, 3) = \"x\" : m(1, 0) = 1\nT.Print UBound(m, 1), UBound(m, 2), m(2, 3), "
         "m(1, 0)",
         "2 3 x 1"},
        {"out of range", "Dim a(2)\na(3) = 1", "error 9 line 1"},
        {"wrong dims", "Dim a(2)\nT.Print a(1, 1)", "error 9 line 1"},
        {"redim", "Dim a()\nReDim a(2) : a(2) = 5 : ReDim a(3) : T.Print IsEmpty(a(2)), UBound(a)",
         "True 3"},
        {"redim preserve",
         "ReDim a(1, 2)\na(1, 2) = \"k\" : a(0, 0) = \"z\"\nReDim Preserve a(1, 4)\nT.Print a(1, "
         "2), a(0, 0), UBound(a, 2)",
         "k z 4"},
        {"redim preserve first dim", "ReDim a(1, 2)\nReDim Preserve a(2, 2)", "error 9 line 1"},
        {"redim fixed", "Dim a(2)\nReDim a(3)", "error 10 line 1"},
        {"erase fixed", "Dim a(1) : a(0) = 1 : Erase a : T.Print IsEmpty(a(0)), UBound(a)",
         "True 1"},
        {"erase dynamic", "ReDim a(1) : Erase a : T.Print IsArray(a)\nT.Print UBound(a)",
         "True|error 9 line 1"},
        {"dynamic without bounds",
         "Dim a() : b = a : T.Print IsArray(b), TypeName(a)\nReDim Preserve a(1) : T.Print "
         "UBound(a)\nT.Print UBound(b)",
         "True Variant()|1|error 9 line 2"},
        {"copy semantics", "a = Array(1, 2) : b = a : b(0) = 9 : T.Print a(0), b(0)", "1 9"},
        {"for each copy",
         "a = Array(1, 2, 3)\nFor Each x In a : x = x * 2 : s = s & x : Next\nT.Print s, a(0)",
         "246 1"},
        {"array of arrays", "a = Array(Array(1, 2), Array(3, 4))\nT.Print a(1)(0)", "3"},
        {"array byval param",
         "Sub S(ByVal v) : v(0) = 9 : End Sub\nSub R(v) : v(0) = 8 : End Sub\na = Array(1)\nS a : "
         "T.Print a(0)\nR a : T.Print a(0)",
         "1|8"},
        {"assign to fixed", "Dim a(1)\na = Array(1)", "error 501 line 1"},
        {"for each empty", "For Each x In Array() : T.Print x : Next : T.Print \"none\"", "none"},
        {"too large",
         "On Error Resume Next\nReDim a(100000, 100000) : T.Print Err.Number\n"
         "s = Space(2 ^ 30) : T.Print Err.Number",
         "7|14"},
        {"for each scalar", "For Each x In 5 : Next", "error 451 line 0"},
    });
}

TEST(VbsScript, Classes) {
    Check({
        {"fields and methods",
         "Class Counter\nPrivate n\nPublic Sub Add(k) : n = n + k : End Sub\nPublic Function "
         "Total() : Total = n : End Function\n"
         "End Class\nSet c = New Counter : c.Add 2 : c.Add 3 : T.Print c.Total()",
         "5"},
        {"properties",
         "Class Prop\nPrivate v_\nPublic Property Get V() : V = v_ * 10 : End Property\n"
         "Public Property Let V(x) : v_ = x : End Property\nEnd Class\nSet p = New Prop : p.V = 4 "
         ": T.Print p.V",
         "40"},
        {"property with args",
         "Class Map\nPrivate d(3)\nPublic Property Get Item(i) : Item = d(i) : End Property\n"
         "Public Property Let Item(i, x) : d(i) = x : End Property\nEnd Class\nSet m = New Map : "
         "m.Item(2) = \"z\" : T.Print m.Item(2)",
         "z"},
        {"property set",
         "Class Holder\nPrivate o\nPublic Property Set Obj(x) : Set o = x : End Property\n"
         "Public Property Get Obj() : Set Obj = o : End Property\nEnd Class\nSet h = New "
         "Holder\nSet h.Obj = T\nh.Obj.Print \"via\"",
         "via"},
        {"default member",
         "Class Dbl\nPublic Default Function Val(i) : Val = i * 2 : End Function\nEnd Class\nSet d "
         "= New Dbl : T.Print d(21)",
         "42"},
        {"default property value context",
         "Class Dv\nPublic Default Property Get V() : V = 7 : End Property\nEnd Class\nSet d = New "
         "Dv : x = d : T.Print x + 1",
         "8"},
        {"initialize terminate order",
         "Class K\nPublic Name\nSub Class_Initialize() : T.Print \"init\" : End Sub\n"
         "Sub Class_Terminate() : T.Print \"term \" & Name : End Sub\nEnd Class\n"
         "Set a = New K : a.Name = \"a\"\nSet b = New K : b.Name = \"b\"\nSet a = Nothing\nT.Print "
         "\"mid\"\nSet b = a\nT.Print \"end\"",
         "init|init|term a|mid|term b|end"},
        {"terminate at end of procedure",
         "Class K\nSub Class_Terminate() : T.Print \"term\" : End Sub\nEnd Class\n"
         "Sub S()\nDim k : Set k = New K\nT.Print \"in\"\nEnd Sub\nS : T.Print \"out\"",
         "in|term|out"},
        {"me",
         "Class Cls\nPublic X\nFunction Self() : Set Self = Me : End Function\nEnd Class\n"
         "Set c = New Cls : c.X = 3 : T.Print c.Self().X, c.Self() Is c",
         "3 True"},
        {"private member",
         "Class Cls\nPrivate Sub Hidden() : End Sub\nEnd Class\nSet c = New Cls : c.Hidden",
         "error 438 line 3"},
        {"is nothing", "Dim o : Set o = Nothing : T.Print o Is Nothing, TypeName(o), IsObject(o)",
         "True Nothing True"},
        {"typename", "Class Widget : End Class\nT.Print TypeName(New Widget)", "Widget"},
        {"set required", "Set x = 5", "error 424 line 0"},
        {"object without set", "Class C : End Class\nx = New C", "error 438 line 1"},
        {"nothing member", "Dim o : Set o = Nothing : o.Foo", "error 424 line 0"},
        {"undefined class", "Set x = New Nope", "error 506 line 0"},
        {"fields array",
         "Class Arr\nPublic v(2)\nEnd Class\nSet a = New Arr : a.v(1) = 5 : T.Print a.v(1)", "5"},
        {"class calls own members",
         "Class Cls\nPrivate Function Twice(x) : Twice = x * 2 : End Function\n"
         "Public Function Run(y) : Run = Twice(y) + Me.Four : End Function\n"
         "Public Property Get Four() : Four = 4 : End Property\nEnd Class\nSet c = New Cls : "
         "T.Print c.Run(3)",
         "10"},
    });
}

TEST(VbsScript, Errors) {
    Check({
        {"resume next",
         "On Error Resume Next\nx = 1 / 0\nT.Print Err.Number, Err.Description\nErr.Clear\nT.Print "
         "Err.Number",
         "11 Division by zero|0"},
        {"continues", "On Error Resume Next\nT.Print 1\nx = CInt(\"a\")\nT.Print 2", "1|2"},
        {"goto 0",
         "On Error Resume Next\nx = 1 / 0\nOn Error GoTo 0\nT.Print Err.Number\ny = 1 / 0",
         "0|error 11 line 4"},
        {"across calls",
         "Sub Inner()\nT.Print \"a\"\nx = 1 / 0\nT.Print \"b\"\nEnd Sub\nOn Error Resume "
         "Next\nInner\nT.Print \"c\", Err.Number",
         "a|c 11"},
        {"callee own handler",
         "Sub Inner()\nOn Error Resume Next\nx = 1 / 0\nT.Print \"b\"\nEnd Sub\nInner\nT.Print "
         "\"c\"",
         "b|c"},
        {"Err stays set after a procedure that resumed past its error",
         "Sub Inner()\nOn Error Resume Next\nx = 1 / 0\nT.Print Err.Number\nEnd Sub\n"
         "Function F()\nOn Error Resume Next\nx = 1 / 0\nF = Err.Number\nExit Function\n"
         "End Function\nOn Error Resume Next\nInner\nT.Print Err.Number\nx = 1 / 0\n"
         "T.Print F(), Err.Number",
         "11|11|11 11"},
        {"raise",
         "On Error Resume Next\nErr.Raise vbObjectError + 5, \"Src\", \"Custom\"\n"
         "T.Print Err.Number - vbObjectError, Err.Source, Err.Description",
         "5 Src Custom"},
        {"raise standard", "Err.Raise 13", "error 13 line 0"},
        {"raise uncaught", "Sub S() : Err.Raise 1000, \"me\", \"boom\" : End Sub\nS",
         "error 1000 line 0"},
        {"error in if condition",
         "On Error Resume Next\nIf 1 / 0 Then T.Print \"then\"\nT.Print \"after\"", "after"},
        {"syntax position", "x = 1\ny = (2 + \nz = 3", "syntax 1023 line 1 col 9"},
        {"syntax missing end", "If x Then\nT.Print 1\n", "syntax 1014 line 2 col 0"},
        {"exit outside", "Exit Do", "syntax 1039 line 0 col 7"},
        {"undefined function", "Nope 1", "error 13 line 0"},
    });
}

TEST(VbsScript, DynamicCode) {
    Check({
        {"execute global",
         "ExecuteGlobal \"Function G(x) : G = x + 1 : End Function\"\nT.Print G(1)", "2"},
        {"execute sees locals",
         "Sub S()\nDim v : v = 5\nExecute \"v = v * 2\"\nT.Print v\nEnd Sub\nS", "10"},
        {"eval", "x = 6 : T.Print Eval(\"x * 7\"), Eval(\"x = 6\")", "42 True"},
        {"eval in proc", "Function F(a) : F = Eval(\"a + 1\") : End Function\nT.Print F(1)", "2"},
        {"execute syntax error", "On Error Resume Next\nExecute \"If\"\nT.Print Err.Number",
         "1023"},
        {"randomize",
         "x = Rnd(-1) : Randomize 1 : a = Rnd : x = Rnd(-1) : Randomize 1 : b = Rnd : T.Print a = "
         "b, a < 1",
         "True True"},
        {"rnd negative", "x = Rnd(-1) : y = Rnd(-1) : T.Print x = y", "True"},
        // dynamic code that runs itself again ends in "Out of stack space", not a crash
        {"eval recursion", "s = \"Eval(s)\"\nOn Error Resume Next\nx = Eval(s)\nT.Print Err.Number",
         "28"},
        {"execute recursion",
         "s = \"Execute s\"\nOn Error Resume Next\nExecute s\nT.Print Err.Number", "28"},
    });
}

TEST(VbsScript, ExecutedTextsDoNotPileUp) {
    vbstest::Runner r;
    EXPECT_EQ(r.Run("For i = 1 To 500 : Execute \"n = n + 1\" : Next : T.Print n"), "500");
    size_t after = r.in->ProgramCount();
    EXPECT_EQ(r.Run("For i = 1 To 500 : Execute \"n = n + 1\" : Next : T.Print n"), "1000");
    EXPECT_EQ(r.in->ProgramCount(), after + 1);  // only the script itself
    EXPECT_EQ(r.Run("Execute \"Function Kept() : Kept = 1 : End Function\" : T.Print Kept()"), "1");
}

TEST(VbsScript, MessageBoxes) {
    vbstest::Runner r;
    r.host.boxAnswer = 6;
    EXPECT_EQ(r.Run("a = MsgBox(\"Sure?\", vbYesNo + vbQuestion, \"Ask\")\nT.Print a = vbYes\n"
                    "T.Print InputBox(\"Name\", \"T\", \"Bob\")"),
              "True|Bob!");
    ASSERT_EQ(r.host.boxes.size(), 1u);
    EXPECT_EQ(r.host.boxes[0], "Ask:Sure?:36");
}

TEST(VbsScript, PersistentState) {
    vbstest::Runner r;
    EXPECT_EQ(r.Run("Dim counter\nSub Bump() : counter = counter + 1 : End Sub"), "");
    EXPECT_EQ(r.Run("Bump : Bump : T.Print counter"), "2");
    EXPECT_EQ(r.Run("x = 1 / 0"), "error 11 line 0");
    EXPECT_EQ(r.Run("Bump : T.Print counter"), "3");
}

}  // namespace
