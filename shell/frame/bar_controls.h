// The toolbar, rebar and toolbar-resource classes of the command bars.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"
#include "platform/win/commctrl.h"
#include "platform/win/frame_wnd.h"
#include "platform/win/framework.h"

// Control-bar styles: where a bar docks and which of its edges has a border.
constexpr DWORD CBRS_BORDER_LEFT = 0x0100;
constexpr DWORD CBRS_BORDER_TOP = 0x0200;
constexpr DWORD CBRS_BORDER_RIGHT = 0x0400;
constexpr DWORD CBRS_BORDER_BOTTOM = 0x0800;
using win::CBRS_ALIGN_ANY;
using win::CBRS_ALIGN_BOTTOM;
using win::CBRS_ALIGN_LEFT;
using win::CBRS_ALIGN_RIGHT;
using win::CBRS_ALIGN_TOP;
constexpr DWORD CBRS_TOOLTIPS = 0x0010;
constexpr DWORD CBRS_FLYBY = 0x0020;
constexpr DWORD CBRS_VISIBLE = 0x00400000;  // kept with the style, never a window style
constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM;
constexpr DWORD CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP;
constexpr DWORD CBRS_LEFT = CBRS_ALIGN_LEFT | CBRS_BORDER_RIGHT;
constexpr DWORD CBRS_RIGHT = CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT;

// A toolbar resource (type 241): 16-bit words version, image width, image
// height, count, then the command ids (0 a separator).
class CToolBarResource {
public:
    // False when the resource is missing or malformed.
    bool Load(UINT id, HINSTANCE module = nullptr);
    // The image of a command: its position among the non-zero ids; -1 when
    // the resource does not list it.
    int ImageIndexOf(UINT command) const;
    WORD GetImageWidth() const { return m_width; }
    WORD GetImageHeight() const { return m_height; }
    const std::vector<WORD>& GetCommands() const { return m_ids; }

private:
    WORD m_width = 0, m_height = 0;
    std::vector<WORD> m_ids;
};

// A button's style as one value: the low byte the button style, 0x200 the
// wrap flag, the high word the button state.
class CToolBarExt : public win::Wnd {
public:
    // `barStyle` holds the control-bar bits (CBRS_*).
    bool Create(HWND parent, DWORD toolbarStyle, DWORD barStyle, UINT id);
    // Buttons and images from the toolbar resource and bitmap of that id.
    bool LoadToolBar(UINT id);
    DWORD GetBarStyle() const { return m_barStyle; }
    void SetBarStyle(DWORD style) { m_barStyle = style; }

    int GetCount() const;
    UINT GetItemID(int index) const;
    int CommandToIndex(UINT id) const;
    // In the bar's client coordinates.
    RECT GetItemRect(int index) const;
    DWORD GetButtonStyle(int index) const;
    void SetButtonStyle(int index, DWORD style);
    int GetButtonImage(int index) const;
    // The button takes the command and image.
    void SetButtonInfo(int index, UINT id, int image);
    // A value with bit 31 set names a command id in its lower 31 bits,
    // otherwise it is a button index. The style is written only when it
    // changes; false when there is no such button.
    bool SetButtonStyleBits(UINT indexOrCommand, DWORD clear, DWORD set);
    // Deletes the buttons of the commands listed up to the terminating 0.
    void DeleteButtons(const UINT* commands);
    // The standard button size.
    SIZE GetButtonSize() const;
    // The height the bar needs in a row of the strip (on a vertical strip,
    // the width it needs in a column).
    int GetFixedHeight() const;
    bool IsVisible() const;

private:
    DWORD m_barStyle = 0;
};

// The command-bar strip.
class CReBarExt : public win::Wnd {
public:
    ~CReBarExt() override;
    // Window styles plus the rebar control styles; `barStyle` the alignment.
    bool Create(HWND parent, DWORD controlStyle, DWORD windowStyle, DWORD barStyle, UINT id);
    DWORD GetBarStyle() const { return m_barStyle; }
    // The band image list: bitmap 240, 7-pixel images, 0xBFBFBF transparent.
    bool CreateImageList();
    HIMAGELIST GetImageList() const { return m_images; }
    // Appends a band holding the bar; the band's data keeps a copy of its
    // name. On a vertical strip every button of the bar gets the wrap bit
    // first.
    bool AddBar(CToolBarExt* bar, int image, int width, const WChar* text, UINT bandStyle,
                const WChar* bandName);
    int GetBandCount() const;
    // The band of that name, -1 when none; without case when caseSensitive
    // is false.
    int FindBand(WStringView name, bool caseSensitive) const;
    int FindBandOf(HWND child) const;
    // At most 256 characters; a negative index does nothing.
    bool SetBandText(int index, const WChar* text);
    WString GetBandText(int index) const;
    UINT GetBandStyle(int index) const;
    void SetBandStyle(int index, UINT style);
    void ShowBand(int index, bool show);
    bool IsVertical() const;

private:
    HIMAGELIST m_images = nullptr;
    DWORD m_barStyle = 0;
    std::vector<std::unique_ptr<WString>> m_names;
};
