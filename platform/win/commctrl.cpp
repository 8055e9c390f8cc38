// Registration of the common control classes.
#include <mutex>

#include "platform/win/common_impl.h"

void InitCommonControls() {
    static std::once_flag once;
    std::call_once(once, [] {
        using win::detail::RegisterSystemClass;
        RegisterSystemClass(WC_HEADER, HeaderProc, CS_DBLCLKS);
        RegisterSystemClass(WC_LISTVIEW, ListViewProc, CS_DBLCLKS);
        RegisterSystemClass(WC_TREEVIEW, TreeViewProc, CS_DBLCLKS);
        RegisterSystemClass(WC_TABCONTROL, TabControlProc, CS_DBLCLKS);
        RegisterSystemClass(PROGRESS_CLASS, ProgressProc, 0);
        RegisterSystemClass(TRACKBAR_CLASS, TrackBarProc, 0);
        RegisterSystemClass(UPDOWN_CLASS, UpDownProc, 0);
        RegisterSystemClass(DATETIMEPICK_CLASS, DateTimeProc, 0);
        RegisterSystemClass(MONTHCAL_CLASS, MonthCalProc, 0);
        RegisterSystemClass(TOOLTIPS_CLASS, ToolTipProc, 0);
        RegisterSystemClass(STATUSCLASSNAME, StatusBarProc, 0);
        RegisterSystemClass(TOOLBARCLASSNAME, ToolbarProc, CS_DBLCLKS);
        RegisterSystemClass(REBARCLASSNAME, RebarProc, 0);
    });
}
