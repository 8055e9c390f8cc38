// EFileIO: the binary file under the spatial index's file pair. One open file
// of the device file system; a file opened read-only is mapped whole (every
// file up to 4 GiB: the address space allows it) or, after SetMapWindowSize,
// through a window of that size that moves on demand. Record reads are memory
// copies and GetPointer hands out in-place access.
//
// Every call leaves a code in the object (GetError):
//   0 success
//   2 the file exists but cannot be opened; writing or truncating while mapped
//   3 the file does not exist
//   4 the file cannot be created
//   5 the position is out of range or cannot be set; a window cannot be mapped
//   6 a read failed or came short (through the handle), or a remap failed
//   7 a write failed or came short; setting the end of file failed
//   8 the file is not open
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "formats/message_sink.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"


class EFileIO {
public:
    enum Error {
        kOk = 0,
        kCannotOpen = 2,
        kNotFound = 3,
        kCannotCreate = 4,
        kBadPosition = 5,
        kReadFailed = 6,
        kWriteFailed = 7,
        kNotOpen = 8,
    };
    // Window offsets are multiples of this (the device's allocation granularity).
    static constexpr uint32_t kAllocationGranularity = 0x10000;
    // The default window: the whole file.
    static constexpr uint32_t kWholeFile = 0xFFFFFFFF;

    explicit EFileIO(WStringView path);
    // Copies only the path; error 8 when the source was open.
    explicit EFileIO(const EFileIO& other);
    EFileIO& operator=(const EFileIO&) = delete;
    ~EFileIO();

    bool Open(bool readOnly, bool shareRead, bool shareWrite, bool noMapping, bool deleteOnClose);
    bool Create(bool overwrite, bool deleteOnClose);
    void Close();

    uint64_t GetSize();
    // span: the bytes the caller is about to read there. A failed seek leaves
    // the position and the read pointer as they were.
    bool Seek(int64_t offset, uint32_t span, int origin);
    bool SeekTo(int64_t offset, int origin) { return Seek(offset, 1, origin); }
    int64_t GetPosition() const { return position_; }
    uint32_t Read(void* buffer, uint32_t count);
    uint32_t Write(const void* buffer, uint32_t count);
    bool SetLength(uint64_t length);
    bool Flush();

    bool IsOpen() const { return file_.IsOpen(); }
    bool IsMapped() const { return view_ != nullptr; }
    const uint8_t* GetPointer() const { return view_ ? current_ : nullptr; }
    uint32_t GetWindow() const { return window_; }
    uint64_t GetWindowOffset() const { return windowOffset_; }
    int GetError() const { return error_; }
    const WString& GetPath() const { return path_; }

    bool Exists() const;
    bool Delete();
    static bool FileExists(WStringView path);
    static bool CopyFile(WStringView source, WStringView destination, bool failIfExists);

    // Whether the file could be opened for writing; the file is left as it
    // was (closed, mapped or open). Throws CFileException (access denied)
    // when it cannot be reopened as it was.
    bool CanOpenForWriting();

    // Process-wide window size: 0 or below turns mapping off; positive sizes
    // round up to a multiple of 64 KiB (at most 2 GiB). kWholeFile, the
    // default, maps every file whole.
    static void SetMapWindowSize(int64_t size);
    static uint32_t GetMapWindowSize();
    // Test reset: the default window (whole files) and the default message sink.
    static void ResetForTests();

private:
    bool MapWindow(uint64_t position, uint32_t span);
    uint64_t ViewEnd() const;

    WString path_;
    int error_ = kOk;
    fs::File file_;
    fs::FileMapping mapping_;
    const uint8_t* view_ = nullptr;
    const uint8_t* current_ = nullptr;
    int64_t position_ = -1;
    uint64_t size_ = 0;
    bool deleteOnClose_ = false;
    uint32_t window_ = 0;
    uint64_t windowOffset_ = 0;
    bool readOnly_ = false;
    bool shareRead_ = false;
    bool shareWrite_ = false;
};
