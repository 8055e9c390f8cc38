#include "script/app/script_tool_item_object.h"

#include "platform/win/menu.h"
#include "platform/win/window.h"
#include "script/app/script_tool_bars.h"
#include "script/member_ids.h"
#include "shell/config/command_names.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/image_menu.h"

const InterfaceDesc& CScriptToolItemObject::Desc() {
    using C = CScriptToolItemObject;
    namespace p = dispid::prop;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IToolItem", ScriptLibGuid(kLibIToolItem))
            .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
            .PropGet(u"Count", p::Count, &C::get_Count)
            .PropGet(u"Enabled", p::Enabled, &C::get_Enabled, {}, VT_BOOL)
            .PropPut(u"Enabled", p::Enabled, &C::put_Enabled, {Param(u"Enabled", VT_BOOL)})
            .PropGet(u"Checked", p::Checked, &C::get_Checked, {}, VT_BOOL)
            .PropPut(u"Checked", p::Checked, &C::put_Checked, {Param(u"Checked", VT_BOOL)})
            .PropGet(u"Visible", p::Visible, &C::get_Visible, {}, VT_BOOL)
            .PropPut(u"Visible", p::Visible, &C::put_Visible, {Param(u"Visible", VT_BOOL)})
            .PropGet(u"ID", p::ID, &C::get_ID)
            .PropGet(u"Index", p::Index, &C::get_Index)
            .PropGet(u"Name", p::Name, &C::get_Name)
            .Method(u"Click", dispid::method::Click, &C::Click, {Param(u"Post", VT_BOOL).Optional(false)})
            .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
            .Build();
    return d;
}

const CoclassDesc& CScriptToolItemObject::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibToolItem), u"ToolItem", &Desc(),
                               ScriptEventInterface(kLibIToolItemEvents)};
    return c;
}

CScriptToolItemObject* CScriptToolItemObject::ForRecord(CScriptToolItem* record) {
    auto* o = new CScriptToolItemObject;
    o->m_record = record;
    o->m_id = record->GetId();
    o->m_name = record->GetName();
    return o;
}

CScriptToolItemObject* CScriptToolItemObject::ForCommand(UINT id, CToolBarExt* bar, CImageMenu* menu) {
    auto* o = new CScriptToolItemObject;
    o->m_id = id;
    o->m_bar = bar;
    o->m_menu = menu;
    return o;
}

namespace {

// The bar and menu pointers a script's object holds are checked against
// the frame's own before use: the frame may have destroyed them.
bool IsFrameBar(CToolBarExt* bar) {
    CCommandBars* bars = CScriptToolBars::FrameBars();
    if (!bar || !bars) return false;
    for (const auto& b : bars->GetBars())
        if (b->m_bar == bar) return bar->GetSafeHwnd() != nullptr;
    return false;
}

bool IsFrameMenu(CImageMenu* menu) {
    CCommandBars* bars = CScriptToolBars::FrameBars();
    if (!menu || !bars) return false;
    for (const auto& b : bars->GetBars())
        for (const auto& m : b->m_menus)
            if (m.get() == menu) return true;
    return false;
}

CCommandBarInfo* InfoOfBar(CToolBarExt* bar) {
    CCommandBars* bars = CScriptToolBars::FrameBars();
    if (!bars) return nullptr;
    for (const auto& b : bars->GetBars())
        if (b->m_bar == bar) return b.get();
    return nullptr;
}

int MenuCount(CImageMenu* menu) { return menu && menu->GetHandle() ? GetMenuItemCount(menu->GetHandle()) : 0; }

// MF_* state bits, or -1 when the menu has no such item.
int MenuState(CImageMenu* menu, UINT id) {
    if (!menu || !menu->GetHandle()) return -1;
    return static_cast<int>(GetMenuState(menu->GetHandle(), id, MF_BYCOMMAND));
}

// TBSTATE_* bits, or -1 when the bar has no such button.
int ButtonState(CToolBarExt* bar, UINT id) {
    if (!bar || bar->CommandToIndex(id) < 0) return -1;
    return static_cast<int>(SendMessage(bar->GetSafeHwnd(), TB_GETSTATE, id, 0));
}

HRESULT Hand(CScriptToolItemObject* object, IDispatch** out) {
    *out = object;
    object->AddRef();
    return S_OK;
}

}  // namespace

CToolBarExt* CScriptToolItemObject::Bar() const {
    CToolBarExt* bar = m_record ? m_record->m_bar : m_bar;
    return IsFrameBar(bar) ? bar : nullptr;
}

CImageMenu* CScriptToolItemObject::Menu() const {
    CImageMenu* menu = m_record ? m_record->m_menu : m_menu;
    return IsFrameMenu(menu) ? menu : nullptr;
}

int CScriptToolItemObject::ButtonIndex() const {
    CToolBarExt* bar = Bar();
    return bar ? bar->CommandToIndex(m_id) : -1;
}

CImageMenu* CScriptToolItemObject::DropDownMenu() const {
    int button = ButtonIndex();
    if (button < 0) return nullptr;
    CCommandBars* bars = CScriptToolBars::FrameBars();
    return bars->FindButtonMenu(InfoOfBar(Bar()), button);
}

HRESULT CScriptToolItemObject::get__NewEnum(IUnknown** out) {
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptToolItemObject::get_Count(int32_t* out) {
    *out = MenuCount(DropDownMenu());
    return S_OK;
}

HRESULT CScriptToolItemObject::get_Enabled(int16_t* out) {
    if (m_record) {
        *out = m_record->m_enabled ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (CToolBarExt* bar = Bar()) {
        int state = ButtonState(bar, m_id);
        if (state < 0) return E_FAIL;
        *out = state & TBSTATE_ENABLED ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    // A menu item reads as enabled whenever it is there, greyed or not.
    if (MenuState(Menu(), m_id) < 0) return E_FAIL;
    *out = VARIANT_TRUE;
    return S_OK;
}

HRESULT CScriptToolItemObject::put_Enabled(int16_t value) {
    if (!m_record) return E_ACCESSDENIED;
    m_record->m_enabled = value != 0;
    return S_OK;
}

HRESULT CScriptToolItemObject::get_Checked(int16_t* out) {
    if (m_record) {
        *out = m_record->m_checked ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (CToolBarExt* bar = Bar()) {
        int state = ButtonState(bar, m_id);
        if (state < 0) return E_FAIL;
        *out = state & TBSTATE_CHECKED ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    int state = MenuState(Menu(), m_id);
    if (state < 0) return E_FAIL;
    *out = state & MF_CHECKED ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptToolItemObject::put_Checked(int16_t value) {
    if (!m_record) return E_ACCESSDENIED;
    m_record->m_checked = value != 0;
    return S_OK;
}

HRESULT CScriptToolItemObject::get_Visible(int16_t* out) {
    if (CToolBarExt* bar = Bar()) {
        int state = ButtonState(bar, m_id);
        if (state < 0) return E_FAIL;
        *out = state & TBSTATE_HIDDEN ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
    }
    *out = VARIANT_TRUE;
    return S_OK;
}

HRESULT CScriptToolItemObject::put_Visible(int16_t value) {
    if (CToolBarExt* bar = Bar()) {
        if (ButtonState(bar, m_id) < 0) return E_FAIL;
        SendMessage(bar->GetSafeHwnd(), TB_HIDEBUTTON, m_id, value ? 0 : 1);
        return S_OK;
    }
    // A menu item cannot be hidden.
    return Menu() ? E_FAIL : S_OK;
}

HRESULT CScriptToolItemObject::get_ID(int32_t* out) {
    *out = static_cast<int32_t>(m_id);
    return S_OK;
}

HRESULT CScriptToolItemObject::get_Index(int32_t* out) {
    if (CToolBarExt* bar = Bar()) {
        *out = bar->CommandToIndex(m_id) + 1;
        return S_OK;
    }
    if (CImageMenu* menu = Menu()) {
        *out = menu->GetItemIndex(m_id) + 1;
        return S_OK;
    }
    *out = -1;
    return S_OK;
}

HRESULT CScriptToolItemObject::get_Name(BSTR* out) {
    if (m_name.empty() && m_id < kFirstConfiguredCommand) {
        const WChar* name = CommandNameFromId(static_cast<int>(m_id));
        m_name = name ? name : u"???";
    }
    *out = SysAllocString(m_name);
    return S_OK;
}

HRESULT CScriptToolItemObject::Click(int16_t post) {
    if (m_id == 0) return E_FAIL;
    HWND main = win::GetMainWindow();
    if (!main) return E_FAIL;
    if (post) PostMessage(main, WM_COMMAND, m_id, 0);
    else SendMessage(main, WM_COMMAND, m_id, 0);
    return S_OK;
}

HRESULT CScriptToolItemObject::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CImageMenu* menu = DropDownMenu();
    if (!menu) return E_FAIL;
    return FindToolItem(index, nullptr, menu, E_FAIL, out);
}

HRESULT FindToolItem(const VARIANT& index, CToolBarExt* bar, CImageMenu* menu, HRESULT numberError,
                     IDispatch** out) {
    *out = nullptr;
    CCommandBars* bars = CScriptToolBars::FrameBars();
    if (!bars) return E_FAIL;
    const VARIANT* v = VariantDeref(&index);
    int id = 0;
    if (v->vt == VT_BSTR) {
        WStringView name = BstrView(v->bstrVal);
        if (CScriptToolItem* record = bars->FindCommandByName(name)) {
            *out = record->GetDispatch();
            (*out)->AddRef();
            return S_OK;
        }
        id = CommandIdFromName(name);
        if (id <= 0) return E_INVALIDARG;
    } else {
        ComVariant n;
        if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return numberError;
        const int count = bar ? bar->GetCount() : MenuCount(menu);
        if (n.lVal < 1 || n.lVal > count) return E_INVALIDARG;
        id = bar ? static_cast<int>(bar->GetItemID(n.lVal - 1))
                 : static_cast<int>(GetMenuItemID(menu->GetHandle(), n.lVal - 1));
    }
    if (CScriptToolItem* record = bars->GetCommandById(static_cast<UINT>(id))) {
        *out = record->GetDispatch();
        (*out)->AddRef();
        return S_OK;
    }
    return Hand(CScriptToolItemObject::ForCommand(static_cast<UINT>(id), bar, menu), out);
}

IDispatch* CToolItemObjectFactory::CreateToolItemObject(CScriptToolItem* item) {
    auto* object = CScriptToolItemObject::ForRecord(item);
    object->AddRef();
    return object;
}

void CToolItemObjectFactory::ForgetToolItem(IDispatch* object) {
    ComPtr<IDispatch> typed;
    if (object && SUCCEEDED(object->QueryInterface(CScriptToolItemObject::Desc().iid, typed.ReceiveVoid())))
        static_cast<CScriptToolItemObject*>(typed.Get())->ForgetRecord();
}
