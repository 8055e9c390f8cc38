#include "formats/sid/sid_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/sid/sid_decode.h"

namespace {

std::function<void()> g_drawHook;

// The most pixels of the level one piece of a draw decodes on a side.
constexpr int kPieceSide = 512;

}  // namespace

void SidSetDrawHookForTests(std::function<void()> hook) { g_drawHook = std::move(hook); }

RECT SidWindowToRect(int firstColumn, int lastColumn, int firstRow, int lastRow) {
    RECT r;
    r.left = firstColumn;
    r.top = firstRow;
    r.right = lastColumn;
    r.bottom = lastRow;
    return r;
}

void SidRectToWindow(const RECT& rect, int* firstColumn, int* lastColumn, int* firstRow,
                     int* lastRow) {
    *firstColumn = rect.left;
    *firstRow = rect.top;
    *lastColumn = rect.right;
    *lastRow = rect.bottom;
}

CSidReader::CSidReader() = default;

CSidReader::~CSidReader() { Close(); }

bool CSidReader::IsSidFile(WStringView path) {
    SidFile* f = SidOpenFile(text::ToUtf8(path).c_str());
    if (!f) return false;
    uint8_t head[11];
    const bool ok = SidRead(head, 1, 11, f) == 11 && std::equal(head, head + 4, "msid");
    SidCloseFile(f);
    return ok;
}

int CSidReader::ReadInfo(WStringView path, int* bands, int* levels, int* width, int* height,
                         uint8_t* version) {
    return SidReadImageInfo(text::ToUtf8(path).c_str(), bands, levels, width, height, version);
}

bool CSidReader::Open(WStringView path) {
    Close();
    path_ = WString(path);
    status_ = ReadInfo(path_, &bands_, &levels_, &width_, &height_, version_);
    return status_ == kSidOk;
}

void CSidReader::Close() {
    path_.clear();
    CloseView();
    bitmap_.reset();
}

HBITMAP CSidReader::DetachBitmap() {
    return bitmap_.release();
}

HBITMAP CSidReader::CreateBitmap(int width, int height, SIZE screen) {
    if (!view_) return nullptr;
    bitmap_.reset();
    if (width < 0) width = screen.cx;
    if (height < 0) height = screen.cy;
    width = std::max(width, GetOutputWidth());
    height = std::max(height, GetOutputHeight());
    const bool grey = bands_ == 1;
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
    bmi->bmiHeader = BITMAPINFOHEADER{};
    bmi->bmiHeader.biWidth = width;
    bmi->bmiHeader.biHeight = height;
    bmi->bmiHeader.biPlanes = 1;
    bmi->bmiHeader.biBitCount = grey ? 8 : 24;
    bmi->bmiHeader.biXPelsPerMeter = bmi->bmiHeader.biYPelsPerMeter = 1;
    if (grey) {
        bmi->bmiHeader.biClrUsed = 256;
        for (int i = 0; i < 256; ++i) {
            RGBQUAD q;
            q.rgbBlue = q.rgbGreen = q.rgbRed = static_cast<BYTE>(i);
            std::memcpy(info.data() + sizeof(BITMAPINFOHEADER) + i * sizeof(RGBQUAD), &q, sizeof q);
        }
    }
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits) bitmap_.reset();
    return bitmap_.get();
}

bool CSidReader::Draw(HBITMAP target, CAbortCheck::Poll abortPoll) {
    if (!view_) return false;
    if (!target) target = bitmap_.get();
    if (!target) return false;
    DIBSECTION ds{};
    if (GetObject(target, sizeof ds, &ds) != static_cast<int>(sizeof ds) || !ds.dsBm.bmBits) return false;
    const int ow = GetOutputWidth(), oh = GetOutputHeight();
    const int bitmapHeight = ds.dsBmih.biHeight < 0 ? -ds.dsBmih.biHeight : ds.dsBmih.biHeight;
    if (ds.dsBmih.biWidth < ow || bitmapHeight < oh || (factor_ == 1 && ds.dsBm.bmWidthBytes < GetStride()) ||
        ds.dsBm.bmBitsPixel != (bands_ == 1 ? 8 : 24))
        return false;
    SidProgress progress;
    if (abortPoll || g_drawHook)
        progress = [abortPoll](int, int) {
            if (g_drawHook) g_drawHook();
            return abortPoll && abortPoll() ? 1 : 0;
        };
    // The window goes in pieces of at most kPieceSide pixels of the level on
    // a side, each holding whole output pixels: the decoder's memory follows
    // the piece, not the window. The decoder writes rows top first; the
    // bitmap takes them bottom-up with blue first.
    RECT window;
    GetExtent(&window);
    const int level = GetLevel(), f = factor_;
    const int per = std::max(1, (kPieceSide - 1) / f + 1);  // output pixels per piece side
    const std::string path = text::ToUtf8(path_);
    auto* base = static_cast<uint8_t*>(ds.dsBm.bmBits);
    const bool bottomUp = ds.dsBmih.biHeight > 0;
    std::vector<uint8_t> rows;
    for (int oy = 0; oy < oh; oy += per) {
        for (int ox = 0; ox < ow; ox += per) {
            const int nx = std::min(per, ow - ox), ny = std::min(per, oh - oy);
            const int c0 = window.left + ox * f, c1 = c0 + (nx - 1) * f;
            const int r0 = window.top + oy * f, r1 = r0 + (ny - 1) * f;
            const int pieceStride = (c1 - c0 + 1) * bands_;
            rows.resize(static_cast<size_t>(r1 - r0 + 1) * static_cast<size_t>(pieceStride));
            SidImage* piece = nullptr;
            status_ = SidOpenImage(path.c_str(), &piece, level, c0, c1, r0, r1, pieceStride);
            if (status_ == kSidOk) {
                // The decoder closes the piece after a failure or a stop.
                status_ = SidDecodeRegion(path.c_str(), piece, nullptr, rows.data(), progress);
                if (status_ == kSidOk) SidCloseImage(piece);
            }
            if (status_ != kSidOk) {
                CloseView();
                return false;
            }
            for (int j = 0; j < ny; ++j) {
                const int y = oy + j;
                uint8_t* dst = base + static_cast<size_t>(bottomUp ? bitmapHeight - 1 - y : y) * ds.dsBm.bmWidthBytes +
                               static_cast<size_t>(ox) * bands_;
                const uint8_t* src = rows.data() + static_cast<size_t>(j) * f * pieceStride;
                if (bands_ == 1) {
                    if (f == 1) {
                        std::memcpy(dst, src, static_cast<size_t>(nx));
                        continue;
                    }
                    for (int i = 0; i < nx; ++i) dst[i] = src[static_cast<size_t>(i) * f];
                    continue;
                }
                for (int i = 0; i < nx; ++i) {
                    const uint8_t* s = src + static_cast<size_t>(i) * f * 3;
                    dst[3 * i] = s[2];
                    dst[3 * i + 1] = s[1];
                    dst[3 * i + 2] = s[0];
                }
            }
        }
    }
    return true;
}

HBITMAP SidLoadBitmap(WStringView path, int minWidth, int minHeight) {
    CSidReader reader;
    if (!reader.Open(path)) return nullptr;
    int level = 0;
    for (int i = reader.GetLevels() - 1; i >= 0; --i)
        if (reader.GetLevelWidth(i) >= minWidth && reader.GetLevelHeight(i) >= minHeight) {
            level = i;
            break;
        }
    if (!reader.SelectView(level, nullptr, -1)) return nullptr;
    if (!reader.CreateBitmap(reader.GetWidth(), reader.GetHeight())) return nullptr;
    if (!reader.Draw(nullptr, nullptr)) return nullptr;
    return reader.DetachBitmap();
}

void CSidReader::CloseView() {
    SidCloseImage(view_);
    view_ = nullptr;
}

bool CSidReader::GetLevelSize(int level, int* width, int* height) const {
    if (level < 0 || level >= levels_) return false;
    *width = static_cast<int>(SidLevelSize(static_cast<uint32_t>(width_), level));
    *height = static_cast<int>(SidLevelSize(static_cast<uint32_t>(height_), level));
    return true;
}

int CSidReader::GetLevelWidth(int level) const {
    int w = 0, h = 0;
    GetLevelSize(level, &w, &h);
    return w;
}

int CSidReader::GetLevelHeight(int level) const {
    int w = 0, h = 0;
    GetLevelSize(level, &w, &h);
    return h;
}

bool CSidReader::SelectView(int level, const RECT* rect, int stride, int factor) {
    if (level == -1) level = levels_ - 1;
    int w, h;
    CloseView();
    factor_ = 1;
    if (factor < 1 || !GetLevelSize(level, &w, &h)) {
        status_ = kSidFailed;
        return false;
    }
    int fc = 0, lc = w - 1, fr = 0, lr = h - 1;
    if (rect) {
        SidRectToWindow(*rect, &fc, &lc, &fr, &lr);
        fc = std::max(fc, 0);
        fr = std::max(fr, 0);
        lc = std::min(lc, w - 1);
        lr = std::min(lr, h - 1);
        // A window that misses the level has nothing to draw.
        if (fc > lc || fr > lr) {
            status_ = kSidFailed;
            return false;
        }
    }
    const int64_t row = int64_t{bands_} * (lc - fc + 1);
    int64_t bytes = stride;
    if (stride == 0) bytes = row;
    if (stride < 0) bytes = (row * 8 + 31) / 32 * 4;
    // What the view writes is the window reduced by the factor.
    const int64_t outRow = int64_t{bands_} * ((lc - fc) / factor + 1);
    const int64_t outRows = (lr - fr) / factor + 1;
    if (bytes > INT32_MAX || outRows > static_cast<int64_t>(kSidMaxViewBytes) / outRow) {
        status_ = kSidFailed;
        return false;
    }
    factor_ = factor;
    status_ = SidOpenImage(text::ToUtf8(path_).c_str(), &view_, level, fc, lc, fr, lr,
                           static_cast<int>(bytes));
    return status_ == kSidOk;
}

int CSidReader::GetLevel() const { return SidGetLevel(view_); }

int CSidReader::GetWidth() const {
    int w;
    SidGetWindowWidth(view_, &w);
    return w;
}

int CSidReader::GetHeight() const {
    int h;
    SidGetWindowHeight(view_, &h);
    return h;
}

int CSidReader::GetStride() const { return SidGetStride(view_); }

int CSidReader::GetOutputWidth() const { return (GetWidth() + factor_ - 1) / factor_; }

int CSidReader::GetOutputHeight() const { return (GetHeight() + factor_ - 1) / factor_; }

void CSidReader::GetExtent(RECT* extent) const {
    int fc, lc, fr, lr;
    SidGetWindow(view_, &fc, &lc, &fr, &lr);
    *extent = SidWindowToRect(fc, lc, fr, lr);
}
