#include "shell/frame/command_bars.h"

#include <algorithm>

#include "core/language_module.h"
#include "core/shell_helpers.h"
#include "core/xml_node.h"
#include "formats/raster/image_loading.h"
#include "map/services/script_events.h"
#include "platform/gdi/owned.h"
#include "platform/res/resource.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "shell/app/map_app.h"
#include "shell/config/command_names.h"
#include "shell/config/configuration.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/image_menu.h"

namespace {

constexpr DWORD kStripWindowStyle = 0x56000000;
constexpr DWORD kBuiltInToolbarStyle = 0x900;
constexpr DWORD kVerticalToolbar = 0x80;  // CCS_VERT
constexpr UINT kNewRowBand = 0x81;        // new row and gripper
constexpr int kMaxBarButtons = 256;       // buttons and separators of one configured bar

struct BuiltInBar {
    UINT id;
    const WChar* name;
    std::vector<UINT> arrows;
    std::vector<UINT> removed;
};

const BuiltInBar kBuiltInBars[] = {
    {kMainBarId, u"main", {57601, 1029, 1034, 1021, 57670}, {}},
    {kBrowseBarId, u"browse", {1800, 1014, 1810, 1003}, {1801, 1802, 1811, 1812, 1813, 1814, 1815, 1816}},
    {kDrawBarId, u"draw", {1820, 1822, 1016}, {1823, 1825, 1826, 1827, 1828, 1829, 1830, 1824}},
};

WString Load(UINT id) { return GetLanguageModule()->LoadString(id, true); }

WString Format(UINT id, std::vector<WString> args) {
    return res::FormatMessageText(Load(id), args);
}

bool BeginsWithNoCase(WStringView s, WStringView prefix) {
    return s.size() >= prefix.size() && text::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// "onpointerdown" and the like make a configured command a map tool.
bool HasPointerEvent(const CXmlNode* element) {
    for (const auto& attribute : element->GetAttributes())
        if (BeginsWithNoCase(attribute.first, u"onpointer")) return true;
    return false;
}

// The decimal number after the first `letter`, 0 when none.
int KeyNumber(const WString& shortcut, WChar letter) {
    size_t at = shortcut.find(letter);
    if (at == WString::npos) return 0;
    int n = 0;
    size_t i = at + 1;
    for (; i < shortcut.size() && shortcut[i] >= u'0' && shortcut[i] <= u'9'; ++i)
        n = std::min(n * 10 + (shortcut[i] - u'0'), 100000);
    return i == at + 1 ? 0 : n;
}

WString Number(UINT n) { return text::Format(u"%u", n); }

// The element's name for the report.
WString ElementLabel(const CXmlNode* element) { return element->GetName(); }

}  // namespace

// ---- CScriptToolItem ----

namespace {
IToolItemObjectFactory* g_toolItemObjects = nullptr;
}  // namespace

void SetToolItemObjectFactory(IToolItemObjectFactory* factory) { g_toolItemObjects = factory; }

CScriptToolItem::CScriptToolItem(UINT id, WString name) : m_id(id), m_name(std::move(name)) {
    m_object = g_toolItemObjects ? g_toolItemObjects->CreateToolItemObject(this) : nullptr;
    if (!m_object) m_object = CreatePlainScriptObject();
}

CScriptToolItem::~CScriptToolItem() {
    if (!m_object) return;
    if (g_toolItemObjects) g_toolItemObjects->ForgetToolItem(m_object);
    m_object->Release();
}

// ---- building ----

struct CCommandBars::Impl {
    // Into the given report, else the application's.
    static void Report(CCommandBars& b, UINT id, std::vector<WString> args) {
        CConfigurationReport* report = b.m_report;
        if (!report && GetMapApp()) report = &GetMapApp()->GetConfigurationReport();
        if (report) report->Add(Format(id, std::move(args)));
    }

    static CScriptToolItem* CreateCommand(CCommandBars& b, UINT id, const CXmlNode* element,
                                          CToolBarExt* bar, CImageMenu* menu, IScriptHost* host) {
        WString name = element->GetAttribute(u"name");
        if (name.empty()) {
            name = text::Format(u"Command%d", static_cast<int>(id) - 8999);
        }
        auto item = std::make_unique<CScriptToolItem>(id, name);
        item->m_bar = bar;
        item->m_menu = menu;
        item->m_mapTool = HasPointerEvent(element);
        if (host) {
            host->AddNamedItem(name.c_str(), item->GetDispatch(), 6);
            host->BindElementEvents(element, name.c_str());
        }
        b.m_commands.push_back(std::move(item));
        return b.m_commands.back().get();
    }

    // The next configured command id, 0 (with a report line) when the run
    // has used them all.
    static UINT NextCommandId(CCommandBars& b, const WString& barName, const CXmlNode* element) {
        if (b.m_nextCommand > kLastConfiguredCommand) {
            Report(b, IDS_BAR_TOO_MANY_COMMANDS,
                   {barName, ElementLabel(element),
                    Number(kLastConfiguredCommand - kFirstConfiguredCommand + 1)});
            return 0;
        }
        return b.m_nextCommand++;
    }

    // The command of a TOOLBUTTON or MENUITEM: its id (0 a configured
    // command), or -1 with a report line.
    static int CommandOf(CCommandBars& b, const WString& barName, const CXmlNode* element) {
        WString command = element->GetAttribute(u"command");
        int id = CommandIdFromName(command);
        if (id < 0) Report(b, IDS_BAR_UNKNOWN_COMMAND, {barName, ElementLabel(element), command});
        return id;
    }

    // The image of a configured button: a "$" name, or a picture file made
    // into an icon of the bar's image size (16 by 16 at 96 dots per inch) and
    // added to the bar's images.
    static int ConfiguredImage(CCommandBars& b, CToolBarExt* bar, const WString& barName,
                               const CXmlNode* element, const WString& folder, int pictures) {
        WString image = element->GetAttribute(u"image", u"$bex");
        if (!image.empty() && image[0] == u'$') return pictures + ButtonImageFromName(image);
        WString path = image;
        if (path.find(u'\\') == WString::npos && path.find(u'/') == WString::npos && !folder.empty())
            path = folder + u"\\" + path;
        gdi::OwnedBitmap bitmap(LoadImageFile(path));
        if (!bitmap) {
            Report(b, IDS_BAR_BAD_IMAGE, {barName, image});
            return pictures;
        }
        // As large as the bar draws its images (larger on a denser screen).
        HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessage(bar->GetSafeHwnd(), TB_GETIMAGELIST, 0, 0));
        int cx = 16, cy = 16;
        if (list) ImageList_GetIconSize(list, &cx, &cy);
        gdi::OwnedBitmap small(gdi::CreateSurface(cx, cy));
        HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
        HBITMAP oldSrc = SelectObject(src, bitmap.get()), oldDst = SelectObject(dst, small.get());
        BITMAP bm{};
        GetObject(bitmap.get(), sizeof(bm), &bm);
        StretchBlt(dst, 0, 0, cx, cy, src, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        SelectObject(src, oldSrc);
        SelectObject(dst, oldDst);
        DeleteDC(src);
        DeleteDC(dst);
        bitmap.reset();
        HICON icon = CreateIconFromBitmap(small.get());
        small.reset();
        int index = icon && list ? ImageList_AddIcon(list, icon) : -1;
        if (icon) DestroyIcon(icon);
        return index < 0 ? pictures : index;
    }

    static CImageMenu* BuildButtonMenu(CCommandBars& b, CCommandBarInfo* record, const CXmlNode* button,
                                       IScriptHost* host) {
        auto menu = std::make_unique<CImageMenu>();
        menu->LoadImages(IDR_BAR_COMMANDS);
        for (int i = 0; i < button->GetChildCount(); ++i) {
            const CXmlNode* child = button->GetChild(i);
            if (host) host->RunScriptElements(child);
            if (child->GetName() == u"SEPARATOR") {
                menu->InsertItem(MF_SEPARATOR, 0, nullptr);
                continue;
            }
            if (child->GetName() != u"MENUITEM") continue;
            int id = CommandOf(b, record->m_name, child);
            if (id < 0) continue;
            WString caption;
            if (id == 0) {
                UINT configured = NextCommandId(b, record->m_name, child);
                if (!configured) continue;
                id = static_cast<int>(configured);
                CreateCommand(b, configured, child, nullptr, menu.get(), host);
                caption = child->GetAttribute(u"caption");
                if (caption.empty()) {
                    caption = text::Format(u"Command %d", id);
                }
            } else {
                caption = Load(static_cast<UINT>(id));
                caption = caption.substr(0, caption.find(u'\n'));
            }
            menu->InsertItem(MF_OWNERDRAW, static_cast<uintptr_t>(id), caption.c_str());
        }
        record->m_menus.push_back(std::move(menu));
        return record->m_menus.back().get();
    }

    static CCommandBarInfo* CreateConfiguredToolbar(CCommandBars& b, const WString& name,
                                                    const CXmlNode* element, IScriptHost* host,
                                                    const WString& folder) {
        CCommandBarInfo* record = b.FindCommandBarByName(name);
        bool created = false;
        if (!record) {
            if (b.m_nextBar > kLastConfiguredBar) {
                Report(b, IDS_BAR_TOO_MANY_BARS,
                       {name, Number(kLastConfiguredBar - kFirstConfiguredBar + 1)});
                return nullptr;
            }
            if (!b.m_strip || !b.m_strip->GetSafeHwnd()) return nullptr;
            DWORD style = TBSTYLE_TOOLTIPS;
            if (element->GetAttributeBool(u"flat", true)) style |= TBSTYLE_FLAT;
            if (element->GetAttributeBool(u"wrapable", false)) style |= TBSTYLE_WRAPABLE;
            if (b.m_vertical) style |= kVerticalToolbar;
            auto bar = std::make_unique<CToolBarExt>();
            if (!bar->Create(b.m_host.GetFrameWindow(), style, b.m_barStyle | CBRS_VISIBLE, b.m_nextBar))
                return nullptr;
            ++b.m_nextBar;
            CToolBarResource resource;
            if (resource.Load(IDR_BAR_COMMANDS))
                SendMessage(bar->GetSafeHwnd(), TB_SETBITMAPSIZE, 0,
                            MAKELONG(resource.GetImageWidth(), resource.GetImageHeight()));
            TBADDBITMAP images;
            images.hInst = res::GetResourceHandle();
            images.nID = IDR_BAR_COMMANDS;
            SendMessage(bar->GetSafeHwnd(), TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&images));
            images.nID = IDB_BUTTON_PICTURES;
            SendMessage(bar->GetSafeHwnd(), TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&images));
            SendMessage(bar->GetSafeHwnd(), TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
            auto info = std::make_unique<CCommandBarInfo>();
            info->m_name = name;
            info->m_caption = element->GetAttribute(u"caption");
            info->m_bar = bar.get();
            b.m_configuredBars.push_back(std::move(bar));
            b.m_bars.push_back(std::move(info));
            record = b.m_bars.back().get();
            created = true;
        }
        CToolBarExt* bar = record->m_bar;
        CToolBarResource commands;
        commands.Load(IDR_BAR_COMMANDS);
        int pictures = 0;
        for (WORD id : commands.GetCommands()) pictures += id != 0;
        // The element's buttons join the bar at once: the control redoes
        // its tooltips for every change.
        std::vector<TBBUTTON> added;
        for (int i = 0; i < element->GetChildCount(); ++i) {
            const CXmlNode* child = element->GetChild(i);
            if (host) host->RunScriptElements(child);
            bool isButton = child->GetName() == u"TOOLBUTTON";
            if (!isButton && child->GetName() != u"SEPARATOR") continue;
            if (bar->GetCount() + static_cast<int>(added.size()) >= kMaxBarButtons) {
                Report(b, IDS_BAR_TOO_MANY_BUTTONS, {name, Number(static_cast<UINT>(kMaxBarButtons))});
                break;
            }
            TBBUTTON button;
            button.iString = -1;
            if (!isButton) {
                button.fsStyle = static_cast<BYTE>(TBSTYLE_SEP);
            } else {
                int id = CommandOf(b, name, child);
                if (id < 0) continue;
                if (id > 0) {
                    button.iBitmap = std::max(0, commands.ImageIndexOf(static_cast<UINT>(id)));
                } else {
                    UINT configured = NextCommandId(b, name, child);
                    if (!configured) continue;
                    id = static_cast<int>(configured);
                    button.iBitmap = ConfiguredImage(b, bar, name, child, folder, pictures);
                    CreateCommand(b, configured, child, bar, nullptr, host);
                }
                button.idCommand = id;
                button.fsState = TBSTATE_ENABLED;
                if (child->FindChild(u"MENUITEM")) {
                    CImageMenu* menu = BuildButtonMenu(b, record, child, host);
                    menu->m_buttonIndex = bar->GetCount() + static_cast<int>(added.size());
                    button.fsStyle = static_cast<BYTE>(TBSTYLE_DROPDOWN);
                }
                WString shortcut = child->GetAttribute(u"shortcut");
                if (!shortcut.empty()) b.ParseShortcut(shortcut, static_cast<UINT>(id), name);
            }
            // On a vertical strip each button wraps.
            if (b.m_vertical) button.fsState |= TBSTATE_WRAP;
            added.push_back(button);
        }
        if (!added.empty())
            SendMessage(bar->GetSafeHwnd(), TB_ADDBUTTONS, added.size(), reinterpret_cast<LPARAM>(added.data()));
        if (created) {
            UINT band = 0x80;
            WString style = element->GetAttribute(u"style");
            bool hasStyle = element->GetAttributes().count(u"style") != 0;
            if (hasStyle ? style.find(u"break") != WString::npos : element->GetAttributeBool(u"break", true))
                band |= RBBS_BREAK;
            b.m_strip->AddBar(bar, -1, 0, record->m_caption.c_str(), band, name.c_str());
            b.m_host.RecalcLayout();
        }
        return record;
    }

    static void ApplyBuiltInToolbar(CCommandBars& b, CToolBarExt* bar, const CXmlNode* element) {
        if (!bar || !bar->GetSafeHwnd()) return;
        if (element->GetAttributes().count(u"visible"))
            b.ShowCommandBar(bar, element->GetAttributeBool(u"visible", true));
        if (element->GetAttribute(u"style").find(u"break") != WString::npos) {
            int band = b.m_strip->FindBandOf(bar->GetSafeHwnd());
            if (band >= 0) b.m_strip->SetBandStyle(band, b.m_strip->GetBandStyle(band) | RBBS_BREAK);
        }
    }
};

CCommandBars::CCommandBars(ICommandBarsHost& host) : m_host(host) {}

CCommandBars::~CCommandBars() { Destroy(); }

bool CCommandBars::BuildCommandBars(const CXmlNode* configRoot) {
    const CXmlNode* config = FindConfigElement(configRoot);
    const CXmlNode* toolbars = config ? config->FindChild(u"TOOLBARS") : nullptr;
    WChar align = ToolbarsAlignment(toolbars);
    switch (align) {
        case u'B':
            m_alignment = CBRS_BOTTOM;
            break;
        case u'L':
            m_alignment = CBRS_LEFT;
            break;
        case u'R':
            m_alignment = CBRS_RIGHT;
            break;
        default:
            m_alignment = CBRS_TOP;
            break;
    }
    m_vertical = align == u'L' || align == u'R';
    m_barStyle = CBRS_ALIGN_TOP | CBRS_TOOLTIPS | CBRS_FLYBY;
    DWORD toolbarStyle = kBuiltInToolbarStyle;
    if (m_vertical) {
        m_barStyle = (m_barStyle & ~(CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)) | CBRS_ALIGN_LEFT;
        toolbarStyle |= kVerticalToolbar;
    }
    BuiltInBarConfig settings[3];
    for (int i = 0; i < 3; ++i) settings[i] = ReadBuiltInBar(toolbars, kBuiltInBars[i].name);

    m_strip = std::make_unique<CReBarExt>();
    if (!m_strip->Create(m_host.GetFrameWindow(), m_vertical ? 0x680 : 0x600, kStripWindowStyle, m_alignment,
                         kStripId)) {
        m_strip.reset();
        return false;
    }
    m_strip->CreateImageList();
    std::unique_ptr<CToolBarExt>* members[3] = {&m_main, &m_browse, &m_draw};
    for (int i = 0; i < 3; ++i) {
        const BuiltInBar& def = kBuiltInBars[i];
        if (!settings[i].create) continue;
        auto bar = std::make_unique<CToolBarExt>();
        DWORD barStyle = m_barStyle | (settings[i].visible ? CBRS_VISIBLE : 0);
        if (!bar->Create(m_host.GetFrameWindow(), toolbarStyle, barStyle, def.id) || !bar->LoadToolBar(def.id))
            return false;
        SendMessage(bar->GetSafeHwnd(), TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
        for (UINT command : def.arrows) bar->SetButtonStyleBits(0x80000000u | command, 0, TBSTYLE_DROPDOWN);
        if (def.id == kBrowseBarId) {
            IBarExtensions* extensions = m_host.GetExtensions();
            bool findTools = false;
            for (int e = 0; extensions && e < extensions->GetCount(); ++e)
                for (int t = 0; t < extensions->GetToolCount(e); ++t)
                    findTools |= ((extensions->GetToolType(e, t) >> 16) & 0xFF) == kToolClassFind;
            if (findTools) bar->SetButtonStyleBits(0x80000000u | 1028, 0, TBSTYLE_DROPDOWN);
        }
        std::vector<UINT> removed = def.removed;
        removed.push_back(0);
        bar->DeleteButtons(removed.data());
        if (!m_strip->AddBar(bar.get(), -1, 0, nullptr, i == 0 ? 0 : kNewRowBand, def.name)) return false;
        auto info = std::make_unique<CCommandBarInfo>();
        info->m_name = def.name;
        info->m_bar = bar.get();
        info->m_builtIn = true;
        m_bars.push_back(std::move(info));
        *members[i] = std::move(bar);
        if (!settings[i].visible) {
            m_strip->ShowBand(m_strip->FindBandOf((*members[i])->GetSafeHwnd()), false);
            ShowWindow((*members[i])->GetSafeHwnd(), SW_HIDE);
        }
    }
    GetLanguageModule()->ApplyRtlStyle(m_strip->GetSafeHwnd());
    m_host.RecalcLayout();
    return true;
}

void CCommandBars::LoadToolbars(const CXmlNode* toolbars, IScriptHost* host, const WString& folder) {
    if (!toolbars) return;
    if (!host) host = m_host.GetGlobalScriptHost();
    for (int i = 0; i < toolbars->GetChildCount(); ++i) {
        const CXmlNode* element = toolbars->GetChild(i);
        if (element->GetName() != u"TOOLBAR") continue;
        WString name = element->GetAttribute(u"name");
        if (text::EqualsNoCase(name, u"main")) {
            Impl::ApplyBuiltInToolbar(*this, m_main.get(), element);
        } else if (text::EqualsNoCase(name, u"browse")) {
            Impl::ApplyBuiltInToolbar(*this, m_browse.get(), element);
        } else if (text::EqualsNoCase(name, u"draw")) {
            Impl::ApplyBuiltInToolbar(*this, m_draw.get(), element);
        } else {
            if (host) host->RunScriptElements(element);
            Impl::CreateConfiguredToolbar(*this, name, element, host, folder);
        }
    }
}

void CCommandBars::Destroy() {
    for (auto& bar : m_configuredBars)
        if (bar->GetSafeHwnd()) bar->DestroyWindow();
    m_configuredBars.clear();
    m_bars.clear();
    m_commands.clear();
    for (auto* bar : {m_main.get(), m_browse.get(), m_draw.get()})
        if (bar && bar->GetSafeHwnd()) bar->DestroyWindow();
    m_main.reset();
    m_browse.reset();
    m_draw.reset();
    if (m_strip && m_strip->GetSafeHwnd()) m_strip->DestroyWindow();
    m_strip.reset();
}

// ---- keys ----

void CCommandBars::ParseShortcut(const WString& shortcut, UINT command, const WString& barName) {
    int f = KeyNumber(shortcut, u'F');
    int a = KeyNumber(shortcut, u'A');
    bool fOk = f >= 1 && f <= 24, aOk = a >= 1 && a <= 10;
    if (!fOk && !aOk) {
        Impl::Report(*this, IDS_BAR_BAD_SHORTCUT, {barName, shortcut});
        return;
    }
    auto bind = [&](WORD* slot, UINT message, const WChar* format, int number) {
        if (*slot == 0) {
            *slot = static_cast<WORD>(command);
            return;
        }
        WString key = text::Format(format, number);
        WString textOut;
        GetLanguageModule()->FormatString1(textOut, message, key.c_str());
        WString caption = Load(IDS_APP_TITLE);
        MessageBox(m_host.GetFrameWindow(), textOut.c_str(), caption.c_str(), MB_OK | MB_ICONHAND);
    };
    if (fOk) bind(&m_functionKeys[f - 1], IDS_FUNCTION_KEY_TAKEN, u"F%d", f);
    if (aOk) bind(&m_appKeys[a - 1], IDS_APP_KEY_TAKEN, u"A%d", a);
}

UINT CCommandBars::GetFunctionKeyCommand(int slot) const {
    return slot >= 0 && slot < 24 ? m_functionKeys[slot] : 0;
}

UINT CCommandBars::GetAppKeyCommand(int slot) const { return slot >= 0 && slot < 10 ? m_appKeys[slot] : 0; }

namespace {
bool SendOrPostCommand(HWND frame, UINT command, bool send) {
    if (send) SendMessage(frame, WM_COMMAND, command, 0);
    else PostMessage(frame, WM_COMMAND, command, 0);
    return true;
}
}  // namespace

bool CCommandBars::RunBoundKeyCommand(int slot, bool send) {
    UINT command = GetFunctionKeyCommand(slot);
    return command && SendOrPostCommand(m_host.GetFrameWindow(), command, send);
}

bool CCommandBars::RunAppKeyCommand(int slot, bool send) {
    UINT command = GetAppKeyCommand(slot);
    return command && SendOrPostCommand(m_host.GetFrameWindow(), command, send);
}

bool CCommandBars::OnKeyUp(UINT virtualKey) {
    if (virtualKey < 0xC1 || virtualKey > 0xCA) return false;
    return RunAppKeyCommand(static_cast<int>(virtualKey - 0xC1));
}

void CCommandBars::AssociateAppKeys() {
    for (int i = 0; i < 10; ++i)
        if (m_appKeys[i]) SetAppKeyWndAssoc(static_cast<BYTE>(0xC1 + i), m_host.GetFrameWindow());
}

// ---- lookups ----

HWND CCommandBars::GetStripWindow() const { return m_strip ? m_strip->GetSafeHwnd() : nullptr; }

CToolBarExt* CCommandBars::GetBuiltInBar(UINT id) const {
    switch (id) {
        case kMainBarId:
            return m_main.get();
        case kBrowseBarId:
            return m_browse.get();
        case kDrawBarId:
            return m_draw.get();
        default:
            return nullptr;
    }
}

CCommandBarInfo* CCommandBars::FindCommandBarByName(WStringView name) const {
    for (const auto& bar : m_bars)
        if (text::EqualsNoCase(bar->m_name, name)) return bar.get();
    return nullptr;
}

CCommandBarInfo* CCommandBars::FindCommandBarById(UINT id) const {
    for (const auto& bar : m_bars)
        if (bar->m_bar && static_cast<UINT>(GetDlgCtrlID(bar->m_bar->GetSafeHwnd())) == id) return bar.get();
    return nullptr;
}

CImageMenu* CCommandBars::FindButtonMenu(CCommandBarInfo* bar, int button) const {
    if (!bar) return nullptr;
    for (const auto& menu : bar->m_menus)
        if (menu->m_buttonIndex == button) return menu.get();
    return nullptr;
}

CScriptToolItem* CCommandBars::GetCommandById(UINT id) const {
    for (const auto& command : m_commands)
        if (command->GetId() == id) return command.get();
    return nullptr;
}

CScriptToolItem* CCommandBars::FindCommandByName(WStringView name) const {
    for (const auto& command : m_commands)
        if (text::EqualsNoCase(command->GetName(), name)) return command.get();
    return nullptr;
}
