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
#include "map/symbology/font_attributes.h"
#include "map/symbology/symbol.h"
#include "map/symbology/text_symbol.h"
#include "tests/platform/fs_test_root.h"

class SymbologyTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        ResetFontMetricsForTests();
        SetPreferencesLabelFont(nullptr);
        CSymbol::ResetCaches();
        liveAtStart_ = gdi::LiveObjectCount();
    }
    void TearDown() override {
        SetPreferencesLabelFont(nullptr);
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
        FILE* p = popen(cmd.c_str(), "r");
        std::string lint;
        char buf[256];
        while (p && fgets(buf, sizeof buf, p)) lint += buf;
        int rc = p ? pclose(p) : -1;
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
