// The colour chooser ("Color Designer"): three scroll bars, a 125-colour
// palette of which the dialog places 41, and the new and old swatches; and
// the owner-drawn colour button that opens it.
#pragma once

#include "core/dialog_ext.h"
#include "platform/gdi/owned.h"
#include "platform/win/controls.h"

// Colours chosen with OK carry this bit; callers keep the value as it is.
constexpr COLORREF kPaletteColorMarker = 0x02000000;

// The palette colour of a swatch id 1000 to 1124, with the marker; 0 for
// other ids.
COLORREF PaletteColor(int id);

// Runs the chooser with an initial colour: the chosen colour (with the
// marker) on OK or a tap on the new swatch, the initial colour on Cancel.
COLORREF ShowColorPicker(HWND parent, COLORREF colour);
// The same with the colour in and out of a record: IDOK or IDCANCEL.
int ShowColorPicker(HWND parent, COLORREF* colour);

class CColorPickerDlg : public CDialogExt {
public:
    CColorPickerDlg(HWND parent, COLORREF initial);
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The colour of the scroll bars (without the marker).
    COLORREF GetCurrentColor() const;
    COLORREF GetResult() const { return m_result; }

private:
    void SetBars(COLORREF colour);
    void OnScroll(HWND bar, WORD code, int thumb);
    void DrawSwatch(const DRAWITEMSTRUCT& dis);

    COLORREF m_initial;
    COLORREF m_result;
};

// An owner-drawn button that shows a colour and opens the chooser.
class CColorButton : public win::Wnd {
public:
    CColorButton();
    ~CColorButton() override;

    bool SubclassDlgItem(int id, HWND parent) { return Attach(::GetDlgItem(parent, id)); }
    COLORREF GetColor() const { return m_color; }
    void SetColor(COLORREF colour);

    // The owner passes on its WM_DRAWITEM and WM_COMMAND: true when they
    // were this button's.
    bool OnParentDrawItem(LPARAM lParam);
    bool OnParentCommand(WPARAM wParam, LPARAM lParam);
    // Runs the chooser with the button's colour and keeps the result.
    void OnClicked();

    // The button's face: bevel, colour swatch (unless disabled) and focus dots.
    static void Draw(HDC dc, const RECT& item, UINT state, COLORREF colour, HBRUSH face,
                     HPEN gray);

private:
    COLORREF m_color = 0;
    gdi::OwnedBrush m_faceBrush;
    gdi::OwnedPen m_grayPen;
};
