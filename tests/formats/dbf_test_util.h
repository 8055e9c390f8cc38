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
#include "tests/platform/fs_test_root.h"
#include "tests/support/run_command.h"

// A fresh device root (see tests/platform) with the dBASE engine's and the
// file layer's process-wide state reset around each test.
class DbfRootTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fs::test::Reset();
        fioResetForTests();
        DbfResetForTests();
        DbfResetDeviceCodePages();
    }
    void TearDown() override {
        fs::test::Reset();
        fioResetForTests();
        DbfResetForTests();
        DeviceRootTest::TearDown();
    }

    // Copies a sample file (tests/data) into the root.
    void CopyIn(const std::string& from, const std::string& rel) const {
        std::filesystem::copy_file(from, Host(rel),
                                   std::filesystem::copy_options::overwrite_existing);
    }
};

// True when the tool is on PATH.
inline bool HaveTool(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return system(cmd.c_str()) == 0;
}

// Runs a shell command and returns its standard output; *status gets the exit code.
inline std::string RunTool(const std::string& cmd, int* status = nullptr) {
    return testsupport::RunCommand(cmd, status);
}

#define REQUIRE_TOOL(name) \
    if (!HaveTool(name)) GTEST_FAIL() << name << " not installed: run tools/setup"
