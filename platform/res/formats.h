// Readers of the resource kinds beyond strings and dialogs: menus, toolbars,
// bitmaps (DIBs without a file header) and icons. Every reader checks its
// counts and sizes against the bytes and returns nullopt for a malformed one.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "platform/res/resource.h"

namespace res {

constexpr WORD MF_GRAYED = 0x0001;
constexpr WORD MF_DISABLED = 0x0002;
constexpr WORD MF_CHECKED = 0x0008;
constexpr WORD MF_POPUP = 0x0010;
constexpr WORD MF_MENUBARBREAK = 0x0020;
constexpr WORD MF_MENUBREAK = 0x0040;
constexpr WORD MF_END = 0x0080;

struct MenuItem {
    WORD flags = 0;  // MF_* of the template, MF_END removed
    WORD id = 0;     // 0 for pop-ups and separators
    WString text;    // empty for a separator
    std::vector<MenuItem> children;
    bool IsSeparator() const { return !(flags & MF_POPUP) && id == 0 && text.empty(); }
};

// A menu template (the standard form): the top-level items.
std::optional<std::vector<MenuItem>> ParseMenu(std::span<const uint8_t> data);

// A toolbar resource of 16-bit words: version 1, button image width and
// height, the count and the command ids (0 a separator). Refused when the
// version is not 1 or the image size is empty.
struct Toolbar {
    WORD width = 0;
    WORD height = 0;
    std::vector<WORD> ids;
};
std::optional<Toolbar> ParseToolbar(std::span<const uint8_t> data);

// A device-independent bitmap: header values and where the colour table and
// the pixels start in the data.
struct DibInfo {
    int32_t width = 0;
    int32_t height = 0;  // negative: top-down rows
    WORD bitCount = 0;
    DWORD compression = 0;
    DWORD colorsUsed = 0;  // entries in the colour table
    size_t headerSize = 0;
    size_t colorTableOffset = 0;
    size_t bitsOffset = 0;
    size_t stride = 0;      // bytes per row, DWORD-aligned
    size_t maskOffset = 0;  // icon images: the 1-bit AND mask after the colour rows
};
// An icon image's height counts the colour rows and the mask rows; with
// `iconImage` the result's height is that of the picture alone.
std::optional<DibInfo> ParseDib(std::span<const uint8_t> data, bool iconImage = false);

// One image of an icon group.
struct IconEntry {
    int width = 0;
    int height = 0;
    WORD bitCount = 0;
    WORD iconId = 0;  // RT_ICON resource holding the image
};
std::optional<std::vector<IconEntry>> ParseIconGroup(std::span<const uint8_t> data);
// The image data (a DIB with the AND mask) of the icon group's entry nearest
// to the size, preferring more colours; empty when missing.
std::span<const uint8_t> FindIconImage(HINSTANCE handle, const ResName& group, int size);

}  // namespace res
