// Shared set-up of the symbology tests: a fresh device root, the screen
// pinned at 96 dpi, the program-wide pen and marker font reset, and helpers
// that write XML through the program's writer and check it with xmllint.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "core/config_xml_file.h"
#include "core/window_helpers.h"
#include "map/services/preferences.h"
#include "map/symbology/font_attributes.h"
#include "map/symbology/symbol.h"
#include "map/symbology/text_symbol.h"
#include "platform/win/window.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/fs_test_root.h"
#include "tests/platform/gdi_picture.h"
#include "tests/support/run_command.h"

class SymbologyTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        ResetFontMetricsForTests();
        ResetScreenDpiForTests();
        ResetPreferencesForTests();
        win::ResetForTests();
        CSymbol::ResetCaches();
        // Stock objects, the preferences' symbols and the screen are made on
        // first use.
        GetStockObject(WHITE_BRUSH);
        GetPreferences();
        PointsToFontHeight(10);  // reads the screen once
        liveAtStart_ = gdi::LiveObjectCount();
    }
    void TearDown() override {
        CSymbol::ResetCaches();
        ResetPreferencesForTests();
        win::ResetForTests();
        DeviceRootTest::TearDown();
    }

    // Everything the writer is given, under the root element, as UTF-8 text
    // with the declaration line; xmllint must accept the file.
    std::string Write(const std::function<void(CConfigXmlFile&)>& body) {
        {
            CConfigXmlFile out;
            EXPECT_TRUE(out.Open(u"\\out.znx", true, u"LAYER"));
            body(out);
            out.Close(true);
        }
        std::string cmd = "xmllint --noout '" + Host("out.znx") + "' 2>&1";
        int rc = -1;
        const std::string lint = testsupport::RunCommand(cmd, &rc);
        EXPECT_EQ(rc, 0) << lint;
        return Get("out.znx");
    }
    // Just the lines between the LAYER tags, without indent.
    std::string WriteBody(const std::function<void(CConfigXmlFile&)>& body) {
        std::string all = Write(body), out;
        size_t start = all.find("<LAYER>");
        size_t end = all.find("</LAYER>");
        if (start == std::string::npos || end == std::string::npos) return all;
        std::string inner = all.substr(start + 9, end - start - 9);
        size_t pos = 0;
        while (pos < inner.size()) {
            size_t nl = inner.find('\n', pos);
            std::string line = inner.substr(pos, nl == std::string::npos ? nl : nl - pos);
            size_t first = line.find_first_not_of(' ');
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (first != std::string::npos) out += line.substr(first) + "\n";
            if (nl == std::string::npos) break;
            pos = nl + 1;
        }
        return out;
    }

    // A parsed fragment; the document keeps the tree alive.
    std::unique_ptr<CXmlDocument> Parse(const std::string& xml) {
        auto doc = std::make_unique<CXmlDocument>();
        EXPECT_TRUE(doc->Parse(text::FromUtf8(xml))) << xml;
        return doc;
    }

    int liveAtStart_ = 0;
};

// A bottom-up 24-bit bitmap file; `rows` top first, colours 0xRRGGBB.
inline std::string BitmapFile(int w, int h, const std::vector<uint32_t>& rows) {
    int stride = (w * 3 + 3) & ~3;
    std::string f(54 + stride * h, '\0');
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, static_cast<uint32_t>(f.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    f[26] = 1;
    f[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t c = rows[y * w + x];
            int at = 54 + (h - 1 - y) * stride + x * 3;
            f[at] = static_cast<char>(c & 0xFF);
            f[at + 1] = static_cast<char>((c >> 8) & 0xFF);
            f[at + 2] = static_cast<char>((c >> 16) & 0xFF);
        }
    return f;
}
