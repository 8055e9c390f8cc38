// Parser limits: pathological nesting fails cleanly instead of exhausting
// the stack, and malformed literals give their syntax errors.
#include <gtest/gtest.h>

#include <string>

#include "platform/scripting/vbscript/vbs_ast.h"

namespace {

int SyntaxNumber(const std::u16string& s) {
    try {
        vbs::Parse(s, 0);
    } catch (const vbs::SyntaxError& e) {
        return e.number;
    }
    return 0;
}

std::u16string Repeat(const char16_t* s, int n) {
    std::u16string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

TEST(VbsParser, DeepNestingIsBounded) {
    EXPECT_EQ(SyntaxNumber(u"x = " + Repeat(u"(", 100000) + u"1"), 28);
    EXPECT_EQ(SyntaxNumber(u"x = " + Repeat(u"-", 100000) + u"1"), 28);
    EXPECT_EQ(SyntaxNumber(u"x = " + Repeat(u"Not ", 100000) + u"1"), 28);
    EXPECT_EQ(SyntaxNumber(Repeat(u"If x Then\n", 100000)), 28);
    EXPECT_EQ(SyntaxNumber(Repeat(u"If x Then ", 100000) + u"y = 1"), 28);
    EXPECT_EQ(SyntaxNumber(Repeat(u"Do\n", 50000)), 28);
    // moderate nesting is fine
    EXPECT_EQ(SyntaxNumber(u"x = " + Repeat(u"(", 50) + u"1" + Repeat(u")", 50)), 0);
    EXPECT_EQ(SyntaxNumber(Repeat(u"If x Then\n", 40) + Repeat(u"End If\n", 40)), 0);
}

TEST(VbsParser, LexicalErrors) {
    struct Case {
        const char16_t* text;
        int number;
    } cases[] = {
        {u"x = \"open", 1033},       {u"x = 1a", 1031},        {u"x = &HFFFFFFFFF", 1031},
        {u"x = #13/45/2024#", 1032}, {u"x = #1/1/2024", 1032}, {u"x = [open", 1032},
        {u"x = 1 ~ 2", 1032},        {u"x = &O9", 1025},       {u"x = 1e400", 1031},
        {u"x = 1 _\n + 2", 0},       {u"x = \"a\"\"b\"", 0},   {u"Rem only\nx = 1", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(SyntaxNumber(c.text), c.number) << text::ToUtf8(c.text);
}

TEST(VbsParser, StatementErrors) {
    struct Case {
        const char16_t* text;
        int number;
    } cases[] = {
        {u"If x Then\ny = 1", 1014},
        {u"For i = 1 To 2\n", 1020},
        {u"For i = 1 2\nNext", 1013},
        {u"Do\nx = 1\n", 1019},
        {u"While x\n", 1018},
        {u"Select Case x\nCase 1\n", 1022},
        {u"Sub S()\n", 1016},
        {u"Function F()\n", 1015},
        {u"Class C\nSub S() : End Sub\n", 1014},
        {u"Class C\nProperty Get P() : End Property\nProperty Get Q() : End Property\nEnd Class",
         0},
        {u"Property Get P() : End Property", 1048},
        {u"Class C\nPublic Default Sub A() : End Sub\nPublic Default Sub B() : End Sub\nEnd Class",
         1052},
        {u"Class C\nSub Class_Initialize(x) : End Sub\nEnd Class", 1053},
        {u"Class C\nProperty Let P() : End Property\nEnd Class", 1054},
        {u"x = Me", 0},
        {u"Exit For", 1039},
        {u"Sub S() : Exit Function : End Sub", 1039},
        {u"Sub S(a, a) : End Sub", 1041},
        {u"x = ", 1023},
        {u"x = 1 2", 1025},
        {u"On Error GoTo 10", 1002},
        {u"= 5", 1024},
        {u"ReDim a", 1005},
        {u"For Each x Of y\nNext", 1046},
        {u"Select x\nEnd Select", 1021},
    };
    for (const auto& c : cases) EXPECT_EQ(SyntaxNumber(c.text), c.number) << text::ToUtf8(c.text);
}

}  // namespace
