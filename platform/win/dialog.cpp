#include "platform/win/dialog.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "platform/gdi/gdi.h"
#include "platform/res/resource.h"
#include "platform/win/controls.h"
#include "platform/win/framework.h"
#include "platform/win/theme.h"
#include "platform/win/window_impl.h"

using namespace win::detail;

namespace {

// ---------------------------------------------------------------- parsing

class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    template <class T>
    T Get() {
        T v{};
        if (pos_ + sizeof(T) > n_) {
            ok_ = false;
            return v;
        }
        std::memcpy(&v, p_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return v;
    }
    // A zero-terminated UTF-16 text.
    WString Text() {
        WString s;
        for (;;) {
            WChar c = Get<WChar>();
            if (!ok_ || c == 0) return s;
            s.push_back(c);
        }
    }
    // Ordinal (0xFFFF, id) or text; 0x0000 alone is an empty text.
    void NameOrOrdinal(WString* text, WORD* ordinal) {
        WORD first = Get<WORD>();
        if (!ok_) return;
        if (first == 0xFFFF) {
            *ordinal = Get<WORD>();
            return;
        }
        if (first == 0) return;
        text->push_back(static_cast<WChar>(first));
        *text += Text();
    }
    void Align4() {
        size_t a = (pos_ + 3) & ~size_t(3);
        // Padding past the end is tolerated only at the very end.
        pos_ = std::min(a, n_);
    }
    void Bytes(size_t k, std::vector<BYTE>* out) {
        if (pos_ + k > n_) {
            ok_ = false;
            return;
        }
        out->assign(p_ + pos_, p_ + pos_ + k);
        pos_ += k;
    }

private:
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
    bool ok_ = true;
};

WString ClassFromOrdinal(WORD ordinal) {
    switch (ordinal) {
        case 0x80:
            return u"BUTTON";
        case 0x81:
            return u"EDIT";
        case 0x82:
            return u"STATIC";
        case 0x83:
            return u"LISTBOX";
        case 0x84:
            return u"SCROLLBAR";
        case 0x85:
            return u"COMBOBOX";
        default:
            return u"";
    }
}

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(const void* data, size_t size,
                                                  std::string* error) {
    auto fail = [&](const char* why) -> std::optional<DialogTemplate> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (!data || size < 18) return fail("dialog template too short");
    Reader r(static_cast<const uint8_t*>(data), size);
    DialogTemplate t;
    WORD dlgVer = r.Get<WORD>();
    WORD signature = r.Get<WORD>();
    t.extended = dlgVer == 1 && signature == 0xFFFF;
    if (t.extended) {
        t.helpId = r.Get<DWORD>();
        t.exStyle = r.Get<DWORD>();
        t.style = r.Get<DWORD>();
    } else {
        t.style = DWORD(dlgVer) | (DWORD(signature) << 16);
        t.exStyle = r.Get<DWORD>();
    }
    WORD count = r.Get<WORD>();
    t.x = r.Get<int16_t>();
    t.y = r.Get<int16_t>();
    t.cx = r.Get<int16_t>();
    t.cy = r.Get<int16_t>();
    r.NameOrOrdinal(&t.menu, &t.menuOrdinal);
    WORD classOrdinal = 0;
    r.NameOrOrdinal(&t.className, &classOrdinal);
    if (classOrdinal) t.className = ClassFromOrdinal(classOrdinal);
    t.title = r.Text();
    if (t.style & DS_SETFONT) {
        t.hasFont = true;
        t.pointSize = r.Get<WORD>();
        if (t.extended) {
            t.weight = r.Get<WORD>();
            t.italic = r.Get<BYTE>();
            t.charset = r.Get<BYTE>();
        }
        t.faceName = r.Text();
    }
    if (!r.ok()) return fail("dialog template header truncated");
    for (WORD i = 0; i < count; ++i) {
        r.Align4();
        DialogItemTemplate it;
        if (t.extended) {
            it.helpId = r.Get<DWORD>();
            it.exStyle = r.Get<DWORD>();
            it.style = r.Get<DWORD>();
        } else {
            it.style = r.Get<DWORD>();
            it.exStyle = r.Get<DWORD>();
        }
        it.x = r.Get<int16_t>();
        it.y = r.Get<int16_t>();
        it.cx = r.Get<int16_t>();
        it.cy = r.Get<int16_t>();
        it.id = t.extended ? r.Get<DWORD>() : r.Get<WORD>();
        WORD cls = 0;
        r.NameOrOrdinal(&it.className, &cls);
        if (cls) {
            it.className = ClassFromOrdinal(cls);
            if (it.className.empty()) return fail("unknown control class ordinal");
        }
        r.NameOrOrdinal(&it.title, &it.titleOrdinal);
        WORD extra = r.Get<WORD>();
        if (extra) {
            // The classic form counts the size word itself; the extended does not.
            size_t k = t.extended ? extra : (extra >= 2 ? extra - 2u : 0u);
            r.Bytes(k, &it.creationData);
        }
        if (!r.ok()) return fail("dialog item truncated");
        if (it.className.empty()) return fail("dialog item without a class");
        t.items.push_back(std::move(it));
    }
    return t;
}

// ---------------------------------------------------------------- manager

namespace {

int g_sysBaseX = 6;
int g_sysBaseY = 13;
std::deque<win::ModalHook> g_hooks;

struct DialogState : ControlState {
    int baseX = 6, baseY = 13;
    bool ended = false;
    bool modal = false;
    intptr_t result = 0;
    int defId = IDOK;
    bool defIdSet = false;
    HWND savedFocus = nullptr;
    WString fontName;
    int fontPoints = 0;
};

DialogState* StateOf(HWND dlg) {
    return Control<DialogState>(dlg);
}

HWND CreateFromTemplate(HINSTANCE instance, const DialogTemplate& t, HWND parent, DLGPROC proc,
                        LPARAM initParam) {
    SIZE base{g_sysBaseX, g_sysBaseY};
    if (t.hasFont) base = win::DialogBaseUnitsForFont(t.pointSize);
    auto px = [&](int v) { return win::DialogUnitsToPixels(v, base.cx, 4); };
    auto py = [&](int v) { return win::DialogUnitsToPixels(v, base.cy, 8); };
    DWORD style = t.style & ~WS_VISIBLE;
    RECT m = GetNonClientMargins(style, t.exStyle);
    int w = px(t.cx) + m.left + m.right;
    int h = py(t.cy) + m.top + m.bottom;
    int x = px(t.x), y = py(t.y);
    if (parent && !(style & WS_CHILD)) {
        RECT pr;
        GetWindowRect(parent, &pr);
        x += pr.left;
        y += pr.top;
    }
    WString cls = t.className.empty() ? WString(kDialogClass) : t.className;
    HWND dlg = CreateWindowEx(t.exStyle, cls.c_str(), t.title.c_str(), style, x, y, w, h, parent,
                              nullptr, instance, nullptr);
    if (!dlg) return nullptr;
    Window* wnd = Find(dlg);
    if (!wnd->control) wnd->control = std::make_unique<DialogState>();
    DialogState* st = StateOf(dlg);
    if (!st) {
        DestroyWindow(dlg);
        return nullptr;
    }
    st->baseX = base.cx;
    st->baseY = base.cy;
    st->fontName = t.faceName;
    st->fontPoints = t.pointSize;
    SetWindowLongPtr(dlg, DWLP_DLGPROC, reinterpret_cast<intptr_t>(proc));
    if (style & DS_CENTER) CenterWindow(dlg, parent);
    for (const auto& it : t.items) {
        DWORD cs = (it.style | WS_CHILD);
        HWND c = CreateWindowEx(
            it.exStyle, it.className.c_str(), it.title.c_str(), cs, px(it.x), py(it.y), px(it.cx),
            py(it.cy), dlg, reinterpret_cast<HMENU>(static_cast<uintptr_t>(it.id)), instance,
            it.creationData.empty() ? nullptr : const_cast<BYTE*>(it.creationData.data()));
        if (!IsWindow(dlg)) return nullptr;
        if (!c) {
            DestroyWindow(dlg);
            return nullptr;
        }
        if ((it.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
            text::EqualsNoCase(it.className, u"BUTTON") && !st->defIdSet) {
            st->defId = static_cast<int>(it.id);
            st->defIdSet = true;
        }
    }
    HWND first = GetNextDlgTabItem(dlg, nullptr, false);
    LRESULT focusDefault =
        SendMessage(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam);
    if (!IsWindow(dlg)) return nullptr;
    if (t.style & WS_VISIBLE) ShowWindow(dlg, SW_SHOW);
    if (focusDefault && first && IsWindow(first)) {
        SetFocus(first);
        if (SendMessage(first, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
            SendMessage(first, EM_SETSEL, 0, -1);
    }
    return IsWindow(dlg) ? dlg : nullptr;
}

intptr_t RunModal(HWND dlg, HWND parent) {
    // A modal window takes the pen: whoever held it (a drag in progress)
    // loses it as the dialog opens.
    ReleaseCapture();
    DialogState* st = StateOf(dlg);
    st->modal = true;
    HWND owner = parent;
    while (owner && (GetWindowLongPtr(owner, GWL_STYLE) & WS_CHILD)) owner = GetParent(owner);
    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, false);
    if (!IsWindowVisible(dlg)) ShowWindow(dlg, SW_SHOW);
    if (!g_hooks.empty()) {
        win::ModalHook hook = std::move(g_hooks.front());
        g_hooks.pop_front();
        if (IsWindow(dlg)) hook(dlg);
    }
    while (IsWindow(dlg) && StateOf(dlg) && !StateOf(dlg)->ended) {
        MSG m;
        if (!GetMessage(&m, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(m.wParam));  // let the outer loop end too
            break;
        }
        if (win::PreTranslate(&m)) continue;
        if (!IsDialogMessage(dlg, &m)) {
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
    }
    intptr_t result = IDCANCEL;
    if (DialogState* s = StateOf(dlg)) result = s->ended ? s->result : IDCANCEL;
    // The owner is enabled again before the dialog goes, so that it gets
    // the activation and its focus back.
    if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, true);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    if (IsWindow(owner)) {
        SetActiveWindow(owner);
        if (!GetFocus() && IsWindow(owner)) SetFocus(owner);
    }
    return result;
}

bool IsTabStop(HWND h) {
    DWORD s = static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE));
    return (s & WS_TABSTOP) && (s & WS_VISIBLE) && !(s & WS_DISABLED);
}

}  // namespace

HWND CreateDialogIndirectParam(HINSTANCE instance, const void* tmpl, size_t size, HWND parent,
                               DLGPROC proc, LPARAM initParam) {
    EnsureSystemClasses();
    auto t = ParseDialogTemplate(tmpl, size);
    if (!t) return nullptr;
    return CreateFromTemplate(instance, *t, parent, proc, initParam);
}

HWND CreateDialogParam(HINSTANCE instance, const WChar* name, HWND parent, DLGPROC proc,
                       LPARAM initParam) {
    auto bytes = res::FindResourceData(instance, res::RT_DIALOG, res::ResName::FromPointer(name));
    if (bytes.empty()) return nullptr;
    return CreateDialogIndirectParam(instance ? instance : res::GetResourceHandle(), bytes.data(),
                                     bytes.size(), parent, proc, initParam);
}

intptr_t DialogBoxIndirectParam(HINSTANCE instance, const void* tmpl, size_t size, HWND parent,
                                DLGPROC proc, LPARAM initParam) {
    HWND dlg = CreateDialogIndirectParam(instance, tmpl, size, parent, proc, initParam);
    if (!dlg) return -1;
    return RunModal(dlg, parent);
}

intptr_t DialogBoxParam(HINSTANCE instance, const WChar* name, HWND parent, DLGPROC proc,
                        LPARAM initParam) {
    HWND dlg = CreateDialogParam(instance, name, parent, proc, initParam);
    if (!dlg) return -1;
    return RunModal(dlg, parent);
}

HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogTemplate& tmpl, HWND parent,
                              DLGPROC proc, LPARAM initParam) {
    EnsureSystemClasses();
    return CreateFromTemplate(instance, tmpl, parent, proc, initParam);
}

intptr_t DialogBoxFromTemplate(HINSTANCE instance, const DialogTemplate& tmpl, HWND parent,
                               DLGPROC proc, LPARAM initParam) {
    HWND dlg = CreateDialogFromTemplate(instance, tmpl, parent, proc, initParam);
    if (!dlg) return -1;
    return RunModal(dlg, parent);
}

std::vector<uint8_t> SerializeDialogTemplate(const DialogTemplate& t) {
    std::vector<uint8_t> b;
    auto u8 = [&](uint8_t v) { b.push_back(v); };
    auto u16 = [&](uint16_t v) {
        b.push_back(static_cast<uint8_t>(v & 0xFF));
        b.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(static_cast<uint16_t>(v & 0xFFFF));
        u16(static_cast<uint16_t>(v >> 16));
    };
    auto text = [&](const WString& s) {
        for (WChar c : s) u16(c);
        u16(0);
    };
    auto nameOrOrdinal = [&](const WString& s, WORD ordinal) {
        if (ordinal) {
            u16(0xFFFF);
            u16(ordinal);
        } else {
            text(s);
        }
    };
    auto classOrdinal = [](const WString& cls) -> WORD {
        static const char16_t* names[] = {u"BUTTON",  u"EDIT",      u"STATIC",
                                          u"LISTBOX", u"SCROLLBAR", u"COMBOBOX"};
        for (WORD i = 0; i < 6; ++i)
            if (text::EqualsNoCase(cls, names[i])) return static_cast<WORD>(0x80 + i);
        return 0;
    };
    DWORD style = t.hasFont ? (t.style | DS_SETFONT) : (t.style & ~DS_SETFONT);
    if (t.extended) {
        u16(1);
        u16(0xFFFF);
        u32(t.helpId);
        u32(t.exStyle);
        u32(style);
    } else {
        u32(style);
        u32(t.exStyle);
    }
    u16(static_cast<uint16_t>(t.items.size()));
    u16(static_cast<uint16_t>(t.x));
    u16(static_cast<uint16_t>(t.y));
    u16(static_cast<uint16_t>(t.cx));
    u16(static_cast<uint16_t>(t.cy));
    nameOrOrdinal(t.menu, t.menuOrdinal);
    text(t.className);
    text(t.title);
    if (t.hasFont) {
        u16(t.pointSize);
        if (t.extended) {
            u16(t.weight);
            u8(t.italic);
            u8(t.charset);
        }
        text(t.faceName);
    }
    for (const auto& it : t.items) {
        while (b.size() % 4) b.push_back(0);
        if (t.extended) {
            u32(it.helpId);
            u32(it.exStyle);
            u32(it.style);
        } else {
            u32(it.style);
            u32(it.exStyle);
        }
        u16(static_cast<uint16_t>(it.x));
        u16(static_cast<uint16_t>(it.y));
        u16(static_cast<uint16_t>(it.cx));
        u16(static_cast<uint16_t>(it.cy));
        if (t.extended)
            u32(it.id);
        else
            u16(static_cast<uint16_t>(it.id));
        nameOrOrdinal(it.className, classOrdinal(it.className));
        nameOrOrdinal(it.title, it.titleOrdinal);
        size_t extra = it.creationData.size();
        if (extra) {
            u16(static_cast<uint16_t>(t.extended ? extra : extra + 2));
            b.insert(b.end(), it.creationData.begin(), it.creationData.end());
        } else {
            u16(0);
        }
    }
    return b;
}

bool EndDialog(HWND dialog, intptr_t result) {
    DialogState* st = StateOf(dialog);
    if (!st) return false;
    st->ended = true;
    st->result = result;
    if (st->modal) {
        ShowWindow(dialog, SW_HIDE);
        WakeThread(GetWindowThreadProcessId(dialog, nullptr));
    } else {
        ShowWindow(dialog, SW_HIDE);
    }
    return true;
}

LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtr(hwnd, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtr(hwnd, DWLP_MSGRESULT, 0);
        intptr_t handled = proc(hwnd, msg, wParam, lParam);
        if (!IsWindow(hwnd)) return handled;
        // These answer with the procedure's own result; the rest through
        // DWLP_MSGRESULT.
        bool direct =
            msg == WM_INITDIALOG || (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC);
        if (direct && (handled || msg == WM_INITDIALOG)) return handled;
        if (!direct && handled) return GetWindowLongPtr(hwnd, DWLP_MSGRESULT);
    } else if (msg == WM_INITDIALOG) {
        return TRUE;
    }
    DialogState* st = StateOf(hwnd);
    switch (msg) {
        case WM_CLOSE: {
            HWND cancel = GetDlgItem(hwnd, IDCANCEL);
            if (cancel && !IsWindowEnabled(cancel)) {
                MessageBeep(0);
                return 0;
            }
            PostMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                        reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case DM_GETDEFID:
            return st ? MAKELONG(static_cast<WORD>(st->defId), static_cast<WORD>(DC_HASDEFID)) : 0;
        case DM_SETDEFID:
            if (st) {
                // The push buttons follow: only the default one keeps the style.
                for (HWND c : GetChildren(hwnd)) {
                    if (!text::EqualsNoCase(GetClassNameText(c), u"BUTTON")) continue;
                    DWORD s = static_cast<DWORD>(GetWindowLongPtr(c, GWL_STYLE));
                    DWORD type = s & BS_TYPEMASK;
                    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) continue;
                    DWORD want = GetDlgCtrlID(c) == static_cast<int>(wParam) ? BS_DEFPUSHBUTTON
                                                                             : BS_PUSHBUTTON;
                    if (type != want) SendMessage(c, BM_SETSTYLE, want, TRUE);
                }
                st->defId = static_cast<int>(wParam);
                st->defIdSet = true;
            }
            return TRUE;
        case WM_ACTIVATE:
            if (st && !wParam) st->savedFocus = GetFocus();
            if (st && wParam && st->savedFocus && IsChild(hwnd, st->savedFocus))
                SetFocus(st->savedFocus);
            return 0;
        case WM_SETFOCUS:
            if (st && st->savedFocus && IsChild(hwnd, st->savedFocus)) {
                SetFocus(st->savedFocus);
            } else if (HWND first = GetNextDlgTabItem(hwnd, nullptr, false)) {
                SetFocus(first);
            }
            return 0;
        case WM_ERASEBKGND: {
            // The dialog procedure may give its own brush; else the face.
            auto b = reinterpret_cast<HBRUSH>(
                SendMessage(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
            if (!IsWindow(hwnd)) return 1;
            RECT rc;
            GetClientRect(hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wParam), &rc, b ? b : GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return 0;
        default:
            break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, bool previous) {
    std::vector<HWND> kids = GetChildren(dialog);
    if (kids.empty()) return nullptr;
    if (previous) std::reverse(kids.begin(), kids.end());
    auto it = control ? std::find(kids.begin(), kids.end(), control) : kids.end();
    size_t start = it == kids.end() ? 0 : static_cast<size_t>(it - kids.begin()) + 1;
    for (size_t k = 0; k < kids.size(); ++k) {
        HWND c = kids[(start + k) % kids.size()];
        if (IsTabStop(c)) return c;
    }
    return nullptr;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, bool previous) {
    std::vector<HWND> kids = GetChildren(dialog);
    auto it = std::find(kids.begin(), kids.end(), control);
    if (it == kids.end()) return nullptr;
    auto style = [](HWND h) { return static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE)); };
    // The group: from the WS_GROUP item at or before the control to before the next.
    auto first = it;
    while (first != kids.begin() && !(style(*first) & WS_GROUP)) --first;
    auto last = it + 1;
    while (last != kids.end() && !(style(*last) & WS_GROUP)) ++last;
    std::vector<HWND> group(first, last);
    if (previous) std::reverse(group.begin(), group.end());
    auto pos = std::find(group.begin(), group.end(), control);
    for (size_t k = 1; k <= group.size(); ++k) {
        HWND c = group[(static_cast<size_t>(pos - group.begin()) + k) % group.size()];
        if ((style(c) & WS_VISIBLE) && !(style(c) & WS_DISABLED)) return c;
    }
    return control;
}

bool IsDialogMessage(HWND dialog, MSG* msg) {
    if (!msg || !IsWindow(dialog)) return false;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return false;
    if (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) {
        LRESULT code = msg->hwnd ? SendMessage(msg->hwnd, WM_GETDLGCODE, msg->wParam,
                                               reinterpret_cast<LPARAM>(msg))
                                 : 0;
        UINT vk = static_cast<UINT>(msg->wParam);
        if (msg->message == WM_KEYDOWN && !(code & DLGC_WANTALLKEYS)) {
            if (vk == VK_RETURN) {
                int id = IDOK;
                HWND focus = GetFocus();
                LRESULT fcode = focus ? SendMessage(focus, WM_GETDLGCODE, 0, 0) : 0;
                if (focus && IsChild(dialog, focus) &&
                    (fcode & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
                    id = GetDlgCtrlID(focus);
                else if (LRESULT def = SendMessage(dialog, DM_GETDEFID, 0, 0);
                         HIWORD(static_cast<uintptr_t>(def)) == DC_HASDEFID)
                    id = LOWORD(static_cast<uintptr_t>(def));
                HWND button = GetDlgItem(dialog, id);
                if (button && !IsWindowEnabled(button)) {
                    MessageBeep(0);
                    return true;
                }
                SendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                            reinterpret_cast<LPARAM>(button));
                return true;
            }
            if (vk == VK_ESCAPE) {
                HWND cancel = GetDlgItem(dialog, IDCANCEL);
                SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                            reinterpret_cast<LPARAM>(cancel));
                return true;
            }
            if (vk == VK_TAB && !(code & DLGC_WANTTAB)) {
                HWND next = GetNextDlgTabItem(dialog, GetFocus(), false);
                if (next) {
                    SetFocus(next);
                    if (SendMessage(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                        SendMessage(next, EM_SETSEL, 0, -1);
                }
                return true;
            }
            if ((vk == VK_DOWN || vk == VK_UP || vk == VK_LEFT || vk == VK_RIGHT) &&
                !(code & DLGC_WANTARROWS)) {
                HWND focus = GetFocus();
                if (focus && IsChild(dialog, focus)) {
                    HWND next = GetNextDlgGroupItem(dialog, focus, vk == VK_UP || vk == VK_LEFT);
                    if (next && next != focus) {
                        SetFocus(next);
                        if (SendMessage(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
                            SendMessage(next, BM_CLICK, 0, 0);
                    }
                }
                return true;
            }
        }
        if (msg->message == WM_CHAR && !(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) &&
            (vk == u'\r' || vk == 0x1B || vk == u'\t'))
            return true;  // already acted on as a key press
    }
    TranslateMessage(msg);
    DispatchMessage(msg);
    return true;
}

LONG GetDialogBaseUnits() {
    return static_cast<LONG>(
        MAKELONG(static_cast<WORD>(g_sysBaseX), static_cast<WORD>(g_sysBaseY)));
}

bool MapDialogRect(HWND dialog, RECT* rect) {
    DialogState* st = StateOf(dialog);
    if (!st || !rect) return false;
    rect->left = win::DialogUnitsToPixels(rect->left, st->baseX, 4);
    rect->right = win::DialogUnitsToPixels(rect->right, st->baseX, 4);
    rect->top = win::DialogUnitsToPixels(rect->top, st->baseY, 8);
    rect->bottom = win::DialogUnitsToPixels(rect->bottom, st->baseY, 8);
    return true;
}

namespace win {

void SetSystemDialogBaseUnits(int baseX, int baseY) {
    g_sysBaseX = baseX;
    g_sysBaseY = baseY;
}

int DialogUnitsToPixels(int units, int base, int divisor) {
    constexpr int64_t kLimit = int64_t(1) << 24;
    return static_cast<int>(std::clamp<int64_t>(int64_t(units) * base / divisor, -kLimit, kLimit));
}

SIZE DialogBaseUnitsForFont(int pointSize) {
    // The handheld's 8-point dialog font measures 6 by 13 pixels at 96 dpi;
    // other sizes and screen resolutions scale with it.
    if (pointSize <= 0) return SIZE{g_sysBaseX, g_sysBaseY};
    int64_t dpi = std::clamp(gdi::GetScreenMetrics().logPixelsY, 1, 4800);
    auto scaled = [&](int64_t per8) {
        return static_cast<LONG>(std::min<int64_t>((pointSize * per8 * dpi + 384) / 768, 1 << 20));
    };
    return SIZE{scaled(6), scaled(13)};
}

bool IsDialogRunning(HWND dialog) {
    DialogState* st = StateOf(dialog);
    return st && !st->ended;
}

WString GetDialogFontName(HWND dialog) {
    DialogState* st = StateOf(dialog);
    return st ? st->fontName : WString();
}

int GetDialogFontPoints(HWND dialog) {
    DialogState* st = StateOf(dialog);
    return st ? st->fontPoints : 0;
}

void PressCaptionOk(HWND dialog) {
    PostMessage(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void PressCaptionClose(HWND dialog) {
    PostMessage(dialog, WM_CLOSE, 0, 0);
}

void PushModalHook(ModalHook hook) {
    g_hooks.push_back(std::move(hook));
}
void ClearModalHooks() {
    g_hooks.clear();
}

}  // namespace win

namespace win::detail {
void ResetDialogs() {
    g_hooks.clear();
    g_sysBaseX = 6;
    g_sysBaseY = 13;
}
}  // namespace win::detail
