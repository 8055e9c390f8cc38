// CSidReader: a MrSID image behind an object: its header values, the size
// of every resolution level, and the selected view (level, window, row
// stride) to decode.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/abort_check.h"
#include "formats/sid/sid_file.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CSidReader {
public:
    CSidReader();
    virtual ~CSidReader();
    CSidReader(const CSidReader&) = delete;
    CSidReader& operator=(const CSidReader&) = delete;

    // True when the file opens and begins with "msid" and 7 more bytes.
    static bool IsSidFile(WStringView path);
    static int ReadInfo(WStringView path, int* bands, int* levels, int* width, int* height,
                        uint8_t* version);

    // Closes first; true when the header was read (status 0). A newer
    // generation or an odd band count keeps status 3.
    bool Open(WStringView path);
    void Close();

    // False unless 0 <= level < levels.
    bool GetLevelSize(int level, int* width, int* height) const;
    int GetLevelWidth(int level) const;
    int GetLevelHeight(int level) const;

    // Level -1 is the coarsest; without a rectangle the whole level; the
    // rectangle (inclusive) is clamped to the level. Stride 0: packed rows,
    // negative: rows rounded to 32-bit words, positive: as given. A factor
    // above 1 reduces the view: every factor-th pixel of every factor-th row
    // of the window, from its first one. False, with no view, when the window
    // does not meet the level, the (reduced) output would exceed
    // kSidMaxViewBytes, or the view cannot be opened.
    bool SelectView(int level, const RECT* rect, int stride, int factor = 1);
    int GetLevel() const;
    int GetWidth() const;
    int GetHeight() const;
    int GetStride() const;
    int GetFactor() const { return factor_; }
    // The size of what Draw writes: the window's size reduced by the factor.
    int GetOutputWidth() const;
    int GetOutputHeight() const;
    // The view window as (first column, first row, last column, last row).
    void GetExtent(RECT* extent) const;

    // A DIB section for the view, owned by the reader: at least the output's
    // size (a negative size is the screen's, which the caller gives),
    // bottom-up, 8 bits with a grey palette for one band, else 24 bits. Null
    // without a view.
    HBITMAP CreateBitmap(int width, int height, SIZE screen = SIZE{});
    HBITMAP GetBitmap() const { return bitmap_.get(); }
    // The reader's bitmap, which the caller then owns.
    HBITMAP DetachBitmap();

    // Decodes the view into `target` (or the reader's own bitmap) with the
    // window at its top-left, asking `abortPoll` (when not null) between
    // steps whether the user wants to stop. The target must be a DIB section
    // of at least the output's size, with rows of at least the stride (when
    // not reduced), 8 bits for one band and 24 for three. The window is
    // decoded a piece at a time, so the working memory stays within a few
    // megabytes whatever its size. After a stop or a failure the view is
    // gone and a new SelectView is needed.
    bool Draw(HBITMAP target, CAbortCheck::Poll abortPoll);

    int GetStatus() const { return status_; }
    int GetBands() const { return bands_; }
    int GetLevels() const { return levels_; }
    int GetImageWidth() const { return width_; }
    int GetImageHeight() const { return height_; }
    const uint8_t* GetVersion() const { return version_; }
    bool HasView() const { return view_ != nullptr; }

private:
    void CloseView();

    int status_ = 0;
    WString path_;
    int bands_ = 0, levels_ = 0, width_ = 0, height_ = 0;
    uint8_t version_[3] = {0, 0, 0};
    SidImage* view_ = nullptr;
    int factor_ = 1;
    gdi::OwnedBitmap bitmap_;
};

// The whole of the coarsest level that is at least minWidth x minHeight
// (level 0 when none is) as a DIB section the caller owns; null on failure.
HBITMAP SidLoadBitmap(WStringView path, int minWidth, int minHeight);

// Tests: called with the reader on every progress step of a draw (before the
// abort poll), so a test can ask for an abort part way.
void SidSetDrawHookForTests(std::function<void()> hook);

// The view window of a descriptor, (first column, last column, first row,
// last row), as a rectangle (first column, first row, last column, last
// row), and back.
RECT SidWindowToRect(int firstColumn, int lastColumn, int firstRow, int lastRow);
void SidRectToWindow(const RECT& rect, int* firstColumn, int* lastColumn, int* firstRow,
                     int* lastRow);
