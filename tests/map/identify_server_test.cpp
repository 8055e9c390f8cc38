// The identify window asks a map server over loopback HTTP: sub-layers from
// the last to the first, hidden '#' fields, and answers that are refused
// (no FEATURES, no or a non-numeric FEATURECOUNT, an HTML page, cut XML, a
// 404) skip their sub-layer without breaking the window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "map/layers/internet_layer.h"
#include "tests/map/identify_harness.h"
#include "tests/support/http_test_server.h"

namespace {

using zntest::HttpReply;
using zntest::HttpTestServer;

const char kFeatures[] = "/servlet/com.qova.qovamap.Qovamap?ServiceName=Roads&CustomService=Query";

std::string Canned(const std::string& name) {
    std::ifstream in(std::string(ZN_TEST_DATA "/map/identify/") + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class IdentifyServer : public viewtest::IdentifyHarness {
protected:
    void SetUp() override {
        IdentifyHarness::SetUp();
        server_.ServeRecorded(ZN_TEST_DATA "/map/server");
        Put("Data/roads.mvd",
            "<?xml version=\"1.0\"?><OMBRXL version=\"1.0.1\"><CONFIG><MAP><WORKSPACES><IMAGESERVERWORKSPACE "
            "name=\"Roads\" url=\"" +
                server_.Url("") + "\" service=\"Roads\" /></WORKSPACES></MAP></CONFIG></OMBRXL>");
        UseExtent(CDoubleRect(0, 0, 240, 640));
        OpenView();
        CLayer* layer = nullptr;
        ASSERT_TRUE(doc_.AddLayerFromPath(u"\\Data\\roads.mvd", &layer));
        layer_ = dynamic_cast<CInternetLayer*>(layer);
        ASSERT_NE(layer_, nullptr);
        layer_->SetIdentify(true);
        Pump();
    }
    // The first time a tap with the identify tool; then, as the window lies
    // over the map, the view's call for the tap.
    std::vector<std::string> TapAndRead() {
        if (IsIdentifyWindowVisible())
            GetIdentifyWindow()->IdentifyLayerAtPoint(layer_, 100, 300, view_->GetPenTolerance());
        else
            IdentifyTap(100, 300);
        Pump();
        std::vector<std::string> out;
        bool coordinates = false;
        for (const std::string& line : TreeLines()) {
            if (line == "Coordinates") coordinates = true;
            else if (line[0] != ' ') coordinates = false;
            if (!coordinates) out.push_back(line);
        }
        return out;
    }
    HttpTestServer server_;
    CInternetLayer* layer_ = nullptr;
};

TEST_F(IdentifyServer, EachFeatureSubLayerIsAskedFromTheLastToTheFirst) {
    const std::vector<std::string> expected = {
        "Parcels (1)", "  Feature 1 : Well 7", "    NAME=Well 7", "    DEPTH=42.5",
        "Roads (1)",   "  Feature 1 : Well 7", "    NAME=Well 7", "    DEPTH=42.5",
        "Wells (1)",   "  Feature 1 : Well 7", "    NAME=Well 7", "    DEPTH=42.5"};
    EXPECT_EQ(TapAndRead(), expected);
    // Fields without a name or a value are left out, and a feature of
    // hidden fields only shows no field.
    HttpReply partial;
    partial.contentType = "text/xml; charset=UTF-8";
    partial.body = Canned("partial_fields.xml");
    server_.SetReplyFor(kFeatures, partial);
    const auto lines = TapAndRead();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5),
              (std::vector<std::string>{"Parcels (2)", "  Feature 1 : Well 8", "    NAME=Well 8", "    DEPTH=12",
                                        "  Feature 2 : 9"}));
}

TEST_F(IdentifyServer, ARefusedAnswerSkipsItsSubLayer) {
    struct Case {
        const char* name;
        int status;
        const char* contentType;
        std::string body;
        int xmllint;  // its exit status on the file, -1 not a file
    };
    const Case cases[] = {
        {"no_features.xml", 200, "text/xml", Canned("no_features.xml"), 0},
        {"no_count.xml", 200, "text/xml", Canned("no_count.xml"), 0},
        {"bad_count.xml", 200, "text/xml", Canned("bad_count.xml"), 0},
        {"error_page.html", 200, "text/html", Canned("error_page.html"), 1},
        {"truncated.xml", 200, "text/xml", Canned("truncated.xml"), 1},
        {"404", 404, "text/html", "<html><body>Not Found</body></html>", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.xmllint >= 0) {
            const std::string command = std::string("xmllint --noout '" ZN_TEST_DATA "/map/identify/") + c.name +
                                        "' >/dev/null 2>&1";
            const int status = std::system(command.c_str());
            EXPECT_EQ(WEXITSTATUS(status), c.xmllint);
        }
        HttpReply reply;
        reply.status = c.status;
        reply.reason = c.status == 404 ? "Not Found" : "OK";
        reply.contentType = c.contentType;
        reply.body = c.body;
        server_.SetReplyFor(kFeatures, reply);
        EXPECT_TRUE(TapAndRead().empty());
        // The window lives on: the coordinates are there.
        EXPECT_NE(FindItem("Coordinates"), nullptr);
        EXPECT_TRUE(IsIdentifyWindowVisible());
    }
}

}  // namespace
