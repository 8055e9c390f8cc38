// Shared set-up of the dialog and control tests: a temporary device root with
// the program in \prog and its language libraries in \prog\Locales, and the
// process-wide state of the window model, GDI, resources and the language
// module reset around each test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/language_module.h"
#include "core/window_helpers.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/gdi/gdi.h"
#include "platform/res/locale.h"
#include "platform/res/resource.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"

namespace uitest {

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace stdfs = std::filesystem;
        root_ = stdfs::temp_directory_path() /
                ("zn_ui_" + std::to_string(::getpid()) + "_" + std::to_string(++counter_));
        stdfs::remove_all(root_);
        stdfs::create_directories(root_ / "prog" / "Locales");
        fs::SetDeviceRoot(root_.string());
        fs::test::SetProgramFileName(u"\\prog\\zarnip");
        win::ResetForTests();
        gdi::ResetForTests();
        ResetScreenDpiForTests();
        ResetLanguageModuleForTests();
        res::SetUserDefaultLCID(0x0409);
    }
    void TearDown() override {
        ResetLanguageModuleForTests();
        win::ClearModalHooks();
        win::ResetForTests();
        fs::test::SetProgramFileName(u"");
        fs::SetDeviceRoot("");
        std::filesystem::remove_all(root_);
    }
    // Puts a built library into \prog\Locales under the given file name.
    void InstallLibrary(const std::string& builtPath, const std::string& name) {
        std::filesystem::copy_file(builtPath, root_ / "prog" / "Locales" / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    // The Hebrew test library, loaded for locale 0x040D.
    void LoadHebrew() {
        InstallLibrary(ZN_LANG_HEB_RES, "HEB.res");
        ASSERT_TRUE(GetLanguageModule()->LoadForLocale(0x040D));
    }
    std::filesystem::path root_;
    static inline int counter_ = 0;
};

}  // namespace uitest
