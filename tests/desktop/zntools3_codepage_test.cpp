// The interface code page chosen with ZNTOOLS3_CODEPAGE, which the library
// reads when it is loaded: ctest runs this binary once per code page, each
// time with that page's tests only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/desktop/zntools3_test_util.h"
#include "zarnip/zntools3.h"

namespace {

using zn3test::Doc;
using zn3test::TempDir;
using zn3test::Text;

void RequireCodePage(const char* cp) {
    const char* v = std::getenv("ZNTOOLS3_CODEPAGE");
    ASSERT_TRUE(v && std::string(v) == cp) << "run with ZNTOOLS3_CODEPAGE=" << cp;
}

TEST(CodePage932, DoubleByteCharactersAreNeverSplit) {
    RequireCodePage("932");
    TempDir dir;
    // "a", hiragana a and i, in UTF-8 in the file.
    Doc doc(dir.Write("j.xml", "<r k=\"\xE3\x81\x82\"><t>a\xE3\x81\x82\xE3\x81\x84</t></r>"));
    ASSERT_TRUE(doc);
    znXmlNode* t = xmlGetNode(doc.Root(), "t");
    struct Case {
        int32_t size;
        std::string expect;
    } cases[] = {{1, ""},          {2, "a"},         {3, "a"},
                 {4, "a\x82\xA0"}, {5, "a\x82\xA0"}, {6, "a\x82\xA0\x82\xA2"}};
    for (const Case& c : cases) {
        std::vector<char> buf(16, 'X');
        xmlGetNodeText(t, buf.data(), c.size);
        EXPECT_EQ(std::string(buf.data()), c.expect) << c.size;
        for (size_t i = static_cast<size_t>(c.size); i < buf.size(); ++i) EXPECT_EQ(buf[i], 'X');
    }
    // Names and values come in the same code page.
    EXPECT_EQ(Text(xmlGetAttribute, doc.Root(), "k"), "\x82\xA0");
    xmlSetAttribute(doc.Root(), "\x82\xA2", "\x82\xA0");
    EXPECT_EQ(Text(xmlGetAttribute, doc.Root(), "\x82\xA2"), "\x82\xA0");
    znXmlNode* byName = xmlGetNode(doc.Root(), "@\x82\xA2");
    EXPECT_NE(byName, nullptr);
    xmlRelease(byName);
    char dest[16] = "";
    EXPECT_EQ(StrToUTF8("\x82\xA0", 0, dest), 3);
    EXPECT_STREQ(dest, "\xE3\x81\x82");
    xmlRelease(t);
}

TEST(CodePage1252, CharactersOutsideThePageComeBackAsQuestionMarks) {
    RequireCodePage("1252");
    TempDir dir;
    Doc doc(
        dir.Write("w.xml", "<r><t>a\xE2\x82\xAC\xE4\xB8\xAD</t></r>"));  // a, euro, a CJK character
    ASSERT_TRUE(doc);
    EXPECT_EQ(Text(xmlGetNodeText, doc.Root()), "a\x80?");
    xmlSetAttribute(doc.Root(), "v", "caf\xE9 \x81");
    EXPECT_EQ(Text(xmlGetAttribute, doc.Root(), "v"), "caf\xE9 \x81");
    const std::string saved = dir.Path("saved.xml");
    ASSERT_EQ(xmlSave(doc, saved.c_str()), 1);
    EXPECT_NE(zn3test::ReadAll(saved).find("v=\"caf\xC3\xA9 \xC2\x81\""), std::string::npos);
    char dest[16] = "";
    EXPECT_EQ(StrToUTF8("\xE9", 0, dest), 2);
    EXPECT_STREQ(dest, "\xC3\xA9");
}

}  // namespace
