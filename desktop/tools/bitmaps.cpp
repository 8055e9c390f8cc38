#include "desktop/tools/bitmaps.h"

#include <cstring>
#include <span>

#include "platform/res/formats.h"
#include "platform/res/resource.h"

namespace zntools8 {
std::span<const uint8_t> Resources();  // the embedded .res image

namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

host::HostImage LoadBitmapImage(int id) {
    static const std::shared_ptr<res::ResourceModule> module = [] {
        const auto bytes = Resources();
        return res::ResourceModule::FromBytes(bytes.data(), bytes.size());
    }();
    host::HostImage img;
    if (!module) return img;
    const res::Resource* r = module->Find(res::RT_BITMAP, static_cast<WORD>(id));
    if (!r) return img;
    auto info = res::ParseDib(r->data);
    if (!info || info->compression != 0 || info->width <= 0 || info->height == 0) return img;
    const int w = info->width;
    const int h = info->height < 0 ? -info->height : info->height;
    const uint8_t* data = r->data.data();
    const uint8_t* palette = data + info->colorTableOffset;
    img.width = w;
    img.height = h;
    img.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
        const int srcRow = info->height < 0 ? y : h - 1 - y;
        const uint8_t* row = data + info->bitsOffset + static_cast<size_t>(srcRow) * info->stride;
        for (int x = 0; x < w; ++x) {
            uint32_t bgr = 0;
            switch (info->bitCount) {
                case 4: {
                    const int index = (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
                    if (static_cast<DWORD>(index) >= info->colorsUsed) return {};
                    bgr = Le32(palette + 4 * index);
                    break;
                }
                case 8: {
                    const int index = row[x];
                    if (static_cast<DWORD>(index) >= info->colorsUsed) return {};
                    bgr = Le32(palette + 4 * index);
                    break;
                }
                case 24:
                    bgr = row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
                    break;
                case 32:
                    bgr = Le32(row + 4 * x);
                    break;
                default:
                    return {};
            }
            // BGR in the file; 0xAARRGGBB in the image.
            img.pixels[static_cast<size_t>(y) * w + x] = 0xFF000000u | (bgr & 0x00FFFFFFu);
        }
    }
    return img;
}

}  // namespace zntools8
