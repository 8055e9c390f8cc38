// The commands of the bars: configured commands and their map tools, bar
// toggles, recent layers, extension About boxes and tools, drop-down taps
// and the built-in drop-down menus with what they add to their resources.
#include <algorithm>

#include "core/language_module.h"
#include "core/mru_list.h"
#include "platform/gdi/gdi.h"
#include "map/services/script_events.h"
#include "platform/win/command.h"
#include "platform/win/dialog.h"
#include "resources/zres.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/command_bars.h"
#include "shell/frame/image_menu.h"

namespace {

constexpr int kClickEvent = 7;
constexpr UINT kToggleMainBar = 1075;
constexpr UINT kToggleBrowseBar = 1036;
constexpr UINT kToggleDrawBar = 1035;
constexpr int kMenuNameMax = 30;

// The built-in drop-down menu of a button, and the image offset of the mode
// buttons (0 for the others).
struct ButtonMenu {
    UINT first, last;
    UINT menu;
    int modeOffset;
};
const ButtonMenu kButtonMenus[] = {
    {57601, 57601, IDR_MENU_FILE, 0},      {1014, 1014, IDR_MENU_ZOOM_ACTION, 0},
    {1003, 1003, IDR_MENU_ZOOM_EXTENT, 0}, {57670, 57670, IDR_MENU_HELP, 0},
    {1034, 1034, IDR_MENU_TOOLS, 0},       {1028, 1028, IDR_MENU_FIND, 0},
    {2863, 2863, IDR_MENU_FIND, 0},        {1029, 1029, IDR_MENU_ADD, 0},
    {1016, 1016, IDR_MENU_EDIT_ACTION, 0}, {1021, 1021, IDR_MENU_GPS, 0},
    {1820, 1820, IDR_MENU_SELECT, 0},      {1800, 1802, IDR_MENU_ZOOM_MODE, 1800},
    {1810, 1816, IDR_MENU_ACTION_MODE, 1805}, {1822, 1830, IDR_MENU_DRAW_MODE, 1820},
    {1840, 1841, IDR_MENU_GPS_CAPTURE, 1829},
};

const ButtonMenu* FindButtonMenuFor(UINT command) {
    for (const ButtonMenu& m : kButtonMenus)
        if (command >= m.first && command <= m.last) return &m;
    return nullptr;
}

// A list entry as a menu shows it: the file name, cut to 30 characters.
WString MenuName(const WString& path) {
    size_t slash = path.find_last_of(u"\\/");
    WString name = slash == WString::npos ? path : path.substr(slash + 1);
    if (name.size() > kMenuNameMax) name = name.substr(0, kMenuNameMax - 3) + u"...";
    return name;
}

// Replaces the placeholder item by a pop-up of the texts with consecutive
// ids, or removes it when there are none.
void FillPlaceholder(CImageMenu& menu, UINT placeholder, const std::vector<WString>& texts, UINT firstId) {
    int at = menu.GetItemIndex(placeholder);
    if (at < 0) return;
    WString caption = GetMenuText(menu.GetSourceMenu(), placeholder, MF_BYCOMMAND);
    DeleteMenu(menu.GetHandle(), static_cast<UINT>(at), MF_BYPOSITION);
    if (texts.empty()) return;
    HMENU sub = CreatePopupMenu();
    for (size_t i = 0; i < texts.size(); ++i)
        AppendMenu(sub, MF_STRING, firstId + static_cast<UINT>(i), texts[i].c_str());
    menu.InsertItemAt(static_cast<UINT>(at), MF_POPUP, reinterpret_cast<uintptr_t>(sub), caption.c_str());
}

uintptr_t ToolData(int extension, int tool, int layer) {
    return static_cast<uintptr_t>((extension & 0xFF) | ((tool & 0xFF) << 8) | ((layer & 0xFFFF) << 16));
}

}  // namespace

// ---- bars ----

void CCommandBars::ShowCommandBar(CToolBarExt* bar, bool show) {
    if (!bar || !bar->GetSafeHwnd() || !m_strip) return;
    int band = m_strip->FindBandOf(bar->GetSafeHwnd());
    if (band >= 0) m_strip->ShowBand(band, show);
    ShowWindow(bar->GetSafeHwnd(), show ? SW_SHOW : SW_HIDE);
    bar->SetBarStyle(show ? (bar->GetBarStyle() | CBRS_VISIBLE) : (bar->GetBarStyle() & ~CBRS_VISIBLE));
    m_host.RecalcLayout();
    m_host.UpdateAllViews();
    if (show) m_host.UpdateEditBars();
}

void CCommandBars::ToggleCommandBar(UINT id) {
    CToolBarExt* bar = nullptr;
    if (id == kMainBarId || id == kToggleMainBar) bar = m_main.get();
    else if (id == kBrowseBarId || id == kToggleBrowseBar) bar = m_browse.get();
    else if (id == kDrawBarId || id == kToggleDrawBar) bar = m_draw.get();
    else if (CCommandBarInfo* info = FindCommandBarById(id)) bar = info->m_bar;
    if (bar && bar->GetSafeHwnd()) ShowCommandBar(bar, !bar->IsVisible());
}

void CCommandBars::SetToolButtonImage(UINT drawCommand) {
    if (m_draw && m_draw->GetSafeHwnd() && m_draw->GetCount() > 2)
        m_draw->SetButtonInfo(2, drawCommand, static_cast<int>(drawCommand) - 1820);
}

// ---- commands ----

void CCommandBars::FireCommandEvent(UINT id, int eventId) {
    if (CScriptToolItem* item = GetCommandById(id)) FireScriptEvent(item->GetDispatch(), eventId, true, 0);
}

int CCommandBars::RunExtensionTool(uintptr_t itemData) {
    IBarExtensions* extensions = m_host.GetExtensions();
    int extension = static_cast<int>(itemData & 0xFF);
    int tool = static_cast<int>((itemData >> 8) & 0xFF);
    int layer = static_cast<int>((itemData >> 16) & 0xFFFF);
    if (!extensions || extension >= extensions->GetCount() || tool >= extensions->GetToolCount(extension))
        return 0;
    CDoubleRect extent;
    m_host.GetViewExtent(extent);
    int kind = static_cast<int>(extensions->GetToolType(extension, tool) & 0xFFFF);
    DWORD handle = kind == kToolKindLayer || kind == kToolKindLayerRun ? extensions->GetLayerHandle(layer) : 0;
    return extensions->RunTool(extension, tool, m_host.GetFrameWindow(), handle, &extent);
}

bool CCommandBars::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    (void)code;
    if (id >= kFirstConfiguredCommand && id <= kLastConfiguredCommand) {
        CScriptToolItem* item = GetCommandById(id);
        if (ui) {
            if (!item) {
                ui->Enable(true);
            } else {
                bool checked = item->m_checked ||
                               m_host.GetCurrentTool() == static_cast<int>(id) + kConfiguredToolOffset;
                ui->SetCheck(checked ? 1 : 0);
                ui->Enable(item->m_enabled);
            }
            return true;
        }
        if (!item) return false;
        FireCommandEvent(id, kClickEvent);
        if (item->m_mapTool) m_host.SetCurrentTool(static_cast<int>(id) + kConfiguredToolOffset);
        return true;
    }
    if ((id >= kFirstConfiguredBar && id <= kLastConfiguredBar) || id == kToggleMainBar ||
        id == kToggleBrowseBar || id == kToggleDrawBar) {
        CToolBarExt* bar = id == kToggleMainBar    ? m_main.get()
                           : id == kToggleBrowseBar ? m_browse.get()
                           : id == kToggleDrawBar   ? m_draw.get()
                                                    : nullptr;
        if (!bar) {
            CCommandBarInfo* info = FindCommandBarById(id);
            bar = info ? info->m_bar : nullptr;
        }
        if (ui) {
            if (id >= kFirstConfiguredBar) ui->Enable(bar != nullptr);
            else ui->Enable(true);
            ui->SetCheck(bar && bar->IsVisible() ? 1 : 0);
            return true;
        }
        ToggleCommandBar(id);
        return true;
    }
    if (id >= kFirstRecentLayer && id <= kLastRecentLayer) {
        CMruList* recent = m_host.GetRecentLayers();
        if (ui) {
            ui->Enable(recent != nullptr);
            return true;
        }
        int entry = static_cast<int>(id - kFirstRecentLayer);
        if (!recent || entry >= recent->GetCount()) return true;
        WString path = (*recent)[entry];
        if (!m_host.AddLayerFile(path)) {
            // A layer that no longer opens leaves the list.
            std::vector<WString> kept = recent->GetEntries();
            kept.erase(kept.begin() + entry);
            recent->Clear();
            for (auto it = kept.rbegin(); it != kept.rend(); ++it) recent->Add(*it);
        }
        return true;
    }
    if (id >= kFirstExtensionAbout && id <= kLastExtensionAbout) {
        if (ui) return false;
        IBarExtensions* extensions = m_host.GetExtensions();
        int index = static_cast<int>(id - kFirstExtensionAbout);
        if (extensions && index < extensions->GetCount()) extensions->ShowAbout(index, m_host.GetFrameWindow());
        return true;
    }
    if (id >= kFirstExtensionTool && id <= kLastExtensionTool) {
        if (ui) {
            ui->Enable(true);
            return true;
        }
        return false;  // run only through the tool menus
    }
    return false;
}

void CCommandBars::UpdateButtons(const std::vector<CCmdTarget*>& chain) {
    for (const auto& info : m_bars) {
        CToolBarExt* bar = info->m_bar;
        if (!bar || !bar->GetSafeHwnd() || !bar->IsVisible()) continue;
        for (int i = 0; i < bar->GetCount(); ++i) {
            UINT id = bar->GetItemID(i);
            if (!id) continue;
            CCmdUI ui = QueryCommandUI(chain, id);
            HWND h = bar->GetSafeHwnd();
            bool enabled = SendMessage(h, TB_ISBUTTONENABLED, id, 0) != 0;
            bool checked = SendMessage(h, TB_ISBUTTONCHECKED, id, 0) != 0;
            if (enabled != ui.m_bEnabled) SendMessage(h, TB_ENABLEBUTTON, id, ui.m_bEnabled);
            if (checked != (ui.m_nCheck != 0)) SendMessage(h, TB_CHECKBUTTON, id, ui.m_nCheck != 0);
        }
    }
}

// ---- drop-down taps ----

bool CCommandBars::OnNotify(const NMHDR* header, LRESULT* result) {
    if (!header) return false;
    if (header->code == TTN_GETDISPINFO) {
        auto* info = const_cast<NMTTDISPINFO*>(reinterpret_cast<const NMTTDISPINFO*>(header));
        WString tip = GetLanguageModule()->LoadString(static_cast<UINT>(header->idFrom), true);
        size_t line = tip.find(u'\n');
        if (line == WString::npos) return false;
        tip = tip.substr(line + 1).substr(0, 79);
        std::copy(tip.begin(), tip.end(), info->szText);
        info->szText[tip.size()] = 0;
        info->lpszText = info->szText;
        if (result) *result = 0;
        return true;
    }
    if (header->code != TBN_DROPDOWN) return false;
    const auto* nm = reinterpret_cast<const NMTOOLBAR*>(header);
    CToolBarExt* bar = nullptr;
    for (const auto& info : m_bars)
        if (info->m_bar && info->m_bar->GetSafeHwnd() == header->hwndFrom) bar = info->m_bar;
    if (!bar) return false;
    if (result) *result = TBDDRET_DEFAULT;
    UINT command = static_cast<UINT>(nm->iItem);
    int index = bar->CommandToIndex(command);
    if (index < 0) return true;
    RECT r = bar->GetItemRect(index);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(bar->GetSafeHwnd(), nullptr, corners, 2);
    RECT screen{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    if (GetWindowLongPtr(bar->GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) std::swap(screen.left, screen.right);
    RECT arrow = screen;
    arrow.left += bar->GetButtonSize().cx;
    POINT stylus = GetLastStylusPoint();
    HWND frame = m_host.GetFrameWindow();
    // A button past the bar's chevron is chosen in the chevron's menu: its
    // drop-down opens, as the arrow is all the pen could reach.
    const int overflowed = win::ToolbarFirstOverflowed(bar->GetSafeHwnd());
    const bool pastChevron = overflowed >= 0 && index >= overflowed;
    if (!pastChevron && !PtInRect(&arrow, stylus)) {
        PostMessage(frame, WM_COMMAND, command, 0);
        return true;
    }
    UINT barId = static_cast<UINT>(GetDlgCtrlID(bar->GetSafeHwnd()));
    if (barId >= kMainBarId && barId <= kDrawBarId) {
        ShowButtonMenu(command, index, screen, bar);
    } else if (barId >= kFirstConfiguredBar && barId <= kLastConfiguredBar) {
        CImageMenu* menu = FindButtonMenu(FindCommandBarById(barId), index);
        if (menu) {
            UINT chosen = menu->Track(frame, screen.left, screen.bottom);
            if (chosen) PostMessage(frame, WM_COMMAND, chosen, 0);
        }
    }
    return true;
}

bool CCommandBars::OnOwnerDraw(UINT msg, WPARAM wParam, LPARAM lParam) {
    return CImageMenu::HandleOwnerMessage(msg, wParam, lParam);
}

UINT CCommandBars::ShowButtonMenu(UINT command, int buttonIndex, const RECT& button, CToolBarExt* bar) {
    const ButtonMenu* def = FindButtonMenuFor(command);
    if (!def) return 0;
    CImageMenu menu;
    if (!menu.LoadMenu(def->menu, 0)) return 0;
    IBarExtensions* extensions = m_host.GetExtensions();
    int extensionCount = extensions ? extensions->GetCount() : 0;
    UINT nextTool = kFirstExtensionTool;
    auto addTool = [&](HMENU into, const WString& textIn, uintptr_t data) {
        if (nextTool > kLastExtensionTool) return;  // the 8-bit indexes allow no more
        UINT id = nextTool++;
        AppendMenu(into, MF_STRING, id, textIn.c_str());
        MENUITEMINFO mi;
        mi.fMask = MIIM_DATA;
        mi.dwItemData = data;
        SetMenuItemInfo(into, id, false, &mi);
    };
    // A tool of one extension's layers: a submenu of them.
    auto layerSubmenu = [&](int e, int t, int position) {
        HMENU sub = CreatePopupMenu();
        for (const auto& layer : extensions->GetLayers(e)) addTool(sub, layer.name, ToolData(e, t, layer.index));
        WString name = extensions->GetToolName(e, t);
        if (position < 0) menu.InsertItem(MF_POPUP, reinterpret_cast<uintptr_t>(sub), name.c_str());
        else menu.InsertItemAt(static_cast<UINT>(position), MF_POPUP, reinterpret_cast<uintptr_t>(sub), name.c_str());
    };
    switch (def->menu) {
        case IDR_MENU_FILE: {
            std::vector<WString> maps, layers;
            for (const WString& p : m_host.GetRecentMaps()) maps.push_back(MenuName(p));
            if (CMruList* recent = m_host.GetRecentLayers())
                for (const WString& p : recent->GetEntries()) layers.push_back(MenuName(p));
            FillPlaceholder(menu, ID_MENU_RECENT_MAPS, maps, kFirstRecentMap);
            FillPlaceholder(menu, ID_MENU_RECENT_LAYERS, layers, kFirstRecentLayer);
            break;
        }
        case IDR_MENU_ZOOM_ACTION:
            FillPlaceholder(menu, ID_MENU_ZOOM_TO_LAYER, m_host.GetLayerNames(), kFirstLayerName);
            break;
        case IDR_MENU_ZOOM_EXTENT:
            FillPlaceholder(menu, ID_MENU_BOOKMARKS, m_host.GetBookmarkNames(), kFirstBookmark);
            break;
        case IDR_MENU_HELP: {
            std::vector<WString> names;
            for (int e = 0; e < extensionCount; ++e) names.push_back(extensions->GetName(e));
            FillPlaceholder(menu, ID_MENU_ABOUT_EXTENSION, names, kFirstExtensionAbout);
            break;
        }
        case IDR_MENU_TOOLS: {
            int at = menu.GetItemIndex(ID_MENU_TOOLBARS);
            if (at >= 0) {
                WString caption = GetMenuText(menu.GetSourceMenu(), ID_MENU_TOOLBARS, MF_BYCOMMAND);
                DeleteMenu(menu.GetHandle(), static_cast<UINT>(at), MF_BYPOSITION);
                HMENU sub = CreatePopupMenu();
                AppendMenu(sub, MF_STRING, kToggleBrowseBar, u"Browse");
                AppendMenu(sub, MF_STRING, kToggleDrawBar, u"Edit/Drawing");
                bool first = true;
                for (const auto& info : m_bars) {
                    if (info->m_builtIn) continue;
                    if (first) AppendMenu(sub, MF_SEPARATOR, 0, nullptr);
                    first = false;
                    const WString& shown = info->m_caption.empty() ? info->m_name : info->m_caption;
                    AppendMenu(sub, MF_STRING, static_cast<UINT>(GetDlgCtrlID(info->m_bar->GetSafeHwnd())),
                               shown.c_str());
                }
                menu.InsertItemAt(static_cast<UINT>(at), MF_POPUP, reinterpret_cast<uintptr_t>(sub), caption.c_str());
                int position = at + 1;
                for (int e = 0; e < extensionCount; ++e)
                    for (int t = 0; t < extensions->GetToolCount(e); ++t) {
                        DWORD type = extensions->GetToolType(e, t);
                        int kind = static_cast<int>(type & 0xFFFF), cls = static_cast<int>((type >> 16) & 0xFF);
                        if (cls != kToolClassGeneral || (kind != kToolKindCommand && kind != kToolKindLayer))
                            continue;
                        if (position == at + 1)
                            menu.InsertItemAt(static_cast<UINT>(position++), MF_SEPARATOR, 0, nullptr);
                        if (kind == kToolKindCommand) {
                            if (nextTool > kLastExtensionTool) continue;
                            UINT id = nextTool++;
                            WString name = extensions->GetToolName(e, t);
                            menu.InsertItemAt(static_cast<UINT>(position++), MF_STRING, id, name.c_str());
                            menu.SetItemData(id, ToolData(e, t, 0), false);
                        } else {
                            layerSubmenu(e, t, position++);
                        }
                    }
            }
            break;
        }
        case IDR_MENU_FIND: {
            bool separated = false;
            for (int e = 0; e < extensionCount; ++e)
                for (int t = 0; t < extensions->GetToolCount(e); ++t) {
                    if (((extensions->GetToolType(e, t) >> 16) & 0xFF) != static_cast<DWORD>(kToolClassFind)) continue;
                    if (!separated) menu.InsertItem(MF_SEPARATOR, 0, nullptr);
                    separated = true;
                    layerSubmenu(e, t, -1);
                }
            break;
        }
        default:
            break;
    }
    HWND frame = m_host.GetFrameWindow();
    UINT chosen = menu.Track(frame, button.left, button.bottom);
    if (chosen == 0) return 0;
    if (chosen >= kFirstExtensionTool && (def->menu == IDR_MENU_TOOLS || def->menu == IDR_MENU_FIND)) {
        // The tool's data is kept on its item, in the menu or a submenu.
        MENUITEMINFO mi;
        mi.fMask = MIIM_DATA;
        uintptr_t data = 0;
        std::vector<HMENU> menus{menu.GetHandle()};
        for (size_t k = 0; k < menus.size(); ++k) {
            if (GetMenuItemInfo(menus[k], chosen, false, &mi)) {
                data = mi.dwItemData;
                break;
            }
            for (int i = 0; i < GetMenuItemCount(menus[k]); ++i)
                if (HMENU sub = GetSubMenu(menus[k], i)) menus.push_back(sub);
        }
        RunExtensionTool(data);
        return chosen;
    }
    PostMessage(frame, WM_COMMAND, chosen, 0);
    if (def->modeOffset && bar) bar->SetButtonInfo(buttonIndex, chosen, static_cast<int>(chosen) - def->modeOffset);
    return chosen;
}
