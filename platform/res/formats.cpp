#include "platform/res/formats.h"

#include <cstdlib>
#include <cstring>

namespace res {

namespace {

template <class T>
bool Read(std::span<const uint8_t> d, size_t& pos, T* out) {
    if (pos + sizeof(T) > d.size()) return false;
    std::memcpy(out, d.data() + pos, sizeof(T));
    pos += sizeof(T);
    return true;
}

bool ReadText(std::span<const uint8_t> d, size_t& pos, WString* out) {
    for (;;) {
        WChar c;
        if (!Read(d, pos, &c)) return false;
        if (!c) return true;
        out->push_back(c);
    }
}

bool ReadMenuLevel(std::span<const uint8_t> d, size_t& pos, std::vector<MenuItem>* out, int depth) {
    if (depth > 16) return false;
    for (;;) {
        MenuItem it;
        WORD flags;
        if (!Read(d, pos, &flags)) return false;
        if (!(flags & MF_POPUP) && !Read(d, pos, &it.id)) return false;
        if (!ReadText(d, pos, &it.text)) return false;
        it.flags = flags & ~MF_END;
        if ((flags & MF_POPUP) && !ReadMenuLevel(d, pos, &it.children, depth + 1)) return false;
        out->push_back(std::move(it));
        if (flags & MF_END) return true;
    }
}

}  // namespace

std::optional<std::vector<MenuItem>> ParseMenu(std::span<const uint8_t> d) {
    size_t pos = 0;
    WORD version, offset;
    if (!Read(d, pos, &version) || !Read(d, pos, &offset) || version != 0) return std::nullopt;
    pos += offset;
    std::vector<MenuItem> items;
    if (pos > d.size() || !ReadMenuLevel(d, pos, &items, 0)) return std::nullopt;
    return items;
}

std::optional<Toolbar> ParseToolbar(std::span<const uint8_t> d) {
    size_t pos = 0;
    WORD version, count;
    Toolbar t;
    // The layout of 32-bit fields that the resource compiler's TOOLBAR
    // statement writes has no version word: read as 16-bit words it shows a
    // version other than 1, or (for a width of 1) a width of 0.
    if (!Read(d, pos, &version) || version != 1 || !Read(d, pos, &t.width) ||
        !Read(d, pos, &t.height) || !Read(d, pos, &count) || t.width == 0 || t.height == 0)
        return std::nullopt;
    for (WORD i = 0; i < count; ++i) {
        WORD id;
        if (!Read(d, pos, &id)) return std::nullopt;
        t.ids.push_back(id);
    }
    return t;
}

std::optional<DibInfo> ParseDib(std::span<const uint8_t> d, bool iconImage) {
    DibInfo info;
    size_t pos = 0;
    DWORD size;
    if (!Read(d, pos, &size)) return std::nullopt;
    WORD planes;
    if (size == 12) {  // the old core header
        int16_t w, h;
        if (!Read(d, pos, &w) || !Read(d, pos, &h) || !Read(d, pos, &planes) ||
            !Read(d, pos, &info.bitCount))
            return std::nullopt;
        info.width = w;
        info.height = h;
    } else if (size >= 40 && size <= d.size()) {
        if (!Read(d, pos, &info.width) || !Read(d, pos, &info.height) || !Read(d, pos, &planes) ||
            !Read(d, pos, &info.bitCount) || !Read(d, pos, &info.compression))
            return std::nullopt;
        pos = 32;
        if (!Read(d, pos, &info.colorsUsed)) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (info.width <= 0 || info.height == 0 || info.width > 65535 ||
        std::abs(static_cast<int64_t>(info.height)) > 65535)
        return std::nullopt;
    switch (info.bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return std::nullopt;
    }
    if (info.compression != 0 && info.compression != 3) return std::nullopt;  // BI_RGB, BITFIELDS
    info.headerSize = size;
    if (info.bitCount <= 8 && info.colorsUsed == 0) info.colorsUsed = 1u << info.bitCount;
    if (info.colorsUsed > 256) return std::nullopt;
    size_t entry = size == 12 ? 3 : 4;
    info.colorTableOffset = size + (info.compression == 3 && size == 40 ? 12 : 0);
    info.bitsOffset = info.colorTableOffset + info.colorsUsed * entry;
    info.stride = ((static_cast<size_t>(info.width) * info.bitCount + 31) / 32) * 4;
    size_t rows = static_cast<size_t>(std::abs(static_cast<int64_t>(info.height)));
    size_t need = info.stride * rows;
    if (iconImage) {
        rows /= 2;
        info.height /= 2;
        if (rows == 0) return std::nullopt;
        size_t maskStride = ((static_cast<size_t>(info.width) + 31) / 32) * 4;
        info.maskOffset = info.bitsOffset + info.stride * rows;
        need = info.stride * rows + maskStride * rows;
    }
    if (info.bitsOffset > d.size() || need > d.size() - info.bitsOffset) return std::nullopt;
    return info;
}

std::optional<std::vector<IconEntry>> ParseIconGroup(std::span<const uint8_t> d) {
    size_t pos = 0;
    WORD reserved, type, count;
    if (!Read(d, pos, &reserved) || !Read(d, pos, &type) || !Read(d, pos, &count) || type != 1)
        return std::nullopt;
    std::vector<IconEntry> out;
    for (WORD i = 0; i < count; ++i) {
        uint8_t w, h, colors, res0;
        WORD planes, bits, id;
        DWORD bytes;
        if (!Read(d, pos, &w) || !Read(d, pos, &h) || !Read(d, pos, &colors) ||
            !Read(d, pos, &res0) || !Read(d, pos, &planes) || !Read(d, pos, &bits) ||
            !Read(d, pos, &bytes) || !Read(d, pos, &id))
            return std::nullopt;
        out.push_back(IconEntry{w ? w : 256, h ? h : 256, bits, id});
    }
    return out;
}

std::span<const uint8_t> FindIconImage(HINSTANCE handle, const ResName& group, int size) {
    auto entries = ParseIconGroup(FindResourceData(handle, RT_GROUP_ICON, group));
    if (!entries || entries->empty()) return {};
    const IconEntry* best = nullptr;
    for (const auto& e : *entries) {
        if (!best) {
            best = &e;
            continue;
        }
        int d1 = std::abs(e.width - size), d0 = std::abs(best->width - size);
        if (d1 < d0 || (d1 == d0 && e.bitCount > best->bitCount)) best = &e;
    }
    return FindResourceData(handle, RT_ICON, best->iconId);
}

}  // namespace res
