// The clipboard on the null backend: kept in the process.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/win/clipboard.h"
#include "platform/win/window.h"

namespace {

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override { win::ResetForTests(); }
    void TearDown() override { win::ResetForTests(); }
};

HLOCAL Block(const char16_t* text, size_t units) {
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE, units * sizeof(char16_t));
    std::memcpy(LocalLock(h), text, units * sizeof(char16_t));
    LocalUnlock(h);
    return h;
}

TEST_F(Clipboard, TextRoundTripAndOwnership) {
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    // Opened once at a time, even by the same thread.
    EXPECT_FALSE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HLOCAL h = Block(u"Grüße 😀", 9);
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), h);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HLOCAL got = GetClipboardData(CF_UNICODETEXT);
    ASSERT_TRUE(got);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(LocalLock(got))), u"Grüße 😀");
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    CloseClipboard();

    // A block without its terminating zero is read to its end.
    ASSERT_TRUE(win::PutClipboardText(u"x"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, Block(u"abc", 3));
    CloseClipboard();
    EXPECT_EQ(win::ClipboardText(), u"abc");

    // Emptying drops the text.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(win::ClipboardText(), u"");
}

TEST_F(Clipboard, RefusedCallsLeaveTheBlockWithTheCaller) {
    HLOCAL h = Block(u"kept", 5);
    // Not opened: refused, and the caller still owns (and frees) the block.
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), nullptr);
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
    EXPECT_EQ(LocalFree(h), nullptr);
    // A freed or made-up block is refused too.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), nullptr);
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, nullptr), nullptr);
    CloseClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(LocalLock(h), nullptr);
    EXPECT_EQ(LocalFree(h), h);

    // Held open by another thread: this one can neither open nor write.
    std::thread other([] { OpenClipboard(nullptr); });
    other.join();
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_FALSE(win::PutClipboardText(u"no"));
}

TEST_F(Clipboard, OwnerIsTheWindowThatEmptiedIt) {
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = u"ClipOwner";
    RegisterClass(wc);
    HWND w = CreateWindowEx(0, u"ClipOwner", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(w));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(GetClipboardOwner(), w);
    DestroyWindow(w);
    EXPECT_EQ(GetClipboardOwner(), nullptr);
}

}  // namespace
