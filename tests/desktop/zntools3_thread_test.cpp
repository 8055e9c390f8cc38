// Two threads using their own documents and tables at the same time.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/desktop/zntools3_test_util.h"
#include "zarnip/zntools3.h"

namespace {

TEST(ZnTools3Threads, SeparateHandlesOnTwoThreads) {
    zn3test::TempDir dir;
    const std::string a = dir.Write("a.xml", "<r><n>a</n></r>");
    const std::string b = dir.Write("b.xml", "<r><n>b</n></r>");
    int failures[2] = {0, 0};
    auto work = [&](const std::string& path, const char* expect, int* failed) {
        for (int i = 0; i < 200; ++i) {
            znXmlNode* doc = xmlLoad(path.c_str());
            znXmlNode* n = xmlGetNode(doc, "r/n");
            xmlSetAttribute(n, "i", std::to_string(i).c_str());
            if (zn3test::Text(xmlGetNodeText, n) != expect) ++*failed;
            if (zn3test::Text(xmlGetAttribute, n, "i") != std::to_string(i)) ++*failed;
            xmlRelease(n);
            xmlRelease(doc);
            znTable* t = dbOpen(ZN_TEST_DATA "/dbf/blockgroups.dbf");
            if (dbIsValidRecord(t, i) != 1) ++*failed;
            dbClose(t);
        }
    };
    std::thread t1(work, a, "a", &failures[0]);
    std::thread t2(work, b, "b", &failures[1]);
    t1.join();
    t2.join();
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);
}

}  // namespace
