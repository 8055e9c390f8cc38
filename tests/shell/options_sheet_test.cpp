// The Options command on the null backend, with stand-in pages that change
// options the way the real pages do: as the user leaves them.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/fs/fs.h"
#include "platform/win/commctrl.h"
#include "platform/win/msgbox.h"
#include "platform/win/dialog.h"
#include "platform/win/framework_sheet.h"
#include "platform/win/propsheet.h"
#include "shell/options/options_sheet.h"
#include "tests/shell/shell_doubles.h"

namespace {

const char kPrefs[] = "Docs/ZarnipPrefs.znx";

class StandInPage : public win::PropertyPage {
public:
    explicit StandInPage(const WString& title) : win::PropertyPage(Template(title)) {}
    std::function<void()> onLeave;

    bool OnKillActive() override {
        if (onLeave) onLeave();
        return PropertyPage::OnKillActive();
    }

private:
    static std::vector<uint8_t> Template(const WString& title) {
        DialogTemplate t;
        t.style = WS_CHILD | WS_CAPTION;
        t.cx = 140;
        t.cy = 100;
        t.title = title;
        return SerializeDialogTemplate(t);
    }
};

class OptionsSheet : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        InitCommonControls();
        win::ClearModalHooks();
        for (int i = 0; i < COptionsSheet::kPageCount; ++i)
            pages_.push_back(std::make_unique<StandInPage>(u"Page " + text::Format(u"%d", i)));
    }
    void TearDown() override {
        win::ClearModalHooks();
        ShellTest::TearDown();
    }
    void GivePages(COptionsSheet& sheet) {
        for (int i = 0; i < COptionsSheet::kPageCount; ++i)
            sheet.SetOptionPage(static_cast<COptionsSheet::Page>(i), pages_[i].get());
    }

    std::vector<std::unique_ptr<StandInPage>> pages_;
};

TEST_F(OptionsSheet, CancelPutsBackWhatThePagesChangedButTheAlertSounds) {
    {
        COptionsSheet first;
        first.Data().display.units = 1;
        ASSERT_TRUE(first.WritePreferences());
    }
    const std::string before = Get(kPrefs);
    COptionsSheet sheet;
    GivePages(sheet);
    const COLORREF gridColour = sheet.Data().mapgrid.line.m_pen.lopnColor;
    pages_[0]->onLeave = [&] {
        PreferencesData& d = sheet.Data();
        d.display.units = 2;
        d.gps.protocol = u"TSIP";
        d.paths.data = u"\\Elsewhere";
        d.mapgrid.line.m_pen.lopnColor = RGB(1, 2, 3);
        d.fonts.systemDialogFont = false;
        d.location.latitude = 45;
        GetGpsPortSettings().baud = 9600;
        GetAuxPortSettings().port = 7;
        AlertSettings& alert = GetAlertSettings()[1];
        alert.show = false;
        alert.play = false;
        alert.sound = u"\\Windows\\beep.wav";
    };
    win::PushModalHook([&](HWND) {
        sheet.SetActivePage(1);
        sheet.PressButton(PSBTN_CANCEL);
    });
    EXPECT_FALSE(sheet.Run());
    const PreferencesData& d = sheet.Data();
    EXPECT_EQ(d.display.units, 1);
    EXPECT_EQ(d.gps.protocol, u"NMEA");
    EXPECT_EQ(d.paths.data, u"\\Docs");
    EXPECT_EQ(d.mapgrid.line.m_pen.lopnColor, gridColour);
    EXPECT_TRUE(d.fonts.systemDialogFont);
    EXPECT_EQ(d.location.latitude, 0);
    EXPECT_EQ(GetGpsPortSettings().baud, 4800u);
    EXPECT_EQ(GetAuxPortSettings().port, 1u);
    EXPECT_TRUE(GetAlertSettings()[1].show);
    EXPECT_FALSE(GetAlertSettings()[1].play);
    EXPECT_EQ(GetAlertSettings()[1].sound, u"\\Windows\\beep.wav");
    EXPECT_EQ(Get(kPrefs), before);
}

TEST_F(OptionsSheet, OkWritesThenReloadsTheDatums) {
    COptionsSheet sheet;
    GivePages(sheet);
    std::vector<std::string> journal;
    gps_.journal = &journal;
    gps_.onSetDatum = [&] {
        journal.push_back(Get(kPrefs).find("datum=\"NAD27\"") != std::string::npos ? "file has NAD27"
                                                                                   : "file without NAD27");
    };
    pages_[0]->onLeave = [&] { sheet.Data().gps.datum = u"NAD27"; };
    win::PushModalHook([&](HWND) { sheet.PressButton(PSBTN_OK); });
    EXPECT_TRUE(sheet.Run());
    EXPECT_EQ(journal, (std::vector<std::string>{"SetDatum WGS84", "file without NAD27", "SetDatum NAD27",
                                                 "file has NAD27"}));
    EXPECT_EQ(XPath(kPrefs, "string(//GPS/@datum)"), "NAD27");

    // OK on a full card: the old file stays and Run says it failed.
    const std::string before = Get(kPrefs);
    gps_.onSetDatum = nullptr;
    pages_[0]->onLeave = [&] { sheet.Data().display.units = 2; };
    win::PushModalHook([&](HWND) {
        fs::test::SetWriteBudget(0);
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_FALSE(sheet.Run());
    fs::test::Reset();
    EXPECT_EQ(Get(kPrefs), before);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
}

TEST_F(OptionsSheet, PagesTabImagesAndTheExtensionsPage) {
    COptionsSheet sheet;
    GivePages(sheet);
    bool loaded = false;
    sheet.m_extensionsLoaded = [&] { return loaded; };
    std::vector<int> counts;
    std::vector<int> images;
    win::PushModalHook([&](HWND) {
        counts.push_back(sheet.GetPageCount());
        HWND tab = sheet.GetTabControl();
        EXPECT_NE(SendMessage(tab, TCM_GETIMAGELIST, 0, 0), 0);
        images.clear();
        for (int i = 0; i < sheet.GetPageCount(); ++i) {
            TCITEM item;
            item.mask = TCIF_IMAGE;
            SendMessage(tab, TCM_GETITEM, WPARAM(i), reinterpret_cast<LPARAM>(&item));
            images.push_back(item.iImage);
        }
        EXPECT_EQ(sheet.GetActiveIndex(), 0);
        EXPECT_TRUE(sheet.m_psh.dwFlags & PSH_NOAPPLYNOW);
        EXPECT_FALSE(sheet.m_psh.dwFlags & PSH_HASHELP);
        sheet.PressButton(PSBTN_CANCEL);
    });
    EXPECT_FALSE(sheet.Run());
    EXPECT_EQ(images, (std::vector<int>{16, 21, 16, 16, 17, 16, 20, 23, 19, 18, 13, 21}));
    loaded = true;
    for (int run = 0; run < 2; ++run) {
        win::PushModalHook([&](HWND) {
            counts.push_back(sheet.GetPageCount());
            EXPECT_EQ(sheet.GetPage(sheet.GetPageCount() - 1), pages_[COptionsSheet::kExtensions].get());
            sheet.PressButton(PSBTN_CANCEL);
        });
        EXPECT_FALSE(sheet.Run());
    }
    EXPECT_EQ(counts, (std::vector<int>{12, 13, 13}));
}

}  // namespace
