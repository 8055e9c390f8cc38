#include "sample_content.h"

#include <string>

#include "platform/text/text.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/window.h"

namespace viewer {

void FillSampleContent(HWND dlg, int scale) {
    for (HWND c : GetChildren(dlg)) {
        WString cls = GetClassNameText(c);
        auto is = [&](const WChar* n) { return text::EqualsNoCase(cls, n); };
        if (is(u"LISTBOX")) {
            for (const WChar* t : {u"Roads", u"Rivers", u"Wells", u"Parcels", u"Trees"})
                SendMessage(c, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
            SendMessage(c, LB_SETCURSEL, 1, 0);
        } else if (is(u"COMBOBOX")) {
            for (const WChar* t : {u"Metres", u"Feet", u"Yards"})
                SendMessage(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
            SendMessage(c, CB_SETCURSEL, 0, 0);
        } else if (is(u"SCROLLBAR")) {
            SendMessage(c, SBM_SETRANGE, 0, 100);
            SendMessage(c, SBM_SETPOS, 30, TRUE);
        } else if (is(WC_LISTVIEW)) {
            WChar name[] = u"Name", value[] = u"Value";
            LVCOLUMN col;
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.cx = 50 * scale;
            col.pszText = name;
            SendMessage(c, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&col));
            col.pszText = value;
            SendMessage(c, LVM_INSERTCOLUMN, 1, reinterpret_cast<LPARAM>(&col));
            for (int i = 0; i < 3; ++i) {
                WString t = u"Row " + text::FromUtf8(std::to_string(i + 1));
                LVITEM it;
                it.mask = LVIF_TEXT;
                it.iItem = i;
                it.pszText = t.data();
                SendMessage(c, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
            }
        } else if (is(WC_HEADER)) {
            for (const WChar* t : {u"First", u"Second"}) {
                WString s(t);
                HDITEM it;
                it.mask = HDI_TEXT | HDI_WIDTH;
                it.cxy = 50 * scale;
                it.pszText = s.data();
                it.fmt = HDF_STRING;
                SendMessage(c, HDM_INSERTITEM, 99, reinterpret_cast<LPARAM>(&it));
            }
        } else if (is(WC_TREEVIEW)) {
            WString root = u"Layers", a = u"Roads", b = u"Rivers";
            TVINSERTSTRUCT ins;
            ins.hParent = TVI_ROOT;
            ins.hInsertAfter = TVI_LAST;
            ins.item.mask = TVIF_TEXT;
            ins.item.pszText = root.data();
            auto r = reinterpret_cast<HTREEITEM>(
                SendMessage(c, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)));
            ins.hParent = r;
            for (WString* t : {&a, &b}) {
                ins.item.pszText = t->data();
                SendMessage(c, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins));
            }
            SendMessage(c, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(r));
        } else if (is(WC_TABCONTROL)) {
            int i = 0;
            for (const WChar* t : {u"Map", u"GPS", u"Data"}) {
                WString s(t);
                TCITEM it;
                it.mask = TCIF_TEXT;
                it.pszText = s.data();
                SendMessage(c, TCM_INSERTITEM, i++, reinterpret_cast<LPARAM>(&it));
            }
        } else if (is(PROGRESS_CLASS)) {
            SendMessage(c, PBM_SETPOS, 60, 0);
        } else if (is(TRACKBAR_CLASS)) {
            SendMessage(c, TBM_SETPOS, TRUE, 40);
        }
    }
}

}  // namespace viewer
