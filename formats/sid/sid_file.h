// The MrSID decoder's file layer, header reader and view descriptor.
//
// Files are generation 2 only (version byte 1 at offset 4). Every number of
// the header is checked against the file before anything is sized from it.
// Paths are UTF-8 device paths, opened through platform/fs.
//
// All functions return kSidOk (0) or kSidFailed (1) unless stated.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kSidOk = 0;
constexpr int kSidFailed = 1;
constexpr int kSidStopped = 2;
constexpr int kSidUnsupported = 3;  // a newer generation, or neither 1 nor 3 bands

constexpr int kSidHeaderSize = 23;
constexpr uint32_t kSidMaxLevels = 31;
constexpr uint32_t kSidMaxSize = 1u << 30;
// The most output bytes (window width x height x bands) one view may ask for.
constexpr uint64_t kSidMaxViewBytes = 256ull << 20;

// ---- file layer ----

struct SidFile;

// Opens for reading, shared for reading, existing files only; null on failure.
SidFile* SidOpenFile(const char* path);
void SidCloseFile(SidFile* file);
// Moves the file position (origin 0 start, 1 current, 2 end); true on failure.
bool SidSeek(SidFile* file, int64_t offset, int origin);
// The number of whole items read (0 when the read fails).
size_t SidRead(void* buffer, size_t itemSize, size_t count, SidFile* file);
// The number of whole items written.
size_t SidWrite(const void* buffer, size_t itemSize, size_t count, SidFile* file);
// The next byte, or -1 at the end or on failure.
int SidReadByte(SidFile* file);
// Big-endian numbers into native order; true on failure.
bool SidReadBE32(SidFile* file, uint32_t* value);
bool SidReadBE16(SidFile* file, uint16_t* value);
bool SidWriteBE32(SidFile* file, uint32_t value);
// Reverses n bytes in place.
void SidSwapBytes(void* bytes, size_t n);
uint64_t SidFileSize(const SidFile* file);
uint64_t SidTell(const SidFile* file);

// ---- header ----

struct SidHeader {
    uint8_t version[3] = {0, 0, 0};
    uint32_t bands = 0;
    uint32_t levels = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// Reads and checks the header at the start of an open file: magic "msid",
// version byte 1, 1 or 3 bands (else kSidUnsupported, and the numbers after
// the version bytes are not to be trusted), 0 to 31 levels, width and height
// 1 to 2^30, and a subband directory of 3 x levels + 1 entries that ends
// inside the file. The version bytes are filled whenever they were read.
int SidReadHeader(SidFile* file, SidHeader* header);

// Opens the file, reads its header, closes it. On any status but kSidOk the
// numbers are 0; `version` (3 bytes, optional) gets the version bytes read.
int SidReadImageInfo(const char* path, int* bands, int* levels, int* width, int* height,
                     uint8_t* version);

// The size of a level: the full size halved `level` times, rounding up.
uint32_t SidLevelSize(uint32_t fullSize, int level);

// ---- view descriptor ----

struct SidImage {
    int levels;       // from the header
    int level;        // 0 = full resolution
    int firstColumn;  // the window, inclusive, in pixels of the level
    int lastColumn;
    int firstRow;
    int lastRow;
    int width;  // full resolution
    int height;
    int stride;  // bytes per row of the output buffer
};

// Reads the header and hands out a descriptor for level 0 to levels
// (inclusive) and the window. Fails, with no descriptor, when the file or
// header cannot be read (kSidUnsupported passes through), the level is out
// of range or the stride cannot hold a window row. A descriptor whose
// output would exceed kSidMaxViewBytes describes a view that is decoded in
// parts: SidDecodeRegion refuses it whole. A window with last < first is
// empty.
int SidOpenImage(const char* path, SidImage** image, int level, int firstColumn, int lastColumn,
                 int firstRow, int lastRow, int stride);
void SidCloseImage(SidImage* image);

int SidGetLevel(const SidImage* image);
// (first column, last column, first row, last row); zeros for none.
void SidGetWindow(const SidImage* image, int* firstColumn, int* lastColumn, int* firstRow,
                  int* lastRow);
int SidGetStride(const SidImage* image);
// The first column, with the window width in *width (0 and 0 for none).
int SidGetWindowWidth(const SidImage* image, int* width);
// The first row, with the window height in *height (0 and 0 for none).
int SidGetWindowHeight(const SidImage* image, int* height);

// ---- tests ----
// Bytes handed out by the file layer's reads since the last reset.
uint64_t SidTestBytesRead();
void SidTestResetBytesRead();
