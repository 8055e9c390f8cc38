// CJpegReader: JPEG files through libjpeg (the 6b interface), read from the
// device file system, decoded into DIB sections in 24-bit BGR or 8-bit with
// a palette, or reduced from a source window into a target DIB by point
// sampling, one streamed row at a time.
//
// A fatal decoder error never ends the program: the reader reports failure
// and the first message of each opened file goes to the formats message sink
// with the caption "JPEG Library Error".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/abort_check.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/text/text.h"

struct jpeg_decompress_struct;

// The most memory one decode may take inside the library; a file of several
// scans (progressive) whose coefficients would need more is refused at open.
constexpr uint64_t kJpegMemoryLimit = uint64_t{256} << 20;

class CJpegReader {
public:
    // Called after each decoded row; returning false stops the decode.
    using ScanlineCallback = bool (*)(CJpegReader* reader, int row, const uint8_t* buffer, void* context);

    CJpegReader();
    virtual ~CJpegReader();
    CJpegReader(const CJpegReader&) = delete;
    CJpegReader& operator=(const CJpegReader&) = delete;

    // ".jpg", ".jpe" or ".jpeg", in any case.
    static bool IsJpegFileName(WStringView path);

    // Opens a device path and reads the header; false (with GetLastError
    // for a file that cannot be opened) otherwise.
    bool Open(WStringView path);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    uint32_t GetLastError() const { return lastError_; }

    // Output options; they hold for every later decode of this file.
    void SetGrayscale();
    // Mode 1 one-pass, 2 two-pass quantisation to `colours` (up to 256; at least two levels of each output component) with a
    // dither mode (0 none, 1 ordered, 2 Floyd-Steinberg); other modes: off.
    void SetQuantize(int mode, int colours, int dither);

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetComponents() const { return components_; }
    int GetColorCount() const;
    // Fills up to 256 entries; null entries only counts.
    int GetPalette(RGBQUAD* entries) const;

    bool StartDecompress();
    // Ends the decode: finishes it unless aborted, then destroys the decoder.
    void Finish(bool aborted);

    // The whole image, bottom-up; null on any failure.
    HBITMAP ReadBitmap();
    // Point-samples the source window into an 8-bit (grey or quantised
    // output) or 24-bit (colour output) target DIB; false when the target
    // does not fit the output, on a decoder error or when `abortPoll` (asked
    // before each row when not null) answered true. A window two or more
    // times the target's size is decoded reduced by the decoder (1/2, 1/4,
    // 1/8), so each sample is the average of its block.
    bool DrawScaled(HBITMAP target, int srcX, int srcY, int srcWidth, int srcHeight,
                    CAbortCheck::Poll abortPoll);
    // Decodes row by row into the callback; true when every row was read.
    bool ReadScanlines(ScanlineCallback callback, void* context);

    // The decoder's message handler reports through this (first one only).
    void ReportMessage(const char* text);

private:
    bool CreateDecoder();
    void DestroyDecoder();
    bool EnsureDecoder();
    // Starts the decode; bgr asks for colour rows in the DIB's order.
    bool Start(bool bgr);
    void ApplyOptions();
    // Decodes the next row into `into`, else into the scanline buffer; a
    // failure ends the decode.
    bool ReadRow(uint8_t* into = nullptr);

    fs::File file_;
    uint32_t lastError_ = 0;
    struct Decoder;
    std::unique_ptr<Decoder> decoder_;
    std::vector<uint8_t> row_;  // one output row as the library gives it
    bool started_ = false;
    bool bgr_ = false;
    int width_ = 0;
    int height_ = 0;
    int components_ = 0;
    bool grayscale_ = false;
    int quantizeMode_ = 0;
    int quantizeColours_ = 256;
    int dither_ = 2;
    bool reported_ = false;
};

// Reads a whole JPEG file into a DIB section; null on any failure.
HBITMAP LoadJpegBitmap(WStringView path);

// Tests: called before each row's abort poll of a window decode, so a test
// can ask for an abort part way.
void JpegSetRowHookForTests(std::function<void()> hook);
