#include "formats/sid/sid_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "formats/sid/sid_memory.h"
#include "platform/byte_order.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

// Reads come through a small buffer: the decoder reads markers, counts and
// coded bits a byte or a word at a time.
constexpr size_t kBufferSize = 4096;

uint64_t g_bytesRead = 0;

}  // namespace

struct SidFile {
    fs::File file;
    uint64_t size = 0;
    uint64_t pos = 0;        // the logical position
    uint64_t bufStart = 0;   // file offset of buf[0]
    size_t bufLen = 0;       // valid bytes in buf
    uint8_t buf[kBufferSize];
};

SidFile* SidOpenFile(const char* path) {
    if (!path) return nullptr;
    auto* f = new (std::nothrow) SidFile;
    if (!f) return nullptr;
    if (!f->file.Open(text::FromUtf8(path), fs::kGenericRead, fs::kShareRead, fs::kOpenExisting)) {
        delete f;
        return nullptr;
    }
    f->size = f->file.Size();
    if (f->size == UINT64_MAX) {
        delete f;
        return nullptr;
    }
    return f;
}

void SidCloseFile(SidFile* file) { delete file; }

bool SidSeek(SidFile* file, int64_t offset, int origin) {
    if (!file) return true;
    int64_t base;
    switch (origin) {
        case 0: base = 0; break;
        case 1: base = static_cast<int64_t>(file->pos); break;
        case 2: base = static_cast<int64_t>(file->size); break;
        default: return true;
    }
    if (offset < 0 ? base < -offset : offset > INT64_MAX - base) return true;
    file->pos = static_cast<uint64_t>(base + offset);
    return false;
}

namespace {

// Copies up to n bytes from the logical position; the count copied.
size_t ReadBytes(SidFile* f, uint8_t* out, size_t n) {
    size_t done = 0;
    while (done < n && f->pos < f->size) {
        if (f->pos >= f->bufStart && f->pos < f->bufStart + f->bufLen) {
            const size_t at = static_cast<size_t>(f->pos - f->bufStart);
            const size_t k = std::min(n - done, f->bufLen - at);
            std::memcpy(out + done, f->buf + at, k);
            done += k;
            f->pos += k;
            continue;
        }
        f->bufLen = 0;
        if (!f->file.Seek(static_cast<int64_t>(f->pos), fs::kSeekBegin)) break;
        size_t got = 0;
        if (!f->file.Read(f->buf, kBufferSize, &got) || got == 0) break;
        f->bufStart = f->pos;
        f->bufLen = got;
    }
    g_bytesRead += done;
    return done;
}

}  // namespace

size_t SidRead(void* buffer, size_t itemSize, size_t count, SidFile* file) {
    if (!file || !buffer || itemSize == 0 || count > SIZE_MAX / itemSize) return 0;
    const size_t got = ReadBytes(file, static_cast<uint8_t*>(buffer), itemSize * count);
    return got / itemSize;
}

size_t SidWrite(const void* buffer, size_t itemSize, size_t count, SidFile* file) {
    if (!file || !buffer || itemSize == 0 || count > SIZE_MAX / itemSize) return 0;
    size_t done = 0;
    file->bufLen = 0;
    if (!file->file.WriteAt(file->pos, buffer, itemSize * count, &done)) return 0;
    file->pos += done;
    file->size = std::max(file->size, file->pos);
    return done / itemSize;
}

int SidReadByte(SidFile* file) {
    uint8_t b;
    if (!file || ReadBytes(file, &b, 1) != 1) return -1;
    return b;
}

bool SidReadBE32(SidFile* file, uint32_t* value) {
    uint8_t b[4];
    if (!file || ReadBytes(file, b, 4) != 4) return true;
    *value = byte_order::LoadBe32(b);
    return false;
}

bool SidReadBE16(SidFile* file, uint16_t* value) {
    uint8_t b[2];
    if (!file || ReadBytes(file, b, 2) != 2) return true;
    *value = byte_order::LoadBe16(b);
    return false;
}

bool SidWriteBE32(SidFile* file, uint32_t value) {
    uint8_t b[4];
    byte_order::StoreBe32(b, value);
    return SidWrite(b, 4, 1, file) != 1;
}

void SidSwapBytes(void* bytes, size_t n) {
    auto* p = static_cast<uint8_t*>(bytes);
    std::reverse(p, p + n);
}

uint64_t SidFileSize(const SidFile* file) { return file ? file->size : 0; }
uint64_t SidTell(const SidFile* file) { return file ? file->pos : 0; }

int SidReadHeader(SidFile* file, SidHeader* header) {
    *header = SidHeader{};
    uint8_t magic[4];
    if (SidSeek(file, 0, 0) || SidRead(magic, 1, 4, file) != 4) return kSidFailed;
    if (std::memcmp(magic, "msid", 4) != 0) return kSidFailed;
    if (SidRead(header->version, 1, 3, file) != 3) return kSidFailed;
    if (header->version[0] != 1) return kSidUnsupported;
    SidHeader h;
    std::memcpy(h.version, header->version, 3);
    if (SidReadBE32(file, &h.bands)) return kSidFailed;
    if (h.bands != 1 && h.bands != 3) return kSidUnsupported;
    if (SidReadBE32(file, &h.levels) || SidReadBE32(file, &h.width) ||
        SidReadBE32(file, &h.height))
        return kSidFailed;
    if (h.levels > kSidMaxLevels) return kSidFailed;
    if (h.width < 1 || h.width > kSidMaxSize || h.height < 1 || h.height > kSidMaxSize)
        return kSidFailed;
    // The subband directory: one offset for each of the 3 x levels + 1 subbands.
    const uint64_t directoryEnd = kSidHeaderSize + 4ull * (3ull * h.levels + 1);
    if (directoryEnd > SidFileSize(file)) return kSidFailed;
    *header = h;
    return kSidOk;
}

int SidReadImageInfo(const char* path, int* bands, int* levels, int* width, int* height,
                     uint8_t* version) {
    SidHeader h;
    int status = kSidFailed;
    if (SidFile* f = SidOpenFile(path)) {
        status = SidReadHeader(f, &h);
        SidCloseFile(f);
    }
    if (version) std::memcpy(version, h.version, 3);
    const bool ok = status == kSidOk;
    if (bands) *bands = ok ? static_cast<int>(h.bands) : 0;
    if (levels) *levels = ok ? static_cast<int>(h.levels) : 0;
    if (width) *width = ok ? static_cast<int>(h.width) : 0;
    if (height) *height = ok ? static_cast<int>(h.height) : 0;
    return status;
}

uint32_t SidLevelSize(uint32_t fullSize, int level) {
    uint64_t n = fullSize;
    for (int i = 0; i < level && n > 1; ++i) n = (n + 1) / 2;
    return static_cast<uint32_t>(n);
}

int SidOpenImage(const char* path, SidImage** image, int level, int firstColumn, int lastColumn,
                 int firstRow, int lastRow, int stride) {
    if (!image) return kSidFailed;
    *image = nullptr;
    SidHeader h;
    SidFile* f = SidOpenFile(path);
    if (!f) return kSidFailed;
    const int status = SidReadHeader(f, &h);
    SidCloseFile(f);
    if (status != kSidOk) return status;
    if (level < 0 || level > static_cast<int>(h.levels)) return kSidFailed;
    const int64_t w = int64_t{lastColumn} - firstColumn + 1;
    const int64_t hgt = int64_t{lastRow} - firstRow + 1;
    if (w > 0 && hgt > 0) {
        const int64_t row = w * h.bands;
        if (stride < row) return kSidFailed;
    }
    auto* img = static_cast<SidImage*>(SidAlloc(sizeof(SidImage)));
    if (!img) return kSidFailed;
    *img = SidImage{static_cast<int>(h.levels), level, firstColumn, lastColumn,
                    firstRow, lastRow, static_cast<int>(h.width), static_cast<int>(h.height),
                    stride};
    *image = img;
    return kSidOk;
}

void SidCloseImage(SidImage* image) { SidFree(image); }

int SidGetLevel(const SidImage* image) { return image ? image->level : 0; }

void SidGetWindow(const SidImage* image, int* firstColumn, int* lastColumn, int* firstRow,
                  int* lastRow) {
    *firstColumn = image ? image->firstColumn : 0;
    *lastColumn = image ? image->lastColumn : 0;
    *firstRow = image ? image->firstRow : 0;
    *lastRow = image ? image->lastRow : 0;
}

int SidGetStride(const SidImage* image) { return image ? image->stride : 0; }

namespace {

// last - first + 1 without overflow (a wide empty window reads as empty).
int Span(int first, int last) {
    const int64_t n = int64_t{last} - first + 1;
    return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : static_cast<int>(n);
}

}  // namespace

int SidGetWindowWidth(const SidImage* image, int* width) {
    *width = image ? Span(image->firstColumn, image->lastColumn) : 0;
    return image ? image->firstColumn : 0;
}

int SidGetWindowHeight(const SidImage* image, int* height) {
    *height = image ? Span(image->firstRow, image->lastRow) : 0;
    return image ? image->firstRow : 0;
}

uint64_t SidTestBytesRead() { return g_bytesRead; }
void SidTestResetBytesRead() { g_bytesRead = 0; }
