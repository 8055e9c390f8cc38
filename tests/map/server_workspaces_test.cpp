// Server workspaces files: writing, reading back, the stored URL.
#include "map/server/server_workspaces.h"

#include <cstdio>

#include "tests/map/map_doubles.h"
#include "tests/support/run_command.h"

namespace {

class ServerWorkspaces : public MapTest {
protected:
    std::string Xpath(const std::string& file, const std::string& expr) {
        std::string out = testsupport::RunCommand("xmllint --xpath '" + expr + "' '" + Host(file) +
                                                  "' 2>/dev/null");
        if (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }
};

TEST_F(ServerWorkspaces, SaveAndLoadRoundTrip) {
    CServerWorkspaces file;
    ASSERT_NE(file.AddImageServerWorkspace(u"Roads & \"Rails\" \u00e9", u"http://maps.example:8080/q?a=1&b=2",
                                           u"Roads"),
              nullptr);
    ASSERT_TRUE(file.Save(u"\\Docs\\roads.mvd"));
    EXPECT_EQ(Xpath("Docs/roads.mvd", "string(/OMBRXL/@version)"), "1.0.1");
    EXPECT_EQ(Xpath("Docs/roads.mvd", "count(/OMBRXL/CONFIG/MAP/WORKSPACES/IMAGESERVERWORKSPACE)"), "1");
    EXPECT_EQ(Xpath("Docs/roads.mvd", "string(//IMAGESERVERWORKSPACE/@name)"), "Roads & \"Rails\" \xC3\xA9");
    EXPECT_EQ(Xpath("Docs/roads.mvd", "string(//IMAGESERVERWORKSPACE/@url)"), "http://maps.example:8080/q?a=1&b=2");
    EXPECT_EQ(Xpath("Docs/roads.mvd", "string(//IMAGESERVERWORKSPACE/@service)"), "Roads");

    CServerWorkspaces back;
    ASSERT_TRUE(back.Load(u"\\DOCS\\ROADS.MVD"));
    WString name, url, service;
    ASSERT_TRUE(back.FindImageServerWorkspace(name, url, service));
    EXPECT_EQ(name, u"Roads & \"Rails\" \u00e9");
    EXPECT_EQ(url, u"http://maps.example:8080/q?a=1&b=2");
    EXPECT_EQ(service, u"Roads");
}

TEST_F(ServerWorkspaces, StoredUrl) {
    const struct {
        const WChar* typed;
        const WChar* stored;
    } rows[] = {
        {u"http://h", u"http://h/servlet/com.qova.qovamap.Qovamap"},
        {u"http://h/", u"http://h/servlet/com.qova.qovamap.Qovamap"},
        {u"http://h:8080", u"http://h:8080/servlet/com.qova.qovamap.Qovamap"},
        {u"https://h", u"https://h/servlet/com.qova.qovamap.Qovamap"},
        {u"http://h/servlet/com.qova.qovamap.Qovamap", u"http://h/servlet/com.qova.qovamap.Qovamap"},
        {u"http://h/maps/x", u"http://h/maps/x"},
        {u"ftp://h", nullptr},
        {u"h", nullptr},
        {u"http://h:99999", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.typed));
        CServerWorkspaces file;
        CXmlNode* workspace = file.AddImageServerWorkspace(u"n", row.typed, u"s");
        if (!row.stored) {
            EXPECT_EQ(workspace, nullptr);
            continue;
        }
        ASSERT_NE(workspace, nullptr);
        EXPECT_EQ(workspace->GetAttribute(u"url"), row.stored);
    }
}

TEST_F(ServerWorkspaces, ReadingTakesTheFirstWorkspace) {
    const struct {
        const char* text;
        bool loads;
        const char* service;  // of the workspace found, null for none
    } rows[] = {
        {"<OMBRXL><CONFIG><MAP/></CONFIG></OMBRXL>", false, nullptr},
        {"<OMBRXL><CONFIG><MAP><WORKSPACES/></MAP></CONFIG></OMBRXL>", false, nullptr},
        {"<OMBRXL><WORKSPACES><IMAGESERVERWORKSPACE name=\"a\" url=\"http://h/x\" service=\"first\"/>"
         "<IMAGESERVERWORKSPACE name=\"b\" url=\"http://h/y\" service=\"second\"/></WORKSPACES></OMBRXL>",
         true, "first"},
        {"<OMBRXL><X><Y><WORKSPACES><OTHER/></WORKSPACES></Y></X>"
         "<IMAGESERVERWORKSPACE name=\"a\" url=\"u\" service=\"deep\"/></OMBRXL>",
         true, "deep"},
        {"<OMBRXL><WORKSPACES>", false, nullptr},
        {"", false, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        Put("Docs/x.mvd", row.text);
        CServerWorkspaces file;
        EXPECT_EQ(file.Load(u"\\Docs\\x.mvd"), row.loads);
        WString name, url, service;
        EXPECT_EQ(file.FindImageServerWorkspace(name, url, service), row.service != nullptr);
        if (row.service) EXPECT_EQ(text::ToUtf8(service), row.service);
    }
    CServerWorkspaces missing;
    EXPECT_FALSE(missing.Load(u"\\Docs\\none.mvd"));
    EXPECT_FALSE(missing.Save(u"\\Docs\\none.mvd"));
}

}  // namespace
