#include "core/config_xml_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/file_stream.h"
#include "tests/platform/fs_test_root.h"
#include "tests/support/run_command.h"

namespace {

class ConfigXmlTest : public DeviceRootTest {
protected:
    void TearDown() override {
        fs::test::Reset();
        DeviceRootTest::TearDown();
    }
    // The start tag written by a sequence of attribute writers.
    template <class F>
    std::string Attrs(F&& write) {
        CConfigXmlFile f;
        EXPECT_TRUE(f.Open(u"\\a.znx", false));
        f.BeginElement(0, u"E");
        write(f);
        f.EndStartTag(false);
        f.Close(false);
        std::string s = Get("a.znx");
        size_t at = s.find("<E");
        return s.substr(at + 2, s.size() - at - 6);  // between "<E" and "/>\r\n"
    }
};

// Runs the body under a comma-decimal locale, as Qt would set it.
class CommaLocale {
public:
    CommaLocale() {
        const char* old = setlocale(LC_ALL, nullptr);
        saved_ = old ? old : "C";
        ok_ = setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale() { setlocale(LC_ALL, saved_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string saved_;
    bool ok_;
};

std::string RunTool(const std::string& cmd) {
    int status = -1;
    std::string out = testsupport::RunCommand(cmd + " 2>&1", &status);
    if (status != 0) out += "<exit status non-zero>";
    return out;
}

TEST_F(ConfigXmlTest, GoldenBytesUnderCommaLocale) {
    CommaLocale locale;
    ASSERT_TRUE(locale.ok()) << "de_DE.UTF-8 missing: tools/setup generates it";

    CConfigXmlFile f;
    ASSERT_TRUE(f.Open(u"\\map.znx", true, u"MAP", u"Trail \"A\" & <B> \u00E9"));
    EXPECT_EQ(f.GetLevel(), 2);
    f.BeginElement(-1, u"LAYER");
    f.WriteStringAttribute(u"name", u"Roads", u"roads");
    f.WriteStringAttribute(u"file", u"a<b");
    f.WriteStringAttribute(u"same", u"x", u"x");
    f.WriteAttribute(u"expr", u"x &gt; 1");
    f.WriteBoolAttribute(u"visible", true, true);
    f.WriteBoolAttribute(u"selectable", false, true);
    f.WriteDoubleAttribute(u"minscale", 0.1, 0.0);
    f.WriteDoubleAttribute(u"maxscale", 0, 0.0);
    f.WriteIntAttribute(u"units", 9001, 0);
    f.WriteIntAttribute(u"zero", 0, 0);
    f.WriteColorAttribute(u"color", RGB(255, 0, 0), 0);
    f.WriteColorAttribute(u"pick", 0x02000000 | RGB(1, 2, 3), 0);  // chooser marker dropped
    f.WriteCharAttribute(u"parity", '"', 'N');
    f.WriteCharAttribute(u"stop", 'N', 'N');
    f.WriteCharAttribute(u"sep", '\xE9', 'N');
    f.EndStartTag(true);
    CDoubleRect empty;
    empty.SetEmpty();
    f.BeginElement(-1, u"EXTENT");
    f.WriteExtentAttributes(CDoubleRect(-1.5, 2, 1e-7, 123456789.123), &empty);
    f.EndStartTag(false);
    f.BeginElement(-1, u"EXTENT2");
    f.WriteExtentAttributes(empty, &empty);
    f.EndStartTag(false);
    f.StartElement(-1, u"SYMBOL", true, u"type=\"%d\" size=\"%.15g\"", 3, 2.5);
    f.WriteElementWithText(-1, u"NOTE", u"caf\u00E9");
    f.WriteElementWithText(-1, u"EMPTY", u"", u"a=\"%s\"", u"1");
    f.WriteRaw(-1, u"<RAW/>", true);
    f.EndElement(-1, u"SYMBOL");
    f.EndElement(-1, u"LAYER");
    f.Close(true);
    EXPECT_FALSE(f.IsOpen());

    std::ifstream in(std::string(ZN_TEST_DATA) + "/core/config_writer.znx", std::ios::binary);
    std::string golden((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(Get("map.znx"), golden);

    // Read back, still under the comma locale: 0.1 stays 0.1.
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(u"\\MAP.ZNX")) << text::ToUtf8(doc.GetErrorText());
    EXPECT_EQ(doc.GetFileName(), u"\\MAP.ZNX");
    const CXmlNode* map = doc.FindElement(u"MAP", true);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->GetAttribute(u"name"), u"Trail \"A\" & <B> \u00E9");
    const CXmlNode* layer = map->FindChild(u"LAYER");
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->GetAttributeDouble(u"minscale", 0), 0.1);
    EXPECT_EQ(layer->GetAttribute(u"name"), u"Roads");
    EXPECT_EQ(layer->GetAttributeChar(u"parity", 'N'), '"');
    EXPECT_EQ(layer->GetAttributeChar(u"sep", 'N'), '\xE9');
    EXPECT_EQ(layer->GetAttributeColor(u"pick", 0), RGB(1, 2, 3));
    CDoubleRect r;
    EXPECT_TRUE(ReadExtentAttributes(layer->FindChild(u"EXTENT"), r));
    EXPECT_EQ(r, CDoubleRect(-1.5, 2, 1e-7, 123456789.123));
}

TEST_F(ConfigXmlTest, OutputPassesIndependentCheckers) {
    CConfigXmlFile f;
    ASSERT_TRUE(f.Open(u"\\p.znx", true, u"PREFERENCES", u"\U0001F600 & \"q\""));
    f.BeginElement(-1, u"A");
    f.WriteStringAttribute(u"s", u"\u043D<\n>\U0001F600");
    f.WriteCharAttribute(u"c", '<');
    f.EndStartTag(false);
    f.Close(true);
    EXPECT_EQ(RunTool("xmllint --noout '" + Host("p.znx") + "'"), "");
    // Strict UTF-8 (no CESU-8 surrogates).
    EXPECT_EQ(RunTool("iconv -f UTF-8 -t UTF-8 '" + Host("p.znx") + "' >/dev/null"), "");
}

TEST_F(ConfigXmlTest, DefaultSkipTable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Attrs([](auto& f) { f.WriteBoolAttribute(u"visible", true, true); }), "");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteBoolAttribute(u"visible", true, false); }),
              " visible=\"true\"");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteBoolAttribute(u"visible", false); }),
              " visible=\"false\"");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteStringAttribute(u"n", u"a<b", u"x"); }), " n=\"a&lt;b\"");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteAttribute(u"n", u"a<b", u"x"); }), " n=\"a<b\"");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteAttribute(u"n", u"x", u"x"); }), "");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteStringAttribute(u"n", u""); }), " n=\"\"");
    EXPECT_EQ(Attrs([&](auto& f) { f.WriteDoubleAttribute(u"d", nan, nan); }), " d=\"nan\"");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteDoubleAttribute(u"d", -0.0, 0.0); }), "");
    EXPECT_EQ(
        Attrs([](auto& f) { f.WriteDoubleAttribute(u"d", -std::numeric_limits<double>::max()); }),
        " d=\"-1.79769313486232e+308\"");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteIntAttribute(u"i", -5, 0); }), " i=\"-5\"");
    EXPECT_EQ(
        Attrs([](auto& f) { f.WriteColorAttribute(u"c", RGB(0, 128, 255), RGB(0, 128, 255)); }),
        "");
    EXPECT_EQ(Attrs([](auto& f) { f.WriteCharAttribute(u"p", '&'); }), " p=\"&amp;\"");
    // Extents compare bit for bit: -0 differs from 0.
    CDoubleRect zero, negZero(-0.0, 0, 0, 0);
    EXPECT_EQ(Attrs([&](auto& f) { f.WriteExtentAttributes(zero, &zero); }), "");
    EXPECT_EQ(Attrs([&](auto& f) { f.WriteExtentAttributes(negZero, &zero); }),
              " minx=\"-0\" miny=\"0\" maxx=\"0\" maxy=\"0\"");
    EXPECT_EQ(Attrs([&](auto& f) { f.WriteExtentAttributes(zero); }),
              " minx=\"0\" miny=\"0\" maxx=\"0\" maxy=\"0\"");
}

TEST_F(ConfigXmlTest, LevelsAndLongText) {
    CConfigXmlFile f;
    ASSERT_TRUE(f.Open(u"\\l.znx", false));
    f.EndElement(-1, u"X");  // at level 0 it stays at 0
    EXPECT_EQ(f.GetLevel(), 0);
    f.StartElement(3, u"Y", true);
    EXPECT_EQ(f.GetLevel(), 4);
    f.StartElement(-1, u"Z", false, u"");
    EXPECT_EQ(f.GetLevel(), 4);
    f.StartElement(-1, nullptr, true);  // no name: nothing
    WString big(20000, u'w');
    f.StartElement(-1, u"BIG", false, u"text=\"%s\"", big.c_str());
    f.WriteIndent(1);
    f.WriteFormatted(u"%s", u"");
    f.NewLine();
    f.WriteRaw(-2, u"raw", false);
    f.Close(false);
    std::string want =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n</X>\r\n      <Y>\r\n"
        "        <Z/>\r\n        <BIG text=\"" +
        std::string(20000, 'w') + "\"/>\r\n  \r\nraw";
    EXPECT_EQ(Get("l.znx"), want);
    // Writing while closed does nothing.
    f.StartElement(0, u"A", true);
    f.Close(true);
    EXPECT_EQ(Get("l.znx"), want);
}

TEST_F(ConfigXmlTest, FailedSaveKeepsTheOldFile) {
    Put("prefs.znx", "old");
    {
        CConfigXmlFile f;
        ASSERT_TRUE(f.Open(u"\\prefs.znx", true, u"PREFERENCES"));
        f.StartElement(-1, u"GPS", false, u"port=\"%d\"", 1);
        fs::test::SetWriteBudget(10);
        EXPECT_THROW(f.Close(true), CFileException);
    }
    EXPECT_EQ(Get("prefs.znx"), "old");
    EXPECT_EQ(HostList(""), std::vector<std::string>{"prefs.znx"});
    fs::test::Reset();

    // An exception while writing: the writer is destroyed unsaved.
    try {
        CConfigXmlFile f;
        ASSERT_TRUE(f.Open(u"\\prefs.znx", true, u"PREFERENCES"));
        throw std::runtime_error("caller failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Get("prefs.znx"), "old");

    // Destroyed normally without Close: saved, without end tags.
    {
        CConfigXmlFile f;
        ASSERT_TRUE(f.Open(u"\\prefs.znx", true, u"PREFERENCES"));
    }
    EXPECT_EQ(Get("prefs.znx"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<Zarnip>\r\n  <PREFERENCES>\r\n");

    CConfigXmlFile g;
    EXPECT_FALSE(g.Open(u"\\no folder\\x.znx", true, u"X"));
    EXPECT_FALSE(g.IsOpen());
    fs::SetFileAttributes(u"\\prefs.znx", fs::kAttrReadOnly);
    EXPECT_FALSE(g.Open(u"\\prefs.znx", true, u"X"));
}

TEST_F(ConfigXmlTest, ReadingSide) {
    Put("c.znx", "\xEF\xBB\xBF<Zarnip debug=\"true\"><X minx=\"5\" maxy=\"7\"/></Zarnip>");
    CConfigXmlFile f;
    EXPECT_FALSE(f.IsDebug());
    ASSERT_TRUE(f.GetDocument().LoadFile(u"\\c.znx"));
    EXPECT_TRUE(f.IsDebug());
    CDoubleRect def(1, 2, 3, 4), r;
    EXPECT_TRUE(ReadExtentAttributes(f.GetDocument().FindElement(u"X", true), r, &def));
    EXPECT_EQ(r, CDoubleRect(5, 2, 3, 7));
    EXPECT_FALSE(ReadExtentAttributes(nullptr, r, &def));
    EXPECT_EQ(r, def);
    EXPECT_FALSE(f.GetDocument().LoadFile(u"\\none.znx"));
    EXPECT_EQ(f.GetDocument().GetErrorText(), u"");  // untouched by an open failure
    EXPECT_EQ(BoolText(true), WString(u"true"));
}

}  // namespace

namespace {

// The compact layout: exactly what the caller writes, nothing added; the
// declaration only when asked; the same escaping and numbers.
TEST_F(ConfigXmlTest, CompactLayoutAddsNothing) {
    for (bool declaration : {false, true}) {
        CConfigXmlFile f;
        ASSERT_TRUE(f.Open(u"\\c.znx", CConfigXmlFile::Layout::Compact, declaration));
        f.StartElement(0, u"Zarnip", true);
        f.WriteRaw(-2, u"\n  ", false);
        f.BeginElement(1, u"E");
        f.WriteStringAttribute(u"t", u"a\tb\nc\"\u00E9\U0001F600");
        f.WriteDoubleAttribute(u"d", 0.1);
        f.EndStartTag(false);
        f.WriteElementWithText(1, u"T", u"x");
        f.NewLine();
        f.EndElement(0, u"Zarnip");
        f.Close(false);
        EXPECT_EQ(Get("c.znx"), std::string(declaration ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" : "") +
                                    "<Zarnip>\n  <E t=\"a\tb&#xA;c&quot;\xC3\xA9\xF0\x9F\x98\x80\" "
                                    "d=\"0.1\"/><T>x</T></Zarnip>");
    }
    // The indented layout of the same writer is as it was.
    CConfigXmlFile f;
    ASSERT_TRUE(f.Open(u"\\i.znx", CConfigXmlFile::Layout::Indented, false));
    f.StartElement(0, u"Zarnip", true);
    f.EndElement(0, u"Zarnip");
    f.Close(false);
    EXPECT_EQ(Get("i.znx"), "<Zarnip>\r\n</Zarnip>\r\n");
}

}  // namespace
