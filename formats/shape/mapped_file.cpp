#include "formats/shape/mapped_file.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "core/file_stream.h"

namespace {

std::atomic<uint32_t> g_windowSize{EFileIO::kWholeFile};  // read by files opened on any thread

uint32_t ShareFlags(bool shareRead, bool shareWrite) {
    return (shareRead ? fs::kShareRead : 0) | (shareWrite ? fs::kShareWrite : 0);
}

}  // namespace

EFileIO::EFileIO(WStringView path) : path_(path) {}

EFileIO::EFileIO(const EFileIO& other) : path_(other.path_) {
    if (other.IsOpen()) error_ = kNotOpen;
}

EFileIO::~EFileIO() {
    Close();
}

void EFileIO::SetMapWindowSize(int64_t size) {
    if (size <= 0) {
        g_windowSize = 0;
        return;
    }
    const uint64_t rounded = (static_cast<uint64_t>(size) + 0xFFFF) & ~uint64_t{0xFFFF};
    g_windowSize = rounded > 0x80000000u ? 0x80000000u : static_cast<uint32_t>(rounded);
}

uint32_t EFileIO::GetMapWindowSize() {
    return g_windowSize;
}

void EFileIO::ResetForTests() {
    g_windowSize = kWholeFile;
    ESetMessageSink(nullptr);
}

bool EFileIO::Open(bool readOnly, bool shareRead, bool shareWrite, bool noMapping,
                   bool deleteOnClose) {
    Close();
    readOnly_ = readOnly;
    shareRead_ = shareRead;
    shareWrite_ = shareWrite;
    const uint32_t access = readOnly ? fs::kGenericRead : (fs::kGenericRead | fs::kGenericWrite);
    if (!file_.Open(path_, access, ShareFlags(shareRead, shareWrite), fs::kOpenExisting,
                    fs::kAttrNormal | fs::kFlagRandomAccess)) {
        const uint32_t attrs = fs::GetFileAttributes(path_);
        error_ = attrs == fs::kInvalidAttributes ? kNotFound : kCannotOpen;
        return false;
    }
    position_ = 0;
    const uint32_t windowSize = g_windowSize;  // one reading of the setting
    if (readOnly && !noMapping && windowSize != 0 && !shareWrite) {
        const uint64_t size = file_.Size();
        // Sizes past 32 bits are read through the handle (offsets here are 32-bit).
        if (size != UINT64_MAX && size > 0 && size <= 0xFFFFFFFFu) {
            size_ = size;
            const uint32_t window = size <= windowSize ? 0 : windowSize;
            const uint64_t length = window == 0 ? size : window;
            if (mapping_.MapView(file_, false, 0, length)) {
                view_ = static_cast<const uint8_t*>(mapping_.Data());
                current_ = view_;
                window_ = window;
                windowOffset_ = 0;
            }
        }
    }
    deleteOnClose_ = deleteOnClose;
    error_ = kOk;
    return true;
}

bool EFileIO::Create(bool overwrite, bool deleteOnClose) {
    Close();
    if (!file_.Open(path_, fs::kGenericRead | fs::kGenericWrite, fs::kShareRead,
                    overwrite ? fs::kCreateAlways : fs::kCreateNew, fs::kAttrNormal)) {
        error_ = kCannotCreate;
        return false;
    }
    readOnly_ = false;
    shareRead_ = true;
    shareWrite_ = false;
    position_ = 0;
    deleteOnClose_ = deleteOnClose;
    error_ = kOk;
    return true;
}

void EFileIO::Close() {
    if (!file_.IsOpen()) return;
    mapping_.Unmap();
    view_ = current_ = nullptr;
    window_ = 0;
    windowOffset_ = 0;
    size_ = 0;
    file_.Close();
    position_ = -1;
    if (deleteOnClose_) fs::DeleteFile(path_);
    deleteOnClose_ = false;
}

uint64_t EFileIO::GetSize() {
    if (view_) return size_;
    if (file_.IsOpen()) {
        const uint64_t s = file_.Size();
        return s == UINT64_MAX ? 0 : s;
    }
    fs::File f;
    if (!f.Open(path_, fs::kGenericRead, fs::kShareNone, fs::kOpenExisting)) {
        error_ = fs::GetFileAttributes(path_) == fs::kInvalidAttributes ? kNotFound : kCannotOpen;
        return 0;
    }
    const uint64_t s = f.Size();
    return s == UINT64_MAX ? 0 : s;
}

uint64_t EFileIO::ViewEnd() const {
    if (window_ == 0) return size_;
    const uint64_t end = windowOffset_ + window_;
    return end > size_ ? size_ : end;
}

bool EFileIO::MapWindow(uint64_t position, uint32_t span) {
    mapping_.Unmap();
    view_ = current_ = nullptr;
    uint64_t offset = position;
    uint64_t window = g_windowSize;
    if (position > size_ - (size_ < window ? size_ : window)) window = 0;
    if (window != 0 && window < span) window = span;
    const uint64_t aligned = offset & ~uint64_t{kAllocationGranularity - 1};
    if (window != 0) window += offset - aligned;
    offset = aligned;
    uint64_t length = window == 0 ? size_ - offset : window;
    if (offset + length > size_) {
        length = size_ - offset;
        window = 0;
    }
    if (!mapping_.MapView(file_, false, offset, length)) {
        EReportMessage(text::Format(u"Mapping a window of %S failed (system error %u).",
                                    text::ToUtf8(path_).c_str(), fs::GetLastError()),
                       u"MapViewOfFile");
        // The file stays usable through its handle.
        return false;
    }
    view_ = static_cast<const uint8_t*>(mapping_.Data());
    window_ = static_cast<uint32_t>(window);
    windowOffset_ = offset;
    return true;
}

bool EFileIO::Seek(int64_t offset, uint32_t span, int origin) {
    if (!file_.IsOpen()) {
        error_ = kNotOpen;
        return false;
    }
    int64_t base = 0;
    if (origin == fs::kSeekCurrent)
        base = position_;
    else if (origin == fs::kSeekEnd)
        base = static_cast<int64_t>(GetSize());
    else if (origin != fs::kSeekBegin) {
        error_ = kBadPosition;
        return false;
    }
    const int64_t pos = base + offset;
    if (pos < 0) {
        error_ = kBadPosition;
        return false;
    }
    if (!view_) {
        if (!file_.Seek(pos, fs::kSeekBegin)) {
            error_ = kBadPosition;
            return false;
        }
        position_ = pos;
        error_ = kOk;
        return true;
    }
    const uint64_t upos = static_cast<uint64_t>(pos);
    // A mapped file cannot be positioned at its very end: the span must fit.
    if (upos >= size_ || upos + span > size_) {
        error_ = kBadPosition;
        return false;
    }
    if (upos < windowOffset_ || upos + span > ViewEnd()) {
        const uint64_t oldOffset = windowOffset_;
        const uint32_t oldWindow = window_;
        const uint64_t oldPos = static_cast<uint64_t>(position_);
        if (!MapWindow(upos, span)) {
            // Put the old window back so the object stays as it was.
            window_ = oldWindow;
            windowOffset_ = oldOffset;
            const uint64_t len = oldWindow == 0 ? size_ - oldOffset : oldWindow;
            if (mapping_.MapView(file_, false, oldOffset, len)) {
                view_ = static_cast<const uint8_t*>(mapping_.Data());
                current_ = view_ + (oldPos - oldOffset);
            } else {
                view_ = current_ = nullptr;
                file_.Seek(static_cast<int64_t>(oldPos), fs::kSeekBegin);
            }
            error_ = kBadPosition;
            return false;
        }
    }
    current_ = view_ + (upos - windowOffset_);
    position_ = pos;
    error_ = kOk;
    return true;
}

uint32_t EFileIO::Read(void* buffer, uint32_t count) {
    if (!file_.IsOpen()) {
        error_ = kNotOpen;
        return 0;
    }
    if (view_) {
        const uint64_t pos = static_cast<uint64_t>(position_);
        if (pos >= size_ || pos < windowOffset_ || pos > ViewEnd()) {
            error_ = kReadFailed;
            return 0;
        }
        if (count > size_ - pos) count = static_cast<uint32_t>(size_ - pos);
        if (count == 0) {
            error_ = kOk;
            return 0;
        }
        if (pos + count > ViewEnd()) {
            if (!Seek(static_cast<int64_t>(pos), count, fs::kSeekBegin)) {
                error_ = kReadFailed;
                return 0;
            }
        }
        std::memcpy(buffer, current_, count);
        current_ += count;
        position_ += count;
        error_ = kOk;
        return count;
    }
    size_t got = 0;
    if (!file_.Read(buffer, count, &got)) {
        error_ = kReadFailed;
        return 0;
    }
    position_ += static_cast<int64_t>(got);
    error_ = got < count ? kReadFailed : kOk;
    return static_cast<uint32_t>(got);
}

uint32_t EFileIO::Write(const void* buffer, uint32_t count) {
    if (view_) {
        error_ = kCannotOpen;
        return 0;
    }
    if (!file_.IsOpen()) {
        error_ = kNotOpen;
        return 0;
    }
    size_t put = 0;
    const bool ok = file_.Write(buffer, count, &put);
    position_ += static_cast<int64_t>(put);
    if (!ok && put == 0) {
        error_ = kWriteFailed;
        return 0;
    }
    error_ = put < count ? kWriteFailed : kOk;
    return static_cast<uint32_t>(put);
}

bool EFileIO::SetLength(uint64_t length) {
    if (view_) {
        error_ = kCannotOpen;
        return false;
    }
    if (!file_.IsOpen()) {
        error_ = kNotOpen;
        return false;
    }
    if (!file_.Seek(static_cast<int64_t>(length), fs::kSeekBegin)) {
        error_ = kBadPosition;
        return false;
    }
    position_ = static_cast<int64_t>(length);
    if (!file_.SetEnd()) {
        error_ = kWriteFailed;
        return false;
    }
    error_ = kOk;
    return true;
}

bool EFileIO::Flush() {
    if (!file_.IsOpen() || view_) return true;
    if (!file_.Flush()) {
        error_ = kWriteFailed;
        return false;
    }
    return true;
}

bool EFileIO::Exists() const {
    return FileExists(path_);
}

bool EFileIO::Delete() {
    return fs::DeleteFile(path_);
}

bool EFileIO::FileExists(WStringView path) {
    return fs::GetFileAttributes(path) != fs::kInvalidAttributes;
}

bool EFileIO::CopyFile(WStringView source, WStringView destination, bool failIfExists) {
    // The platform's copy fails on an existing target when asked to.
    return fs::CopyFile(source, destination, failIfExists);
}

bool EFileIO::CanOpenForWriting() {
    const bool wasMapped = view_ != nullptr;
    const bool wasOpen = file_.IsOpen();
    const bool ro = readOnly_, sr = shareRead_, sw = shareWrite_;
    const int64_t pos = position_;
    const bool del = deleteOnClose_;
    deleteOnClose_ = false;
    Close();
    const bool writable = Open(false, true, false, true, false);
    Close();
    if (!wasOpen && !wasMapped) return writable;
    const bool reopened =
        wasMapped ? Open(true, true, false, false, del) : Open(ro, sr, sw, false, false);
    if (!reopened) throw CFileException(CFileException::accessDenied, static_cast<uint32_t>(-1));
    if (pos > 0) SeekTo(pos, fs::kSeekBegin);
    return writable;
}
