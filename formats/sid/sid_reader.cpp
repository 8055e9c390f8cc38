#include "formats/sid/sid_reader.h"

#include <algorithm>

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

bool CSidReader::SelectView(int level, const RECT* rect, int stride) {
    if (level == -1) level = levels_ - 1;
    int w, h;
    CloseView();
    if (!GetLevelSize(level, &w, &h)) {
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
    if (bytes > INT32_MAX) {
        status_ = kSidFailed;
        return false;
    }
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

void CSidReader::GetExtent(RECT* extent) const {
    int fc, lc, fr, lr;
    SidGetWindow(view_, &fc, &lc, &fr, &lr);
    *extent = SidWindowToRect(fc, lc, fr, lr);
}
