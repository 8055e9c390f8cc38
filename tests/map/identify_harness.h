// The identify window over the map view harness: the program's seam
// installed, the one window released after each test, and the tree read
// back as indented text lines.
#pragma once

#include <string>
#include <vector>

#include "map/dialogs/identify_dlg.h"
#include "platform/win/commctrl.h"
#include "tests/map/edit_harness.h"

namespace viewtest {

class IdentifyHarness : public EditHarness {
protected:
    void SetUp() override {
        EditHarness::SetUp();
        SetIdentifyWindow(GetIdentifyWindowSeam());
    }
    void TearDown() override {
        ReleaseIdentifyDlg();
        SetIdentifyWindow(nullptr);
        EditHarness::TearDown();
    }

    CIdentifyDlg& Dialog() { return GetIdentifyDlg(); }
    HWND Tree() { return GetIdentifyDlg().GetTree(); }

    static HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT how) {
        return reinterpret_cast<HTREEITEM>(
            SendMessage(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
    }
    static std::string ItemText(HWND tree, HTREEITEM item) {
        WChar buffer[400] = {};
        TVITEM tv;
        tv.mask = TVIF_TEXT | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = buffer;
        tv.cchTextMax = 400;
        SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&tv));
        return text::ToUtf8(WString(buffer));
    }
    // Every item, two spaces of indent a level.
    std::vector<std::string> TreeLines() {
        std::vector<std::string> out;
        HWND tree = Tree();
        if (!tree) return out;
        std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM item, int depth) {
            for (; item; item = NextItem(tree, item, TVGN_NEXT)) {
                out.push_back(std::string(static_cast<size_t>(depth) * 2, ' ') + ItemText(tree, item));
                walk(NextItem(tree, item, TVGN_CHILD), depth + 1);
            }
        };
        walk(NextItem(tree, nullptr, TVGN_ROOT), 0);
        return out;
    }
    // The item whose text is exactly this (depth first), or null.
    HTREEITEM FindItem(const std::string& text) {
        HWND tree = Tree();
        HTREEITEM found = nullptr;
        std::function<void(HTREEITEM)> walk = [&](HTREEITEM item) {
            for (; item && !found; item = NextItem(tree, item, TVGN_NEXT)) {
                if (ItemText(tree, item) == text) found = item;
                else walk(NextItem(tree, item, TVGN_CHILD));
            }
        };
        walk(NextItem(tree, nullptr, TVGN_ROOT));
        return found;
    }
    void SelectItem(HTREEITEM item) {
        win::TreeViewUserSelect(Tree(), item);
        Pump();
    }
    // A tap with the identify tool at a map point.
    void IdentifyTap(double x, double y) {
        view_->SetCurrentTool(kToolIdentify);
        int px, py;
        view_->MapToScreen(x, y, px, py);
        clock_.Advance(1000);
        win::input::TapAt(View(), POINT{px, py});
        Pump();
    }
};

}  // namespace viewtest
