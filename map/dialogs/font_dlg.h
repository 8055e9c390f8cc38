// The Font dialog: a face from the display's families, a size in points
// (4 to 72), bold, italic, underline and strike-out, and a character set,
// with a sample of the choice. The label pages and the option pages edit
// font records through ChooseFontDlg.
#pragma once

#include "core/dialog_ext.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"

class CFontDlg : public CDialogExt {
public:
    explicit CFontDlg(const LOGFONT& font, HWND parent = nullptr);
    ~CFontDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;

    // The record as the controls give it; after OK, the user's choice.
    const LOGFONT& GetFont() const { return m_font; }
    HFONT GetSampleFont() const { return m_sampleFont.get(); }

protected:
    void OnDestroy() override;

private:
    void FillFaces();
    void FillCharSets();
    // Rebuilds the record from the controls and shows it on the sample.
    void UpdateSample();

    LOGFONT m_font;
    int m_size = 0;
    int m_bold = 0;
    int m_italic = 0;
    int m_underline = 0;
    int m_strikeOut = 0;
    gdi::OwnedFont m_sampleFont;
    // Until the controls are filled their notifications change nothing.
    bool m_filling = true;
};

// Runs the Font dialog on a copy of `font`; on OK the copy replaces it and
// the answer is true.
bool ChooseFontDlg(HWND parent, LOGFONT& font);


// Adds "Solid" and "Dash" to the drop-down list `id` of `dialog`, so that an
// entry's index is its pen style (0 solid, 1 dash).
void FillLineStyleCombo(HWND dialog, int id);
