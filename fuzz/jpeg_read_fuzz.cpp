// The JPEG reader over arbitrary file contents: header, whole picture and a
// point-sampled window, with fuzzed output options. Nothing may crash or end
// the process; every outcome is a result or a refusal.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/message_sink.h"
#include "formats/raster/jpeg_reader.h"
#include "platform/fs/fs.h"
#include "platform/gdi/owned.h"

namespace {

std::string Root() {
    static std::string root = [] {
        char tmpl[] = "/tmp/zn-jpeg-fuzz-XXXXXX";
        const char* made = mkdtemp(tmpl);
        std::string r = made ? made : "/tmp";
        fs::SetDeviceRoot(r);
        return r;
    }();
    return root;
}

HBITMAP Target(int w, int h, int bits) {
    // The header and a full colour table.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } bmi{};
    bmi.header.biWidth = w;
    bmi.header.biHeight = h;
    bmi.header.biBitCount = static_cast<WORD>(bits);
    void* p = nullptr;
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS, &p, nullptr, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const std::string path = Root() + "/f.jpg";
    const uint8_t options = data[0];
    const int x = data[1], y = data[2], span = data[3] + 1;
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(data + 4, 1, size - 4, f);
        fclose(f);
    }
    CJpegReader reader;
    if (!reader.Open(u"\\f.jpg")) return 0;
    // Keep the work bounded: huge declared sizes are only opened.
    if (static_cast<int64_t>(reader.GetWidth()) * reader.GetHeight() > 4000000) return 0;
    if (options & 1) reader.SetGrayscale();
    if (options & 2) reader.SetQuantize(1 + ((options >> 2) & 1), (options >> 3) * 9, (options >> 5) % 3);
    gdi::OwnedBitmap decoded(reader.ReadBitmap());
    const bool grey = (options & 1) || (options & 2) || reader.GetComponents() == 1;
    gdi::OwnedBitmap t(Target(1 + (options >> 4), 1 + (options & 15), grey ? 8 : 24));
    reader.DrawScaled(t.get(), x, y, span, span, nullptr);
    return 0;
}
