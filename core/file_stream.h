// Files with a text encoding: CFileStream (byte-order marks, byte swapping,
// token reading), CLineFile (8-bit lines), CScriptTextFile (whole text files),
// and the whole-file helpers. Every file is opened through platform/fs, so
// paths are device paths.
//
// Encodings: 0 "ANSI" (a byte is the UTF-16 unit of the same value; units
// above 0xFF are written as '?'), 1 UTF-8, 2 UTF-16 little-endian (big-endian
// when the swap flag is set); -1 as an argument means "detect".
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "platform/fs/fs.h"
#include "platform/text/text.h"

// A failed file operation; thrown by reads, writes and seeks of an open stream.
class CFileException : public std::exception {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException() = default;
    CFileException(int cause, uint32_t osError, WString fileName = {});
    const char* what() const noexcept override;
    // The cause for one of platform/fs's error codes.
    static int CauseFromError(uint32_t error);

    int m_cause = none;
    uint32_t m_osError = 0;
    WString m_fileName;

private:
    std::string m_what;
};

class CFileStream {
public:
    // Open flags, combined with |.
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x1000,
        modeCreate = 0x2000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFileStream() = default;
    virtual ~CFileStream();
    CFileStream(const CFileStream&) = delete;
    CFileStream& operator=(const CFileStream&) = delete;

    // False (with the cause in `error`) when the file cannot be opened.
    virtual bool Open(WStringView path, unsigned flags, CFileException* error = nullptr);
    // Closes; a failure to close throws.
    void Close();
    // Closes without throwing.
    void Abort();
    bool IsOpen() const { return m_file.IsOpen(); }
    const WString& GetFilePath() const { return m_path; }
    // The system's descriptor of the open file, -1 when closed.
    int GetNativeHandle() const { return m_file.NativeHandle(); }

    // Raw bytes. Read returns what it got (0 at the end); errors throw.
    virtual size_t Read(void* buffer, size_t n);
    void Write(const void* buffer, size_t n);
    uint64_t Seek(int64_t offset, int from);
    void SeekToBegin() { Seek(0, begin); }
    uint64_t SeekToEnd() { return Seek(0, end); }
    uint64_t GetPosition() const;
    uint64_t GetLength() const;
    void Flush();

    // Encoding and token settings.
    int GetEncoding() const { return m_encoding; }
    void SetEncoding(int encoding) { m_encoding = encoding; }
    WChar GetDelimiter() const { return m_delimiter; }
    void SetDelimiter(WChar delimiter) { m_delimiter = delimiter; }
    bool GetByteSwap() const { return m_byteSwap; }
    // Returns the old flag.
    bool SetByteSwap(bool swap);
    void SwapBytes(void* buffer, size_t n) const;

    // Binary values: n bytes, reversed when the swap flag is set.
    bool ReadValue(void* buffer, size_t n);
    // The caller's buffer is left as it was.
    bool WriteValue(const void* buffer, size_t n);
    // A fixed-width 8-bit field: zero-fills `length` bytes and reads
    // `length` - 1 of them, so the result is always terminated.
    void ReadString(char* buffer, size_t length);
    // A `width`-byte decimal text field; 0 for width 0 or less.
    int ReadNumber(int width);
    // 8-bit text up to the delimiter, the end or `max` characters; NUL and CR
    // bytes are not stored. With `trim`, bytes up to 32 are removed from both
    // ends. Returns the token's length.
    int ReadToken(WString& token, int max, bool trim);
    // The next byte, or -1 at the end.
    int ReadByte();
    // Whole items of `size` bytes read.
    int ReadItems(void* buffer, size_t size, size_t count);
    void Skip(int64_t n) { Seek(n, current); }
    bool IsEof() const;

    void WriteByte(uint8_t byte);
    // n below 0: up to the terminator.
    void WriteAnsi(const char* text, int n = -1);
    void WriteChar(WChar ch);
    // n below 0: the whole text. In UTF-8 a surrogate pair becomes one
    // 4-byte sequence.
    void WriteString(WStringView text, int n = -1);
    void WriteCharRepeated(WChar ch, int count);
    void WriteNewLine();

    // Reads a byte-order mark at the start: EF BB BF (UTF-8), FF FE (UTF-16
    // LE), FE FF (UTF-16 BE, swap flag set). True and positioned after it when
    // found; else the position is restored and the encoding left alone.
    bool DetectBom();
    // One UTF-16 unit from UTF-8; a 4-byte sequence yields its two surrogates
    // on two calls. 0 at the end.
    WChar ReadUtf8Char();
    void WriteUtf8Char(WChar ch);
    // One unit in the stream's encoding; false at the end.
    bool ReadChar(WChar& ch);
    // Everything from the position to the end, in the stream's encoding.
    WString ReadToEnd();

protected:
    // The byte source of all UTF-8 reading.
    virtual bool ReadNextByte(uint8_t& byte);
    [[noreturn]] void ThrowLastError() const;
    // Puts bytes just read back in front of the stream.
    void GiveBack(const uint8_t* bytes, size_t n);

private:
    void DropReadBuffer();
    bool NextByte(uint8_t& byte);
    bool ReadUtf8Unit(WChar& ch);

    fs::File m_file;
    WString m_path;
    bool m_byteSwap = false;
    WChar m_delimiter = u'\n';
    int m_encoding = 0;
    // Read-ahead; the file pointer stands at the end of the buffered bytes.
    std::string m_buffer;
    size_t m_bufferPos = 0;
    // Bytes given back after reading ahead, last first; read before the buffer.
    std::string m_back;
    WChar m_pendingLow = 0;  // second half of a 4-byte sequence
};

// 8-bit text lines of at most 255 bytes.
class CLineFile : public CFileStream {
public:
    using CFileStream::Open;
    bool Open(WStringView path, bool readOnly);
    // The next line, without its CR LF (or LF, or ending NUL); each byte one
    // unit. Returns the length: an empty line and the end both give 0, so
    // callers test IsEof.
    int ReadLine(WString& line);
};

// Whole script and configuration files.
class CScriptTextFile : public CFileStream {
public:
    // A byte-order mark decides the encoding, else UTF-8. False when the
    // file cannot be opened. The code page is not used.
    bool ReadAllToString(WStringView path, WString& text, unsigned codePage = 0);
    // The whole text, or nothing when the file cannot be opened.
    std::optional<WString> ReadAll(WStringView path);
    // Recognises an encoded script file from its first five bytes. This
    // build has no such files, so nothing is recognised.
    static bool IsEncodedScript(const uint8_t first[5]);

private:
    bool m_encoded = false;
};

// Whole text files. WriteTextFile replaces the file through a temporary file,
// so the old content survives a failed write; false when that fails.
bool ReadTextFile(WStringView path, WString& text, int encoding);
bool WriteTextFile(WStringView path, WStringView text, int encoding);
// The text of a whole file in an encoding, as WriteTextFile writes it.
std::string EncodeText(WStringView text, int encoding);

// "<folder>\<prefix><number as 4 hex digits>.tmp". For number 0 the number
// starts from the current time and counts up past names that exist. Returns
// the number used.
unsigned MakeTempFileName(WStringView folder, WStringView prefix, unsigned number, WString& result);
