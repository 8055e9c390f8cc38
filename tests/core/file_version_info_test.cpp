#include "core/file_version_info.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fs/fs.h"
#include "platform/res/resource.h"

namespace {

TEST(FileVersionInfo, ProgramVersionFromTheEmbeddedResources) {
    CFileVersionInfo v;
    EXPECT_EQ(v.GetProductVersionMS(), 458753u);
    EXPECT_EQ(v.GetProductVersionLS(), 131075u);
    EXPECT_EQ(v.GetProductVersion(), u"7.1.2.3");
    EXPECT_EQ(v.GetFileVersion(), u"7.1.2.3");
    EXPECT_EQ(v.GetProductMajor(), 7);
    EXPECT_EQ(v.GetProductBuild(), 2);
    EXPECT_EQ(v.GetFixedInfo().dwSignature, res::kFixedFileInfoSignature);
    EXPECT_FALSE(v.IsDebugBuild());
    EXPECT_FALSE(v.IsPrerelease());
    EXPECT_FALSE(v.GetFileName().empty());
}

TEST(FileVersionInfo, LibraryVersionFromTheResFileBesideIt) {
    namespace stdfs = std::filesystem;
    stdfs::path root = stdfs::temp_directory_path() / "zn_fvi_test";
    stdfs::remove_all(root);
    stdfs::create_directories(root / "Extensions");
    stdfs::copy_file(ZN_FVI_RES, root / "Extensions" / "Layers.res");
    fs::SetDeviceRoot(root.string());

    CFileVersionInfo lib(WString(u"\\Extensions\\Layers.so"));
    EXPECT_EQ(lib.GetProductVersion(), u"1.0.0.7");
    EXPECT_EQ(lib.GetFileName(), u"\\Extensions\\Layers.so");
    CFileVersionInfo direct(WString(u"\\extensions\\layers.RES"));
    EXPECT_EQ(direct.GetFileVersion(), u"1.0.0.7");
    // Nothing to read: every value stays 0.
    CFileVersionInfo missing(WString(u"\\Extensions\\Other.so"));
    EXPECT_EQ(missing.GetProductVersion(), u"0.0.0.0");
    EXPECT_FALSE(missing.Load(nullptr));

    fs::SetDeviceRoot("");
    stdfs::remove_all(root);
}

}  // namespace
