#include "core/xml_node.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_command.h"

namespace {

std::string U8(WStringView s) {
    return text::ToUtf8(s);
}

// name[attr=value;...]"text"(children), attributes sorted by name.
std::string Dump(const CXmlNode* n) {
    if (!n) return "(none)";
    std::string out = U8(n->GetName());
    std::vector<std::pair<WString, WString>> attrs(n->GetAttributes().begin(),
                                                   n->GetAttributes().end());
    std::sort(attrs.begin(), attrs.end());
    if (!attrs.empty()) {
        out += "[";
        for (size_t i = 0; i < attrs.size(); ++i)
            out += (i ? ";" : "") + U8(attrs[i].first) + "=" + U8(attrs[i].second);
        out += "]";
    }
    if (!n->GetText().empty()) out += "\"" + U8(n->GetText()) + "\"";
    if (n->GetChildCount() > 0) {
        out += "(";
        for (int i = 0; i < n->GetChildCount(); ++i) out += (i ? "," : "") + Dump(n->GetChild(i));
        out += ")";
    }
    return out;
}

struct ParseCase {
    const char* name;
    const char16_t* input;
    bool ok;
    const char* tree;   // Dump of the root when ok
    const char* error;  // error text when not ok
};

const ParseCase kParseCases[] = {
    {"empty", u"", false, "", "XML Input Empty"},
    {"empty element", u"<A/>", true, "A", ""},
    {"unmatched end", u"<A>x</B>", false, "",
     "XML parsing error. Unmatched tag: Expecting 'A' but encountered 'B' at line 1"},
    {"empty end tag", u"<A>x</>", true, "A\"x\"", ""},
    {"leading blanks dropped, trailing kept", u"<A>  hello  </A>", true, "A\"hello  \"", ""},
    {"declaration, blanks around =, entity", u"<?xml version=\"1.0\"?>\r\n<A b = \"1 &amp; 2\"/>",
     true, "A[b=1 & 2]", ""},
    {"text ends inside root", u"<A><B>text", false, "", "XML parse error."},
    {"text ends inside start tag", u"<A b=\"1/>", false, "", "XML parse error."},
    {"no element at all", u"hello", false, "", "XML parse error."},
    // The LF eaten with each "/>" still counts as a line.
    {"mismatch on line 3", u"<A><B/>\n<B/>\r\n</C>", false, "",
     "XML parsing error. Unmatched tag: Expecting 'A' but encountered 'C' at line 3"},
    {"nested mismatch fails the parse", u"<A><B></C></A>", false, "",
     "XML parsing error. Unmatched tag: Expecting 'B' but encountered 'C' at line 1"},
    {"greater-than kept in text and values", u"<S t=\"a > b\">If a > b Then</S>", true,
     "S[t=a > b]\"If a > b Then\"", ""},
    {"all seven entities", u"<A v=\"&lt;&gt;&quot;&apos;&amp;&#xA;&#xD;\">&amp;lt;</A>", true,
     "A[v=<>\"'&\n\r]\"&lt;\"", ""},
    {"numeric references; unknown ones kept", u"<A>&#233;&#xE9;&#0;&bogus;&#x1F600;</A>", true,
     "A\"\xC3\xA9\xC3\xA9&#0;&bogus;\xF0\x9F\x98\x80\"", ""},
    {"attributes with free blanks", u"<A  x = \"1\"\n   y=\"\"/>", true, "A[x=1;y=]", ""},
    {"blanks and line ends inside a value kept", u"<A v=\" a\r\nb \"/>", true, "A[v= a\r\nb ]", ""},
    {"text of an element with children", u"<A> a<B/>b </A>", true, "A\"ab \"(B)", ""},
    {"children in order", u"<A><B x=\"1\"/><C>t</C><B/></A>", true, "A(B[x=1],C\"t\",B)", ""},
    {"text after the root is not read", u"<A/>junk<B>", true, "A", ""},
    {"comment holding '>' before the root", u"<!-- a > b -->\n<A/>", true, "A", ""},
    {"comment and declaration before a child", u"<A><?pi?><!-- c --><B/></A>", true, "A(B)", ""},
    {"comment between text", u"<A>x<!-- c -->y</A>", true, "A\"xy\"", ""},
    {"comment last in content", u"<A><B/><!-- c --></A>", true, "A(B)", ""},
    {"unterminated comment", u"<A><!-- c </A>", false, "", "XML parse error."},
    {"CDATA kept literally", u"<A>x <![CDATA[<b>&amp;</b>]]> y&amp;</A>", true,
     "A\"x <b>&amp;</b> y&\"", ""},
    {"case of names kept and compared exactly", u"<Ab></ab>", false, "",
     "XML parsing error. Unmatched tag: Expecting 'Ab' but encountered 'ab' at line 1"},
};

class XmlParse : public testing::TestWithParam<ParseCase> {};

TEST_P(XmlParse, Table) {
    const ParseCase& c = GetParam();
    CXmlDocument doc;
    bool ok = doc.Parse(c.input);
    EXPECT_EQ(ok, c.ok);
    if (c.ok) {
        EXPECT_EQ(Dump(doc.GetRoot()), c.tree);
        EXPECT_EQ(doc.GetErrorCode(), 0);
        EXPECT_EQ(doc.GetErrorText(), u"");
    } else {
        EXPECT_EQ(doc.GetRoot(), nullptr);
        EXPECT_EQ(doc.GetErrorCode(), -1);
        EXPECT_EQ(U8(doc.GetErrorText()), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, XmlParse, testing::ValuesIn(kParseCases),
                         [](const testing::TestParamInfo<ParseCase>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

TEST(XmlParseLimits, DeepNestingFailsCleanly) {
    WString deep;
    for (int i = 0; i < 100000; ++i) deep += u"<A>";
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(deep));
    EXPECT_EQ(doc.GetRoot(), nullptr);
    EXPECT_EQ(U8(doc.GetErrorText()),
              "XML parsing error. Elements nested deeper than 256 levels at line 1");

    // Exactly at the limit still parses.
    WString ok;
    for (int i = 0; i < CXmlDocument::kMaxDepth; ++i) ok += u"<A>";
    for (int i = 0; i < CXmlDocument::kMaxDepth; ++i) ok += u"</A>";
    EXPECT_TRUE(doc.Parse(ok));
}

// A 16 MiB answer of empty elements is refused without taking more than a
// bounded amount of memory (peak measured in a child process); a document of
// many real elements still parses.
TEST(XmlParseLimits, ElementFloodsAreRefusedWithBoundedMemory) {
    WString flood = u"<R>";
    flood.reserve(16u << 20);
    while (flood.size() < (16u << 20) - 8) flood += u"<A/>";
    flood += u"</R>";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        CXmlDocument doc;
        const bool parsed = doc.Parse(flood);
        getrusage(RUSAGE_SELF, &after);
        const long grownMiB = (after.ru_maxrss - before.ru_maxrss) / 1024;
        std::printf("16 MiB of <A/>: peak memory grew by %ld MiB\n", grownMiB);
        std::fflush(stdout);
        const bool told =
            U8(doc.GetErrorText())
                .rfind("XML parsing error. The document holds more elements than can be read", 0) ==
            0;
        _exit(!parsed && !doc.GetRoot() && told && grownMiB < 250 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    WString many = u"<FEATURES>";
    for (int i = 0; i < 100000; ++i)
        many += u"<FEATURE><FIELD name=\"ID\" value=\"" + text::IntToText(i) + u"\"/></FEATURE>";
    many += u"</FEATURES>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(many)) << U8(doc.GetErrorText());
    EXPECT_EQ(doc.GetRoot()->GetChildCount(), 100000);
}

TEST(XmlParseLimits, ReparseReplacesTreeAndClearsError) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.Parse(u"<A>"));
    EXPECT_TRUE(doc.Parse(u"<B/>"));
    EXPECT_EQ(doc.GetErrorCode(), 0);
    EXPECT_EQ(doc.GetRoot()->GetName(), u"B");
    EXPECT_EQ(doc.GetRoot()->GetDocument(), &doc);
}

// Python's xml.etree reads the same documents into the same trees. (Mixed
// content and raw line ends inside values are left out: there the program's
// parser keeps its own rules.)
TEST(XmlParseOracle, AgreesWithPythonEtree) {
    const std::string docs[] = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<Zarnip>\r\n  <MAP name=\"A &amp; B\" "
        "units=\"9001\">\r\n    <LAYER file=\"\\Storage Card\\roads.shp\" visible=\"true\"/>\r\n"
        "  </MAP>\r\n</Zarnip>\r\n",
        "<!-- server reply --><OMBRXL version=\"1.1\"><RESPONSE><SERVICES>"
        "<SERVICE NAME=\"Roads\" TYPE=\"ImageServer\"/><SERVICE NAME=\"Parcels\" "
        "TYPE=\"FeatureServer\"/></SERVICES></RESPONSE></OMBRXL>",
        "<A v=\"&lt;&gt;&quot;&apos;&#xA;&#xD;&#233;&#x1F600;\">  caf\xC3\xA9 \xE2\x82\xAC  </A>",
        "<A><B>x &gt; y &amp;&amp; z</B><C><![CDATA[<raw> & ]]></C><D/><E></E></A>",
        "<A>\n  <B/>\n  <!-- note -->\n  <C k = \"1\"  j=\"2\" />\n  <?pi data?>\n</A>",
        "<A><B><C><D><E>deep</E></D></C></B></A>",
    };
    char tmpl[] = "/tmp/zn-xml-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl,
                cmd = "python3 '" + std::string(ZN_SOURCE_DIR) + "/tests/core/xml_etree_dump.py'";
    std::vector<std::string> ours;
    for (size_t i = 0; i < std::size(docs); ++i) {
        std::string path = dir + "/" + std::to_string(i) + ".xml";
        std::ofstream(path, std::ios::binary) << docs[i];
        cmd += " '" + path + "'";
        CXmlDocument doc;
        std::string d = doc.Parse(text::FromUtf8(docs[i])) ? Dump(doc.GetRoot()) : "(failed)";
        std::string esc;
        for (char c : d) esc += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
        ours.push_back(esc);
    }
    int status = -1;
    const std::string out = testsupport::RunCommand(cmd, &status);
    EXPECT_EQ(status, 0);
    std::filesystem::remove_all(dir);
    std::istringstream lines(out);
    std::string line;
    for (size_t i = 0; i < std::size(docs); ++i) {
        ASSERT_TRUE(std::getline(lines, line)) << "python3 gave no line for document " << i;
        EXPECT_EQ(ours[i], line) << "document " << i;
    }
}

// Root: B (holding C#1), then C#2.
TEST(XmlFindChild, OwnChildrenBeforeDescending) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(u"<R><B><C n=\"1\"/></B><C n=\"2\"/></R>"));
    CXmlNode* r = doc.GetRoot();
    CXmlNode* c2 = r->GetChild(1);
    EXPECT_EQ(r->FindChild(u"C", true), c2);
    EXPECT_EQ(r->FindChild(u"C", false, c2), c2);  // start is inclusive
    EXPECT_EQ(r->FindChild(u"C", c2, true), c2);   // the shell's argument order
    EXPECT_EQ(r->FindChild(u"C", false, r->GetChild(0)), c2);
    EXPECT_EQ(r->FindChild(u"c", true), nullptr);  // names compare exactly
    EXPECT_EQ(doc.FindElement(u"R", false), r);
    EXPECT_EQ(doc.FindElement(u"C", true), c2);

    ASSERT_TRUE(doc.Parse(u"<R><B><C n=\"1\"/></B><B><C n=\"2\"/></B></R>"));
    r = doc.GetRoot();
    EXPECT_EQ(r->FindChild(u"C", true), r->GetChild(0)->GetChild(0));
    EXPECT_EQ(r->FindChild(u"C", false), nullptr);
    // Stepping to the next like-named sibling.
    CXmlNode* b1 = r->FindChild(u"B");
    EXPECT_EQ(r->FindChild(u"B", false, b1), b1);
    EXPECT_EQ(r->FindChild(u"B", false, r->GetChild(1)), r->GetChild(1));
}

TEST(XmlNode, ChildListAndCounting) {
    CXmlDocument doc(u"R", u"");
    CXmlNode* r = doc.GetRoot();
    EXPECT_EQ(r->GetChild(0), nullptr);
    EXPECT_EQ(r->AddChild(nullptr), nullptr);
    CXmlNode* a = r->CreateChild(u"LAYER", u"t&");
    r->CreateChild(u"LAYER");
    r->CreateChild(u"GRID");
    EXPECT_EQ(a->GetText(), u"t&");  // stored unchanged
    EXPECT_EQ(a->GetParent(), r);
    EXPECT_EQ(a->GetDocument(), &doc);
    EXPECT_EQ(a->GetTopmost(), r);
    const WChar* names[] = {u"GRID", u"LAYER", u"NONE", nullptr};
    EXPECT_EQ(r->CountChildren(u"LAYER"), 2);
    EXPECT_EQ(r->CountChildrenOf(names), 3);
    EXPECT_EQ(a->IndexOfName(names), 1);
    EXPECT_EQ(r->IndexOfName(names), -1);
    EXPECT_EQ(r->GetChild(-1), nullptr);
    EXPECT_EQ(r->GetChild(3), nullptr);

    EXPECT_TRUE(r->RemoveChild(a));
    EXPECT_FALSE(r->RemoveChild(a));
    EXPECT_EQ(r->GetChildCount(), 2);
    delete a;  // the caller owns a removed child

    r->GetChild(0)->SetAttribute(u"name", u"Roads");
    EXPECT_EQ(r->FindChildByAttribute(u"LAYER", u"name", u"roads"), r->GetChild(0));
    EXPECT_EQ(r->FindChildByAttribute(u"GRID", u"name", u"roads"), nullptr);
}

TEST(XmlNode, TypedGetters) {
    CXmlDocument doc;
    ASSERT_TRUE(
        doc.Parse(u"<A d1=\"1.5\" d2=\"nan\" d3=\"inf\" d4=\"0x10\" d5=\" -2e3x\""
                  u" i1=\"0x1A\" i2=\"4294967295\" i3=\"-12abc\" h1=\"1a\" h2=\"0x1A\" h3=\"zz\""
                  u" b1=\"True\" b2=\"true\" b3=\"t\" b4=\"\" b5=\"1\""
                  u" c1=\"255,0,0\" c2=\"255,0\" c3=\"1,2,3\" c4=\"\" c5=\"1, 2, 3\" c6=\"1 ,2,3\""
                  u" ch1=\"&#233;x\" ch2=\"\" s=\"a&amp;b\"/>"));
    const CXmlNode* a = doc.GetRoot();
    EXPECT_EQ(a->GetAttributeDouble(u"d1", 9), 1.5);
    EXPECT_EQ(a->GetAttributeDouble(u"d2", 9), 0);
    EXPECT_EQ(a->GetAttributeDouble(u"d3", 9), 0);
    EXPECT_EQ(a->GetAttributeDouble(u"d4", 9), 0);
    EXPECT_EQ(a->GetAttributeDouble(u"d5", 9), -2000);
    EXPECT_EQ(a->GetAttributeDouble(u"none", 9), 9);

    EXPECT_EQ(a->GetAttributeInt(u"i1", 9), 0);
    EXPECT_EQ(a->GetAttributeInt(u"i2", 9), INT_MAX);
    EXPECT_EQ(a->GetAttributeInt(u"i3", 9), -12);
    EXPECT_EQ(a->GetAttributeInt(u"none", 9), 9);
    EXPECT_EQ(a->GetAttributeIntHex(u"h1", 9, true), 26);
    EXPECT_EQ(a->GetAttributeIntHex(u"h2", 9, true), 26);
    EXPECT_EQ(a->GetAttributeIntHex(u"h3", 9, true), 0);
    EXPECT_EQ(a->GetAttributeIntHex(u"h1", 9, false), 1);

    EXPECT_FALSE(a->GetAttributeBool(u"b1", true));
    EXPECT_TRUE(a->GetAttributeBool(u"b2", false));
    EXPECT_TRUE(a->GetAttributeBool(u"b3", false));
    EXPECT_FALSE(a->GetAttributeBool(u"b4", true));
    EXPECT_FALSE(a->GetAttributeBool(u"b5", true));
    EXPECT_TRUE(a->GetAttributeBool(u"none", true));

    EXPECT_EQ(a->GetAttributeColor(u"c1", 7), 255u);
    EXPECT_EQ(a->GetAttributeColor(u"c2", 7), 7u);
    EXPECT_EQ(a->GetAttributeColor(u"c3", 7), 0x030201u);
    EXPECT_EQ(a->GetAttributeColor(u"c4", 7), 7u);
    EXPECT_EQ(a->GetAttributeColor(u"c5", 7), 0x030201u);  // %d skips blanks before a number
    EXPECT_EQ(a->GetAttributeColor(u"c6", 7), 7u);         // but not before a comma

    EXPECT_EQ(a->GetAttributeChar(u"ch1", 'z'), '\xE9');
    EXPECT_EQ(a->GetAttributeChar(u"ch2", 'z'), 'z');

    EXPECT_EQ(a->GetAttribute(u"s"), u"a&b");
    EXPECT_EQ(a->GetAttribute(u"s", nullptr, true), u"a&amp;b");
    EXPECT_EQ(a->GetAttribute(u"none"), u"");
    EXPECT_EQ(a->GetAttribute(u"none", u"def"), u"def");
}

TEST(XmlEscaping, BothWays) {
    WString s = u"a<b & \"c\"";
    EXPECT_TRUE(XmlNeedsEscape(s));
    EXPECT_TRUE(XmlEscape(s));
    EXPECT_EQ(s, u"a&lt;b &amp; &quot;c&quot;");
    EXPECT_TRUE(XmlUnescape(s));
    EXPECT_EQ(s, u"a<b & \"c\"");

    WString all = u"&\"'><\n\r";
    XmlEscape(all);
    EXPECT_EQ(all, u"&amp;&quot;&apos;&gt;&lt;&#xA;&#xD;");

    WString plain = u"plain é";
    EXPECT_FALSE(XmlNeedsEscape(plain));
    EXPECT_FALSE(XmlEscape(plain));
    EXPECT_FALSE(XmlUnescape(plain));
    // Decoded once only.
    WString twice = u"&amp;lt;&amp;amp;";
    EXPECT_TRUE(XmlUnescape(twice));
    EXPECT_EQ(twice, u"&lt;&amp;");
    WString bad = u"&#xD800;&#x110000;&#;&#12345678901;&";
    EXPECT_FALSE(XmlUnescape(bad));
}

TEST(XmlSerialize, RoundTrip) {
    CXmlDocument doc(u"Zarnip", u"");
    CXmlNode* r = doc.GetRoot();
    CXmlNode* m = r->CreateChild(u"MAP");
    m->SetAttribute(u"name", u"He said \"a < b & c\"\n");
    m->SetAttribute(u"units", u"9001");
    m->CreateChild(u"TEXT", u"If a > b Then");
    m->CreateChild(u"EMPTY");
    r->CreateChild(u"NOTE", u"caf\u00E9 \u043D");

    WString s = doc.SaveToString();
    EXPECT_EQ(s.substr(0, 23), u"<?xml version=\"1.0\"?>\r\n");
    EXPECT_NE(s.find(u"\r\n <NOTE >\r\ncaf\u00E9 \u043D</NOTE>\r\n"), WString::npos);
    EXPECT_NE(s.find(u"\r\n  <EMPTY />\r\n"), WString::npos);

    CXmlDocument back;
    ASSERT_TRUE(back.Parse(s)) << U8(back.GetErrorText());
    EXPECT_EQ(Dump(back.GetRoot()), Dump(doc.GetRoot()));
}

TEST(XmlUtf8, ReadUtf8CharTable) {
    struct Case {
        const char* bytes;
        size_t n;
        char32_t cp;
        size_t used;
    } cases[] = {
        {"A", 1, U'A', 1},
        {"\xC3\xA9", 2, 0xE9, 2},
        {"\xD0\x96", 2, 0x416, 2},
        {"\xE2\x82\xAC", 3, 0x20AC, 3},
        {"\xF0\x9F\x98\x80", 4, 0x1F600, 4},
        {"\xED\xA0\xBD", 3, 0xD83D, 3},  // CESU-8 half of a pair
        {"\x80", 1, 0x80, 1},            // stray continuation byte
        {"\xE2\x82", 2, 0xE2, 1},        // cut short by the end: never read past it
        {"\xC3", 1, 0xC3, 1},
        {"\xE9t", 2, 0xE9, 1},             // Latin-1 byte mistaken for a lead
        {"\xC0\xAF", 2, 0xC0, 1},          // overlong
        {"\xF4\x90\x80\x80", 4, 0xF4, 1},  // past U+10FFFF
        {"", 0, 0, 0},
    };
    for (const Case& c : cases) {
        const char* p = c.bytes;
        EXPECT_EQ(ReadUtf8Char(p, c.bytes + c.n), c.cp) << testing::PrintToString(c.bytes);
        EXPECT_EQ(static_cast<size_t>(p - c.bytes), c.used) << testing::PrintToString(c.bytes);
    }
    WString w;
    AppendCodePoint(w, 0x1F600);
    EXPECT_EQ(w, u"\U0001F600");
}

}  // namespace

// The attributes keep their document order beside the map: handlers bound
// from them (case variants of one event among them) come in a fixed order.
TEST(XmlAttributes, DocumentOrderIsKept) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(u"<A onclick=\"1\" caption=\"x\" OnClick=\"2\" onclick=\"3\" z=\"4\"/>"));
    const CXmlNode* a = doc.GetRoot();
    std::vector<std::string> names;
    for (const WString* n : a->GetAttributeOrder()) names.push_back(text::ToUtf8(*n));
    EXPECT_EQ(names, (std::vector<std::string>{"onclick", "caption", "OnClick", "z"}));
    EXPECT_EQ(a->GetAttribute(u"onclick"), u"3") << "a repeated name keeps its place, last value";
    CXmlNode* root = doc.GetRoot();
    root->SetAttribute(u"caption", u"y");
    root->SetAttribute(u"added", u"5");
    names.clear();
    for (const WString* n : a->GetAttributeOrder()) names.push_back(text::ToUtf8(*n));
    EXPECT_EQ(names, (std::vector<std::string>{"onclick", "caption", "OnClick", "z", "added"}));
    EXPECT_EQ(a->GetAttributeOrder().size(), a->GetAttributes().size());
}
