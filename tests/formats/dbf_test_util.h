// Shared by the dBASE tests: a fresh temporary device root per test, host
// file helpers that do not go through the code under test, and a runner for
// the independent oracle tools (dbfdump, ogrinfo, dbfcreate, ...).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "formats/dbf/dbf_codepage.h"
#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/file_io.h"
#include "platform/fs/fs.h"

class DbfRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zn-dbf-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        setenv("ZARNIP_ROOT", root_.c_str(), 1);
        unsetenv("ZARNIP_MOUNTS");
        fs::ResetConfiguration();
        fs::test::Reset();
        fioResetForTests();
        DbfResetForTests();
        DbfResetDeviceCodePages();
    }
    void TearDown() override {
        fs::test::Reset();
        fioResetForTests();
        DbfResetForTests();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        unsetenv("ZARNIP_ROOT");
        fs::ResetConfiguration();
    }

    std::string Host(const std::string& rel) const { return root_ + "/" + rel; }
    void Put(const std::string& rel, const std::string& bytes) const {
        std::ofstream(Host(rel), std::ios::binary) << bytes;
    }
    std::string Get(const std::string& rel) const {
        std::ifstream in(Host(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Copies a file of tests/data or ../shared/fixtures into the root.
    void CopyIn(const std::string& from, const std::string& rel) const {
        std::filesystem::copy_file(from, Host(rel),
                                   std::filesystem::copy_options::overwrite_existing);
    }

    std::string root_;
};

// True when the tool is on PATH.
inline bool HaveTool(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return system(cmd.c_str()) == 0;
}

// Runs a shell command and returns its standard output; *status gets the exit code.
inline std::string RunTool(const std::string& cmd, int* status = nullptr) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = pclose(p);
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

#define REQUIRE_TOOL(name) \
    if (!HaveTool(name)) GTEST_SKIP() << name << " not installed"

inline std::string Fixture(const std::string& name) {
    return std::string(ZN_SOURCE_DIR) + "/../shared/fixtures/shapefiles/" + name;
}
