#include "script/app/script_common_dialog.h"

#include "core/color_picker.h"
#include "core/dialog_ext.h"
#include "core/shell_helpers.h"
#include "platform/win/window.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptCommonDialog::Desc() {
    using C = CScriptCommonDialog;
    namespace cd = dispid::commondialog;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ICommonDialog", ScriptLibGuid(kLibICommonDialog))
            .Method(u"ShowOpen", cd::ShowOpen, &C::ShowOpen,
                    {Param(u"DefExt").Optional(u""), Param(u"Filter").Optional(u"All Files|*.*||"),
                     Param(u"Title").Optional(u"Open"), Param(u"Flags").Optional(int32_t{0})})
            .Method(u"ShowSave", cd::ShowSave, &C::ShowSave,
                    {Param(u"DefFileName").Optional(u""), Param(u"DefExt").Optional(u""),
                     Param(u"Filter").Optional(u"All Files|*.*||"), Param(u"Title").Optional(u"Save"),
                     Param(u"Flags").Optional(int32_t{0})})
            .Method(u"ShowColor", cd::ShowColor, &C::ShowColor,
                    {Param(u"DefColor").Optional(int32_t{0}), Param(u"Flags").Optional(int32_t{0})})
            .Method(u"ShowSIP", cd::ShowSIP, &C::ShowSIP, {Param(u"Visible", VT_BOOL).Optional(true)},
                    VT_BOOL)
            .Build();
    return d;
}

const CoclassDesc& CScriptCommonDialog::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibCommonDialog), u"CommonDialog", &Desc(), nullptr};
    return c;
}

HRESULT CScriptCommonDialog::ShowFile(bool open, BSTR defFileName, BSTR defExt, BSTR filter, BSTR title,
                                      int32_t flags, VARIANT* out) {
    // The framework's filter ends with a doubled bar; a script's usually
    // does not, and extra bars end the list without adding entries.
    WString filterText = WString(BstrView(filter)) + u"||";
    WString ext(BstrView(defExt)), name(BstrView(defFileName));
    // Hide read-only and prompt before overwriting unless the script asks otherwise.
    const DWORD useFlags = flags ? static_cast<DWORD>(flags) : 6;
    CFileDialogEx dialog(open, ext.c_str(), name.empty() ? nullptr : name.c_str(), useFlags,
                         filterText.c_str(), win::GetMainWindow());
    dialog.m_ofn.title = WString(BstrView(title));
    VariantClear(out);
    if (dialog.DoModal() == IDOK) VariantFromString(out, dialog.GetPathName());
    return S_OK;
}

HRESULT CScriptCommonDialog::ShowOpen(BSTR defExt, BSTR filter, BSTR title, int32_t flags, VARIANT* out) {
    return ShowFile(true, nullptr, defExt, filter, title, flags, out);
}

HRESULT CScriptCommonDialog::ShowSave(BSTR defFileName, BSTR defExt, BSTR filter, BSTR title, int32_t flags,
                                      VARIANT* out) {
    return ShowFile(false, defFileName, defExt, filter, title, flags, out);
}

HRESULT CScriptCommonDialog::ShowColor(int32_t defColor, int32_t, VARIANT* out) {
    COLORREF colour = ShowColorPicker(win::GetMainWindow(), static_cast<COLORREF>(defColor));
    VariantClear(out);
    VariantFromLong(out, static_cast<int32_t>(colour));
    return S_OK;
}

HRESULT CScriptCommonDialog::ShowSIP(int16_t visible, int16_t* out) {
    constexpr int kSipUp = 0, kSipDown = 1;  // the shell's raise and lower requests
    *out = SipPreference(win::GetMainWindow(), visible ? kSipUp : kSipDown) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
