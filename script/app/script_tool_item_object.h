// ToolItem: a command of a toolbar button or a menu item. A configured
// command has one object for its life, made with its record (the state
// flags it reads and writes are the record's); any other command gets a new
// object per request, tied to the bar or the drop-down menu it was found in.
#pragma once

#include "platform/types.h"
#include "script/script_object.h"
#include "shell/frame/command_bars.h"

class CImageMenu;
class CToolBarExt;

class CScriptToolItemObject : public CScriptConnectable<CScriptToolItemObject> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    // A configured command's object.
    static CScriptToolItemObject* ForRecord(CScriptToolItem* record);
    // Another command's, found in a bar or in a menu.
    static CScriptToolItemObject* ForCommand(UINT id, CToolBarExt* bar, CImageMenu* menu);

    HRESULT get__NewEnum(IUnknown** out);
    HRESULT get_Count(int32_t* out);
    HRESULT get_Enabled(int16_t* out);
    HRESULT put_Enabled(int16_t value);
    HRESULT get_Checked(int16_t* out);
    HRESULT put_Checked(int16_t value);
    HRESULT get_Visible(int16_t* out);
    HRESULT put_Visible(int16_t value);
    HRESULT get_ID(int32_t* out);
    HRESULT get_Index(int32_t* out);
    HRESULT get_Name(BSTR* out);
    HRESULT Click(int16_t post);
    HRESULT Item(VARIANT index, IDispatch** out);

    // The record is going away.
    void ForgetRecord() { m_record = nullptr; }

private:
    friend class DispatchObject<CScriptToolItemObject>;
    CScriptToolItemObject() = default;
    ~CScriptToolItemObject() override = default;

    // Where the command shows, while the main frame still has it.
    CToolBarExt* Bar() const;
    CImageMenu* Menu() const;
    // The drop-down menu of the command's button, null when none.
    CImageMenu* DropDownMenu() const;
    int ButtonIndex() const;  // -1 when the bar has no such button
    bool IsConfigured() const { return m_record != nullptr; }

    UINT m_id = 0;
    CScriptToolItem* m_record = nullptr;  // configured commands
    CToolBarExt* m_bar = nullptr;         // not owned
    CImageMenu* m_menu = nullptr;         // not owned
    WString m_name;
};

// Finds a command of a bar (menu null) or of a drop-down menu by a name or a
// 1-based position, and gives its object with one reference. `numberError`
// is what a position that is no number gives.
HRESULT FindToolItem(const VARIANT& index, CToolBarExt* bar, CImageMenu* menu, HRESULT numberError,
                     IDispatch** out);

// The factory of configured commands' objects.
class CToolItemObjectFactory : public IToolItemObjectFactory {
public:
    IDispatch* CreateToolItemObject(CScriptToolItem* item) override;
    void ForgetToolItem(IDispatch* object) override;
};
