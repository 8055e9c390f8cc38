// Qt's offscreen display for the map view tests that look at what the
// desktop shows: started once for the test program, before any test runs.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "platform/qt/display.h"

namespace viewtest {

class OffscreenDisplay : public ::testing::Environment {
public:
    // The display while the tests run; null before and after.
    static znqt::Display*& Current() {
        static znqt::Display* display = nullptr;
        return display;
    }
    void SetUp() override {
        static int argc = 1;
        static char name[] = "map_view_qt_test";
        static char* argv[] = {name, nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        std::string error;
        display_ = znqt::Display::Start(argc, argv, &error);
        ASSERT_TRUE(display_) << error;
        Current() = display_.get();
    }
    void TearDown() override {
        Current() = nullptr;
        display_.reset();
    }

private:
    std::unique_ptr<znqt::Display> display_;
};

}  // namespace viewtest
