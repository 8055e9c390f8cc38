#include "formats/raster/jpeg_reader.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "formats/message_sink.h"
#include "platform/gdi/owned.h"

namespace {

std::function<void()> g_rowHook;

}  // namespace

void JpegSetRowHookForTests(std::function<void()> hook) { g_rowHook = std::move(hook); }

namespace {

constexpr size_t kSourceBufferSize = 65536;

// The error manager: messages go to the reader, a fatal error jumps back to
// the guard of the library call that raised it.
struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    CJpegReader* reader;
};

void OutputMessage(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    reinterpret_cast<ErrorManager*>(cinfo->err)->reader->ReportMessage(text);
}

void ErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// The file source: 64 KiB reads through the device file system.
struct FileSource {
    jpeg_source_mgr pub;
    fs::File* file;
    JOCTET* buffer;
    bool startOfFile;
};

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<FileSource*>(cinfo->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    size_t n = 0;
    if (!src->file->Read(src->buffer, kSourceBufferSize, &n)) n = 0;
    if (n == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // A fake end of image lets the decoder finish what it has.
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    if (count <= 0) return;
    while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
        count -= static_cast<long>(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void InstallFileSource(j_decompress_ptr cinfo, fs::File* file) {
    if (!cinfo->src) {
        cinfo->src = static_cast<jpeg_source_mgr*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(FileSource)));
        reinterpret_cast<FileSource*>(cinfo->src)->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kSourceBufferSize));
    }
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->file = file;
}

// Guards: each library call that can fail runs under its own setjmp, in a
// frame that holds nothing with a destructor. False when the library raised
// a fatal error.
bool GuardedReadHeader(j_decompress_ptr cinfo, fs::File* file) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (setjmp(err->jump)) return false;
    InstallFileSource(cinfo, file);
    return jpeg_read_header(cinfo, TRUE) == JPEG_HEADER_OK;
}

bool GuardedStart(j_decompress_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (setjmp(err->jump)) return false;
    return jpeg_start_decompress(cinfo) != FALSE;
}

bool GuardedReadRow(j_decompress_ptr cinfo, JSAMPLE* row) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (setjmp(err->jump)) return false;
    JSAMPROW rows[1] = {row};
    return jpeg_read_scanlines(cinfo, rows, 1) == 1;
}

// Up to `count` rows; the number read, 0 on a fatal error.
int GuardedReadRows(j_decompress_ptr cinfo, JSAMPROW* rows, int count) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (setjmp(err->jump)) return 0;
    return static_cast<int>(jpeg_read_scanlines(cinfo, rows, static_cast<JDIMENSION>(count)));
}

bool GuardedSkipRows(j_decompress_ptr cinfo, JDIMENSION count) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (setjmp(err->jump)) return false;
    return jpeg_skip_scanlines(cinfo, count) == count;
}

bool GuardedCropColumns(j_decompress_ptr cinfo, JDIMENSION* x, JDIMENSION* width) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (setjmp(err->jump)) return false;
    jpeg_crop_scanline(cinfo, x, width);
    return true;
}

bool GuardedCalcDimensions(j_decompress_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (setjmp(err->jump)) return false;
    jpeg_calc_output_dimensions(cinfo);
    return true;
}

bool GuardedFinish(j_decompress_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (setjmp(err->jump)) return false;
    return jpeg_finish_decompress(cinfo) != FALSE;
}

// Four-component output is CMYK as the files store it (inverted): each
// colour channel times black, rounded, as djpeg converts it.
inline uint8_t CmykChannel(unsigned c, unsigned k) {
    return static_cast<uint8_t>((c * k + 127) / 255);
}

// Writes pixel `col` of a decoded row (RGB, BGR or CMYK) as BGR.
inline void PutBgr(uint8_t* dst, const uint8_t* row, int components, int col, bool bgr) {
    const uint8_t* p = row + static_cast<size_t>(col) * components;
    if (bgr) {
        dst[0] = p[0];
        dst[1] = p[1];
        dst[2] = p[2];
    } else if (components == 4) {
        dst[0] = CmykChannel(p[2], p[3]);
        dst[1] = CmykChannel(p[1], p[3]);
        dst[2] = CmykChannel(p[0], p[3]);
    } else {
        dst[0] = p[2];
        dst[1] = p[1];
        dst[2] = p[0];
    }
}

}  // namespace

struct CJpegReader::Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
};

CJpegReader::CJpegReader() = default;

CJpegReader::~CJpegReader() {
    Close();
}

bool CJpegReader::IsJpegFileName(WStringView path) {
    auto endsWith = [&](WStringView ext) {
        return path.size() >= ext.size() && text::EqualsNoCase(path.substr(path.size() - ext.size()), ext);
    };
    return endsWith(u".jpg") || endsWith(u".jpe") || (path.size() >= 5 && endsWith(u".jpeg"));
}

void CJpegReader::ReportMessage(const char* message) {
    if (reported_) return;
    reported_ = true;
    EReportMessage(text::FromLatin1(message), u"JPEG Library Error");
}

bool CJpegReader::CreateDecoder() {
    DestroyDecoder();
    decoder_ = std::make_unique<Decoder>();
    jpeg_decompress_struct* cinfo = &decoder_->cinfo;
    cinfo->err = jpeg_std_error(&decoder_->err.pub);
    decoder_->err.pub.error_exit = ErrorExit;
    decoder_->err.pub.output_message = OutputMessage;
    decoder_->err.reader = this;
    jpeg_CreateDecompress(cinfo, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    if (!file_.Seek(0, fs::kSeekBegin) || !GuardedReadHeader(cinfo, &file_)) {
        DestroyDecoder();
        return false;
    }
    // The library's own memory is bounded: past the limit it fails (it has
    // no backing store) instead of taking what a few hundred bytes declare.
    cinfo->mem->max_memory_to_use = kJpegMemoryLimit;
    // A file of several scans keeps every coefficient of the picture while it
    // decodes: one whose declared size would need more than the limit is
    // refused before any decoding.
    const uint64_t coefficients = uint64_t{cinfo->image_width} * cinfo->image_height *
                                  static_cast<uint64_t>(cinfo->num_components) * sizeof(JCOEF);
    if (jpeg_has_multiple_scans(cinfo) && coefficients > kJpegMemoryLimit) {
        ReportMessage("Image too large to decode");
        DestroyDecoder();
        return false;
    }
    width_ = static_cast<int>(cinfo->image_width);
    height_ = static_cast<int>(cinfo->image_height);
    components_ = cinfo->num_components;
    ApplyOptions();
    return true;
}

void CJpegReader::DestroyDecoder() {
    if (decoder_) jpeg_destroy_decompress(&decoder_->cinfo);
    decoder_.reset();
    started_ = false;
}

bool CJpegReader::EnsureDecoder() {
    return decoder_ || (file_.IsOpen() && CreateDecoder());
}

void CJpegReader::ApplyOptions() {
    if (!decoder_) return;
    jpeg_decompress_struct* cinfo = &decoder_->cinfo;
    if (grayscale_) cinfo->out_color_space = JCS_GRAYSCALE;
    cinfo->quantize_colors = quantizeMode_ == 1 || quantizeMode_ == 2 ? TRUE : FALSE;
    if (cinfo->quantize_colors) {
        cinfo->two_pass_quantize = quantizeMode_ == 2 ? TRUE : FALSE;
        cinfo->dither_mode = dither_ == 0 ? JDITHER_NONE : dither_ == 1 ? JDITHER_ORDERED : JDITHER_FS;
        // Other counts are fatal to the library: at most 256, and at least
        // two levels of every output component.
        const J_COLOR_SPACE space = cinfo->out_color_space;
        const int least = space == JCS_GRAYSCALE ? 2 : (space == JCS_CMYK || space == JCS_YCCK) ? 16 : 8;
        cinfo->desired_number_of_colors = quantizeColours_ < least ? least : quantizeColours_ > 256 ? 256 : quantizeColours_;
    }
}

bool CJpegReader::Open(WStringView path) {
    Close();
    if (!file_.Open(path, fs::kGenericRead, fs::kShareRead, fs::kOpenExisting)) {
        lastError_ = fs::GetLastError();
        return false;
    }
    lastError_ = 0;
    reported_ = false;
    if (!CreateDecoder()) {
        file_.Close();
        return false;
    }
    return true;
}

void CJpegReader::Close() {
    DestroyDecoder();
    if (file_.IsOpen()) file_.Close();
    row_.clear();
    row_.shrink_to_fit();
    width_ = height_ = components_ = 0;
}

void CJpegReader::SetGrayscale() {
    grayscale_ = true;
    ApplyOptions();
}

void CJpegReader::SetQuantize(int mode, int colours, int dither) {
    quantizeMode_ = mode;
    quantizeColours_ = colours;
    dither_ = dither;
    if (decoder_ && !(mode == 1 || mode == 2)) decoder_->cinfo.quantize_colors = FALSE;
    ApplyOptions();
}

int CJpegReader::GetColorCount() const {
    if (!decoder_) return 0;
    const jpeg_decompress_struct& c = decoder_->cinfo;
    if (c.quantize_colors) return c.actual_number_of_colors;
    return c.out_color_space == JCS_GRAYSCALE ? 256 : c.actual_number_of_colors;
}

int CJpegReader::GetPalette(RGBQUAD* entries) const {
    if (!decoder_) return 0;
    const jpeg_decompress_struct& c = decoder_->cinfo;
    if (!c.quantize_colors && c.out_color_space == JCS_GRAYSCALE) {
        if (entries) {
            for (int i = 0; i < 256; ++i) {
                const auto v = static_cast<BYTE>(i);
                entries[i].rgbBlue = entries[i].rgbGreen = entries[i].rgbRed = v;
                entries[i].rgbReserved = 0;
            }
        }
        return 256;
    }
    const int n = c.actual_number_of_colors < 256 ? c.actual_number_of_colors : 256;
    if (!entries || !c.colormap) return n;
    for (int i = 0; i < n; ++i) {
        const bool grey = c.out_color_components == 1;
        entries[i].rgbRed = c.colormap[0][i];
        entries[i].rgbGreen = grey ? c.colormap[0][i] : c.colormap[1][i];
        entries[i].rgbBlue = grey ? c.colormap[0][i] : c.colormap[2][i];
        entries[i].rgbReserved = 0;
    }
    return n;
}

bool CJpegReader::StartDecompress() {
    return Start(false);
}

bool CJpegReader::Start(bool bgr) {
    if (!EnsureDecoder()) return false;
    if (started_) return true;
    // Colour output straight in the DIB's BGR order: the same conversion,
    // without a pass over every pixel afterwards.
    bgr_ = bgr && !decoder_->cinfo.quantize_colors && decoder_->cinfo.out_color_space == JCS_RGB;
    if (bgr_) decoder_->cinfo.out_color_space = JCS_EXT_BGR;
    if (!GuardedStart(&decoder_->cinfo)) {
        DestroyDecoder();
        return false;
    }
    started_ = true;
    row_.assign(static_cast<size_t>(decoder_->cinfo.output_width) * decoder_->cinfo.output_components, 0);
    return true;
}

void CJpegReader::Finish(bool aborted) {
    if (!decoder_) return;
    // Finishing with rows still unread is fatal to the library: an early
    // stop only destroys.
    if (!aborted && started_ && decoder_->cinfo.output_scanline >= decoder_->cinfo.output_height)
        GuardedFinish(&decoder_->cinfo);
    DestroyDecoder();
}

bool CJpegReader::ReadRow(uint8_t* into) {
    if (GuardedReadRow(&decoder_->cinfo, into ? into : row_.data())) return true;
    DestroyDecoder();
    return false;
}

HBITMAP CJpegReader::ReadBitmap() {
    if (!Start(true)) return nullptr;
    const jpeg_decompress_struct& c = decoder_->cinfo;
    const int components = c.output_components;
    const bool indexed = components == 1;
    const int bits = indexed ? 8 : 24;
    const int width = static_cast<int>(c.output_width);
    const int height = static_cast<int>(c.output_height);
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
    bmi->bmiHeader = BITMAPINFOHEADER{};
    bmi->bmiHeader.biWidth = width;
    bmi->bmiHeader.biHeight = height;
    bmi->bmiHeader.biBitCount = static_cast<WORD>(bits);
    bmi->bmiHeader.biXPelsPerMeter = bmi->bmiHeader.biYPelsPerMeter = 1;
    const int stride = DibStride(bits, width);
    // A whole picture larger than the limit is not made (a window of it can
    // still be drawn, row by row).
    if (uint64_t(stride) * uint64_t(height) > kJpegMemoryLimit) {
        ReportMessage("Image too large to decode");
        Finish(true);
        return nullptr;
    }
    bmi->bmiHeader.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(height);
    if (indexed) {
        const int count = GetPalette(bmi->bmiColors);
        bmi->bmiHeader.biClrUsed = bmi->bmiHeader.biClrImportant = static_cast<DWORD>(count);
    }
    void* bits0 = nullptr;
    gdi::OwnedBitmap section(CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits0, nullptr, 0));
    if (!section || !bits0) {
        Finish(true);
        return nullptr;
    }
    auto* base = static_cast<uint8_t*>(bits0);
    // Rows the DIB takes as they come are decoded in place, several to a
    // call, straight to their bottom-up places.
    const bool inPlace = indexed || bgr_;
    for (int y = 0; y < height;) {
        if (inPlace) {
            JSAMPROW rows[16];
            const int want = std::min(16, height - y);
            for (int k = 0; k < want; ++k) rows[k] = base + static_cast<size_t>(height - 1 - y - k) * stride;
            const int got = GuardedReadRows(&decoder_->cinfo, rows, want);
            if (got <= 0) {
                DestroyDecoder();
                return nullptr;
            }
            y += got;
            continue;
        }
        uint8_t* dst = base + static_cast<size_t>(height - 1 - y) * stride;
        if (!ReadRow()) return nullptr;
        for (int x = 0; x < width; ++x) PutBgr(dst + 3 * x, row_.data(), components, x, false);
        ++y;
    }
    Finish(false);
    return section.release();
}

bool CJpegReader::DrawScaled(HBITMAP target, int srcX, int srcY, int srcWidth, int srcHeight,
                             CAbortCheck::Poll abortPoll) {
    DIBSECTION ds{};
    if (!target || GetObject(target, sizeof ds, &ds) != static_cast<int>(sizeof ds) || !ds.dsBm.bmBits) return false;
    const int tw = ds.dsBmih.biWidth;
    const int th = ds.dsBmih.biHeight < 0 ? -ds.dsBmih.biHeight : ds.dsBmih.biHeight;
    const bool bottomUp = ds.dsBmih.biHeight > 0;
    const int tbits = ds.dsBmih.biBitCount;
    if (tw <= 0 || th <= 0 || srcWidth <= 0 || srcHeight <= 0 || srcX < 0 || srcY < 0) return false;
    if (!EnsureDecoder()) return false;
    if (started_) {
        // A decode left half-way: begin again from the top of the file.
        if (!CreateDecoder()) return false;
    }
    jpeg_decompress_struct* cinfo = &decoder_->cinfo;
    // The decoder's own reduction (1/2, 1/4 or 1/8 in its inverse DCT) by
    // the largest power of two that still leaves the window at least the
    // target's size: each point sample then comes from the reduced block that
    // holds the full-size pixel (its average, as `djpeg -scale` gives it).
    int reduce = 1;
    while (reduce < 8 && srcWidth / tw >= 2 * reduce && srcHeight / th >= 2 * reduce) reduce *= 2;
    cinfo->scale_num = 1;
    cinfo->scale_denom = static_cast<unsigned>(reduce);
    // The output must match the target before anything is decoded.
    if (!GuardedCalcDimensions(cinfo)) {
        DestroyDecoder();
        return false;
    }
    const int components = cinfo->output_components;
    if ((components == 1 && tbits != 8) || (components != 1 && tbits != 24)) return false;
    if (!Start(true)) return false;
    cinfo = &decoder_->cinfo;
    // Only the window's columns are decoded, with a margin each side: the
    // decoder starts at an iMCU column and smooths colour across the
    // neighbouring columns, which a cut makes an edge. Dithering carries
    // error along a row, so quantised output keeps whole rows.
    int firstColumn = 0;
    if (!cinfo->quantize_colors && srcX < width_) {
        constexpr int64_t kMargin = 32;
        const int64_t end = std::min<int64_t>(static_cast<int64_t>(srcX) + srcWidth, width_);
        const int64_t left = std::max<int64_t>(srcX / reduce - kMargin, 0);
        const int64_t right =
            std::min<int64_t>((end - 1) / reduce + 1 + kMargin, cinfo->output_width);
        auto x = static_cast<JDIMENSION>(left);
        auto w = static_cast<JDIMENSION>(right - left);
        if (w < cinfo->output_width) {
            if (!GuardedCropColumns(cinfo, &x, &w)) {
                DestroyDecoder();
                return false;
            }
            firstColumn = static_cast<int>(x);
        }
    }
    const int outHeight = static_cast<int>(cinfo->output_height);
    const int stride = DibStride(tbits, tw);
    auto* base = static_cast<uint8_t*>(ds.dsBm.bmBits);
    // Skipping rows keeps the pixels, except where dithering carries error
    // from row to row.
    const bool canSkip = !cinfo->quantize_colors;
    int j = 0;
    bool aborted = false;
    while (j < th) {
        const int64_t want = srcY + static_cast<int64_t>(j) * srcHeight / th;
        if (want >= height_ || want >= static_cast<int64_t>(srcY) + srcHeight) break;
        const int64_t row = want / reduce;
        if (row >= outHeight) break;
        const int current = static_cast<int>(cinfo->output_scanline);
        if (row < current) {  // an enlarging request: this row was used already
            ++j;
            continue;
        }
        if (g_rowHook) g_rowHook();
        if (abortPoll && abortPoll()) {
            aborted = true;
            break;
        }
        if (canSkip && row > current) {
            if (!GuardedSkipRows(cinfo, static_cast<JDIMENSION>(row - current))) {
                DestroyDecoder();
                return false;
            }
            continue;
        }
        if (!ReadRow()) return false;
        cinfo = &decoder_->cinfo;
        if (static_cast<int>(cinfo->output_scanline) - 1 != row) continue;
        if (srcX < width_) {
            uint8_t* dst = base + static_cast<size_t>(bottomUp ? th - 1 - j : j) * stride;
            for (int i = 0; i < tw; ++i) {
                const int64_t col = srcX + static_cast<int64_t>(i) * srcWidth / tw;
                if (col >= width_) break;
                const int at = static_cast<int>(col / reduce) - firstColumn;
                if (components == 1)
                    dst[i] = row_[static_cast<size_t>(at)];
                else
                    PutBgr(dst + 3 * i, row_.data(), components, at, bgr_);
            }
        }
        ++j;
    }
    // Rows after the last one wanted are never decoded.
    Finish(true);
    return !aborted;
}

bool CJpegReader::ReadScanlines(ScanlineCallback callback, void* context) {
    if (!callback || !StartDecompress()) return false;
    const int height = static_cast<int>(decoder_->cinfo.output_height);
    for (int y = 0; y < height; ++y) {
        if (!ReadRow()) return false;
        if (!callback(this, y, row_.data(), context)) {
            Finish(true);
            return false;
        }
    }
    Finish(false);
    return true;
}

HBITMAP LoadJpegBitmap(WStringView path) {
    CJpegReader reader;
    if (!reader.Open(path)) return nullptr;
    return reader.ReadBitmap();
}
