// The program's own small dialogs as the user sees them, drawn by the window
// model without a display and compared pixel for pixel with golden pictures
// (tests/platform/win_golden.h says how to rewrite them).
#include "core/color_picker.h"
#include "core/progress_wnd.h"
#include "core/small_dialogs.h"
#include "platform/win/input.h"
#include "resources/zres.h"
#include "tests/core/ui_test_util.h"
#include "tests/platform/win_golden.h"

namespace {

using DialogsGoldenTest = uitest::UiTest;

// Everything waiting is painted, then the window is compared.
void ExpectPicture(const std::string& name, HWND window) {
    win::input::DrainQueue();
    UpdateWindow(window);
    for (HWND child : GetChildren(window)) UpdateWindow(child);
    golden::Expect(name, window);
}

TEST_F(DialogsGoldenTest, ColorChooser) {
    win::PushModalHook([](HWND dlg) {
        ExpectPicture("core_color_chooser", dlg);
        SendMessage(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    ShowColorPicker(nullptr, RGB(30, 144, 255));
}

TEST_F(DialogsGoldenTest, PromptBox) {
    win::PushModalHook([](HWND dlg) {
        ExpectPicture("core_prompt_box", dlg);
        SendMessage(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    ShowPrompt(nullptr, u"Delete the selected feature?");
}

TEST_F(DialogsGoldenTest, ProgressWindow) {
    CProgressWnd p;
    ASSERT_TRUE(p.Create(nullptr, u"Packing shapefile"));
    p.SetRange(0, 100, 10);
    p.SetPos(40);
    p.SetStatusText(u"%s ...", u"\\Storage Card\\Maps\\roads.shp");
    ExpectPicture("core_progress_window", p.GetSafeHwnd());
}

}  // namespace
