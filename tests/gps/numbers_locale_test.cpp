// Numbers read and written the same under a comma-decimal locale: the
// program's display sets the process locale from the environment, so each
// case runs once under "C" and once after setlocale(LC_ALL, "") with
// LC_ALL=de_DE.UTF-8, and both runs must give the same values and bytes.
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "gps/gps_position.h"
#include "gps/nmea_parser.h"
#include "gps/tsip_parser.h"
#include "map/layers/map_doc.h"
#include "platform/com/com.h"
#include "platform/scripting/script_engine.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/com_test_model.h"
#include "tests/platform/script_test_site.h"

namespace {

// Runs `body` under "C" and then under the German locale (as the display
// sets it), and returns both results.
template <typename T>
std::pair<T, T> InBothLocales(const std::function<T()>& body) {
    setlocale(LC_ALL, "C");
    T plain = body();
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const char* chosen = setlocale(LC_ALL, "");
    unsetenv("LC_ALL");
    EXPECT_NE(chosen, nullptr) << "the de_DE.UTF-8 locale is not installed";
    EXPECT_EQ(*localeconv()->decimal_point, ',');
    T german = body();
    setlocale(LC_ALL, "C");
    return {plain, german};
}

std::string WithChecksum(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

TEST(NumbersInAnyLocale, NmeaSentences) {
    struct Row {
        std::string sentence;
        double latitude, longitude, height, hdop;
    } rows[] = {
        // Heights above the ellipsoid: the altitude plus the geoid's separation.
        {WithChecksum("GPGGA,093802,5213.1439,N,02100.6511,E,1,08,0.90,173.40,M,36.2,M,,"),
         52.219065, 21.010852, 209.60, 0.90},
        {WithChecksum("GPGGA,125106,3854.5087,S,07726.4523,W,2,10,1.25,-12.5,M,-33.9,M,,"),
         -38.908478, -77.440872, -46.4, 1.25},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.sentence);
        auto [c, de] = InBothLocales<std::array<double, 4>>([&] {
            CNmeaParser parser;
            GpsPosition p;
            ResetGpsPosition(&p);
            EXPECT_TRUE(parser.ParseSentence(r.sentence.c_str(), &p));
            return std::array<double, 4>{p.latitude, p.longitude, p.height, p.hdop};
        });
        EXPECT_EQ(c, de);
        EXPECT_NEAR(de[0], r.latitude, 1e-6);
        EXPECT_NEAR(de[1], r.longitude, 1e-6);
        EXPECT_NEAR(de[2], r.height, 1e-6);
        EXPECT_NEAR(de[3], r.hdop, 1e-9);
    }
}

TEST(NumbersInAnyLocale, TsipPackets) {
    // 0x4A: latitude, longitude (radians), height, clock bias, time of fix.
    auto be = [](float f, std::vector<uint8_t>& out) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
    };
    std::vector<uint8_t> packet;
    for (float f : {0.9113926f, 0.3667027f, 173.4f, 0.0f, 3600.0f}) be(f, packet);
    auto [c, de] = InBothLocales<std::array<double, 3>>([&] {
        CTsipParser parser;
        GpsPosition p;
        ResetGpsPosition(&p);
        EXPECT_TRUE(parser.Decode(0x4A, packet.data(), static_cast<int>(packet.size()), &p));
        return std::array<double, 3>{p.latitude, p.longitude, p.height};
    });
    EXPECT_EQ(c, de);
    EXPECT_NEAR(de[2], 173.4, 1e-4);
}

// The numbers of a map document (extent, scales) are written and read
// back with a decimal point.
class MapDocumentNumbers : public MapTest {};

TEST_F(MapDocumentNumbers, RoundTrip) {
    MakePointShapefile("maps", "roads", {"1.25 2.5", "3.75 4.125"});
    Put("maps/roads.prj", text::ToUtf8(CMapDoc::kDefaultWkt));
    using Result = std::pair<std::string, std::array<double, 6>>;
    auto [c, de] = InBothLocales<Result>([&] {
        CMapDoc doc;
        EXPECT_TRUE(doc.OnNewDocument());
        EXPECT_TRUE(doc.AddLayerFromPath(u"\\maps\\roads.shp", nullptr));
        doc.SetMapExtent(CDoubleRect(1.25, -2.5, 3.75, 4.125));
        CLayer* layer = doc.GetLayers().GetAt(0);
        layer->SetMinScale(2500.5);
        layer->SetMaxScale(100000.25);
        EXPECT_TRUE(doc.WriteMapFile(u"\\maps\\m.znm"));
        CMapDoc again;
        EXPECT_TRUE(again.OnOpenDocument(u"\\maps\\m.znm"));
        const CDoubleRect& e = again.GetMapExtent();
        CLayer* back = again.GetLayers().GetCount() ? again.GetLayers().GetAt(0) : nullptr;
        return Result{Get("maps/m.znm"),
                      {e.xmin, e.ymin, e.xmax, e.ymax, back ? back->GetMinScale() : 0.0,
                       back ? back->GetMaxScale() : 0.0}};
    });
    EXPECT_EQ(c, de);
    EXPECT_NE(de.first.find("minx=\"1.25\""), std::string::npos) << de.first;
    EXPECT_NE(de.first.find("minscale=\"1:2500.5\""), std::string::npos) << de.first;
    EXPECT_EQ(de.second, (std::array<double, 6>{1.25, -2.5, 3.75, 4.125, 2500.5, 100000.25}));
}

// The script engines read numbers in their source with a decimal point.
TEST(NumbersInAnyLocale, JScriptNumbers) {
    const WString scripts[] = {
        u"parseFloat('2.5') * 2 + 0.25",
        u"/*@cc_on @set @v = 1.5 @*/ @v * 2",
        u"new Date(Date.parse('3/7/2001 10:30:15 UTC')).getUTCSeconds() + 0.5",
        u"String(1234.5)",
    };
    for (const WString& code : scripts) {
        SCOPED_TRACE(text::ToUtf8(code));
        using Result = std::pair<VARTYPE, std::array<double, 1>>;
        auto [c, de] = InBothLocales<std::pair<Result, std::string>>([&] {
            scripttest::Harness js(u"JScript");
            VARIANT v;
            VariantInit(&v);
            const HRESULT hr = js.Eval(code, &v);
            // The value itself, not a conversion to text (that one follows
            // the user's locale on purpose).
            Result value{hr == S_OK ? v.vt : VARTYPE(VT_ERROR), {0.0}};
            std::string text;
            if (v.vt == VT_R8) value.second[0] = v.dblVal;
            if (v.vt == VT_I4) value.second[0] = v.lVal;
            if (v.vt == VT_BSTR) text = text::ToUtf8(BstrView(v.bstrVal));
            VariantClear(&v);
            return std::pair<Result, std::string>{value, text};
        });
        EXPECT_EQ(c, de);
        EXPECT_NE(c.first.first, VT_ERROR);
    }
}

// A date from the host comes into script as one Date object per value,
// whichever locale was set when each read happened.
TEST(NumbersInAnyLocale, JScriptHostDates) {
    scripttest::Harness js(u"JScript");
    using testmodel::Application;
    ComPtr<Application> app(new Application);
    js.AddItem(u"Application", app.Get(), &Application::Class(),
               SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
    app->when_ = 45351.75;
    ASSERT_EQ(js.SetState(SCRIPTSTATE_STARTED), S_OK);
    ASSERT_EQ(js.Run(u"var first = When;"), S_OK);
    auto [c, de] = InBothLocales<std::pair<bool, double>>([&] {
        ComVariant same, ms;
        EXPECT_EQ(js.Eval(u"When === first", same.Receive()), S_OK);
        EXPECT_EQ(js.Eval(u"When.getMinutes() + When.getHours() * 60", ms.Receive()), S_OK);
        return std::pair<bool, double>{same.vt == VT_BOOL && same.boolVal == VARIANT_TRUE,
                                       ms.vt == VT_I4 ? ms.lVal : ms.vt == VT_R8 ? ms.dblVal : -1};
    });
    EXPECT_EQ(c, de);
    EXPECT_TRUE(de.first);
    EXPECT_EQ(de.second, 18 * 60);
}

}  // namespace
