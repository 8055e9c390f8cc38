// A fresh temporary device root for each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/fs/fs.h"

class DeviceRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zn-fs-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        setenv("ZARNIP_ROOT", root_.c_str(), 1);
        unsetenv("ZARNIP_MOUNTS");
        fs::ResetConfiguration();
    }
    void TearDown() override {
        fs::ResetConfiguration();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        unsetenv("ZARNIP_ROOT");
        fs::ResetConfiguration();
    }

    // Host helpers, independent of the code under test.
    std::string Host(const std::string& rel) const { return root_ + "/" + rel; }
    void Put(const std::string& rel, const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(Host(rel)).parent_path());
        std::ofstream(Host(rel), std::ios::binary) << bytes;
    }
    std::string Get(const std::string& rel) const {
        std::ifstream in(Host(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool HostExists(const std::string& rel) const {
        struct stat st;
        return lstat(Host(rel).c_str(), &st) == 0;
    }
    std::vector<std::string> HostList(const std::string& rel) const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Host(rel)))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string root_;
};
