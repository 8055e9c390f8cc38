// The Map Information dialog on a map document: the title it shows and what
// OK and Cancel leave in the document.
#include "map/dialogs/map_info_dlg.h"

#include "map/layers/map_doc.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "resources/zres.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/win_golden.h"

namespace {

class MapInfoDialog : public MapTest {
protected:
    void TearDown() override {
        win::ClearModalHooks();
        MapTest::TearDown();
    }
    // Shows the dialog, checks the text it starts with, types `typed` and
    // ends with OK (or Cancel); the dialog's answer.
    bool Run(CMapDoc& doc, const WString& shown, const WString& typed, bool ok) {
        win::PushModalHook([&](HWND dlg) {
            EXPECT_EQ(GetDlgItemTextString(dlg, IDC_MAP_INFO_TITLE), shown);
            SetDlgItemText(dlg, IDC_MAP_INFO_TITLE, typed.c_str());
            if (ok)
                win::PressCaptionOk(dlg);
            else
                win::PressCaptionClose(dlg);
        });
        return RunMapInfoDialog(nullptr, &doc);
    }
};

TEST_F(MapInfoDialog, AMapWithoutTitleShowsItsCaptionNameAndOkStoresIt) {
    CMapDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetMapTitle(u"");
    doc.SetTitle(u"roads");
    doc.SetModifiedFlag(false);
    ASSERT_TRUE(Run(doc, u"roads", u"roads", true));
    EXPECT_EQ(doc.GetMapTitle(), u"roads");
    EXPECT_TRUE(doc.IsModified());

    // A new title goes to the map and to the document's own title.
    ASSERT_TRUE(Run(doc, u"roads", u"Survey 2026", true));
    EXPECT_EQ(doc.GetMapTitle(), u"Survey 2026");
    EXPECT_EQ(doc.GetTitle(), u"Survey 2026");

    // An empty text clears the title.
    ASSERT_TRUE(Run(doc, u"Survey 2026", u"", true));
    EXPECT_EQ(doc.GetMapTitle(), u"");
}

TEST_F(MapInfoDialog, CancelChangesNothing) {
    CMapDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetMapTitle(u"Camp");
    doc.SetTitle(u"camp.znm");
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(Run(doc, u"Camp", u"Other", false));
    EXPECT_EQ(doc.GetMapTitle(), u"Camp");
    EXPECT_EQ(doc.GetTitle(), u"camp.znm");
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(MapInfoDialog, Picture) {
    CMapDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetMapTitle(u"Field Survey");
    win::PushModalHook([](HWND dlg) {
        win::input::DrainQueue();
        UpdateWindow(dlg);
        for (HWND child : GetChildren(dlg)) UpdateWindow(child);
        golden::Expect("map_info_dialog", dlg);
        win::PressCaptionClose(dlg);
    });
    RunMapInfoDialog(nullptr, &doc);
}

}  // namespace
