// Dialog template bytes built in memory, as the custom forms engine builds
// them: child style, no font unless asked, controls by class ordinal with ids
// from 4000.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wintest {

// One control of a template, placed in dialog units.
struct DialogItem {
    uint32_t style;
    int16_t x, y, cx, cy;
    uint16_t classOrdinal;  // 0x80 BUTTON, 0x81 EDIT, 0x82 STATIC, 0x83 LISTBOX, ...
    std::u16string title;
};

// With `fontPoints` above 0 the template names a font (DS_SETFONT).
inline std::vector<uint8_t> DialogTemplate(const std::u16string& title, int16_t cx, int16_t cy,
                                           const std::vector<DialogItem>& items,
                                           uint16_t fontPoints = 0) {
    std::vector<uint8_t> b;
    auto u16 = [&](uint16_t v) { b.push_back(v & 0xFF), b.push_back(v >> 8); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    auto text = [&](const std::u16string& s) {
        for (char16_t c : s) u16(c);
        u16(0);
    };
    u32(0x50400000 | (fontPoints ? 0x40 : 0));  // style: child, visible, dialog frame
    u32(0x00010000);                            // ex-style
    u16(static_cast<uint16_t>(items.size()));
    u16(0), u16(0), u16(static_cast<uint16_t>(cx)), u16(static_cast<uint16_t>(cy));
    u16(0), u16(0);  // no menu, default class
    text(title);
    if (fontPoints) {
        u16(fontPoints);
        text(u"Tahoma");
    }
    for (size_t i = 0; i < items.size(); ++i) {
        while (b.size() % 4) b.push_back(0);
        const DialogItem& it = items[i];
        u32(it.style);
        u32(0);
        u16(static_cast<uint16_t>(it.x)), u16(static_cast<uint16_t>(it.y));
        u16(static_cast<uint16_t>(it.cx)), u16(static_cast<uint16_t>(it.cy));
        u16(static_cast<uint16_t>(4000 + i));
        u16(0xFFFF), u16(it.classOrdinal);
        text(it.title);
        u16(0);  // no creation data
    }
    return b;
}

}  // namespace wintest
