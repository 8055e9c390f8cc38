// CRpfFrame: one frame file of the Raster Product Format (CADRG charts, CIB
// images): a NITF file whose user-defined header carries the RPF header. Its
// 6 x 6 subframes of 256 x 256 pixels are decoded from their vector-quantised
// form into 8-bit colour indices; its colour table comes whole or through a
// colour converter; its pixel grid maps to its geographic coverage.
//
// Everything read from the file is checked against the file before use: a
// damaged frame gives false or the darkest colour, never a crash.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/file_stream.h"
#include "platform/text/text.h"

// True when the file's first four bytes are "NITF".
bool IsNitfFile(WStringView path);

class CRpfFrame {
public:
    static constexpr int kSubframes = 6;
    static constexpr int kSubframeSize = 256;
    static constexpr int kSubframeBytes = kSubframeSize * kSubframeSize;
    static constexpr int kMaxColours = 216;

    struct Series {
        const char* code;
        const char* shortName;
        const char* description;
    };
    struct Colour {
        uint8_t red, green, blue, alpha;
    };

    CRpfFrame();
    virtual ~CRpfFrame();
    CRpfFrame(const CRpfFrame&) = delete;
    CRpfFrame& operator=(const CRpfFrame&) = delete;

    // False when the file cannot be opened, does not begin with "NITF", has
    // no RPF header, or describes subframes other than 6 x 6 of 256 x 256.
    bool Open(WStringView path);
    void Close();
    bool IsOpen() const { return open_; }

    // 0: the frame's own colour table; n >= 1: the target table of colour
    // converter n with its colour map.
    bool ReadColorTables(int tableIndex);
    // Loads the codebook; false for a frame stored without compression or
    // with any other compression than four 4096 x 4 x 8-bit tables.
    bool ReadCompression();
    // 65536 colour indices, top row first, of subframe row * 6 + column.
    bool ReadSubframe(int index, uint8_t* buffer);

    void PixelToGround(double column, double row, double* latitude, double* longitude) const;
    int GroundToSubframe(double latitude, double longitude, int* column, int* row) const;
    static bool GetArcZone(double latitude, char* letter, int* number);
    // The series row a file name selects (the last row when none matches).
    static const Series& SeriesForFileName(WStringView path);

    const Series& GetSeries() const { return *series_; }
    int GetStandard() const { return standard_; }
    const double* GetCoverage() const { return coverage_; }
    const Colour* GetPalette() const { return palette_; }
    int GetPaletteCount() const { return paletteCount_; }
    int GetDarkestColour() const { return darkest_; }
    const uint32_t* GetColourMap() const { return colourMap_; }
    bool HasMask() const { return hasMask_; }
    int64_t GetSubframeOffset(int index) const;

private:
    struct Component {
        uint16_t id;
        uint32_t length;
        uint32_t location;
    };

    bool ReadHeaders(WStringView path);
    bool SkipNitfHeader();
    bool SeekTo(uint64_t position);
    bool SeekToComponent(int id, uint64_t offset = 0);
    bool ReadU8(uint8_t* v);
    bool ReadU16(uint16_t* v);
    bool ReadU32(uint32_t* v);
    bool ReadDouble(double* v);
    bool ReadBytes(void* buffer, size_t n);
    bool ReadImageDescription();
    void ReadCoverage();
    bool LoadPalette(uint32_t count, int bytesPerEntry);
    void ResetColourMap();
    void FindDarkest();

    CFileStream stream_;
    uint64_t length_ = 0;
    bool open_ = false;
    int standard_ = -1;
    std::vector<Component> components_;
    double coverage_[12];
    Colour palette_[kMaxColours] = {};
    int paletteCount_ = 0;
    int darkest_ = 0;
    uint32_t colourMap_[kMaxColours];
    bool hasMask_ = false;
    int64_t offsets_[kSubframes * kSubframes];
    std::vector<uint8_t> codebook_;
    const Series* series_;
};

// Tests: called as each subframe is read, so a test can ask for an abort
// part way.
void RpfSetSubframeHookForTests(std::function<void()> hook);
