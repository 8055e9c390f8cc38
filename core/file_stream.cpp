#include "core/file_stream.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "core/xml_node.h"

namespace {

constexpr size_t kReadAhead = 64 * 1024;

// The lead byte's count of continuation bytes, or -1 when it leads nothing.
int Utf8Extra(uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return -1;
}

}  // namespace

// ---- CFileException ----

CFileException::CFileException(int cause, uint32_t osError, WString fileName)
    : m_cause(cause), m_osError(osError), m_fileName(std::move(fileName)) {
    m_what = text::FormatA("file error %d (system error %u) on %S", m_cause, m_osError,
                           m_fileName.c_str());
}

const char* CFileException::what() const noexcept {
    return m_what.c_str();
}

int CFileException::CauseFromError(uint32_t error) {
    switch (error) {
        case fs::kErrorSuccess:
            return none;
        case fs::kErrorFileNotFound:
            return fileNotFound;
        case fs::kErrorPathNotFound:
        case fs::kErrorInvalidName:
        case fs::kErrorFilenameTooLong:
            return badPath;
        case fs::kErrorTooManyOpenFiles:
            return tooManyOpenFiles;
        case fs::kErrorAccessDenied:
        case fs::kErrorWriteProtect:
        case fs::kErrorFileExists:
        case fs::kErrorAlreadyExists:
            return accessDenied;
        case fs::kErrorInvalidHandle:
            return invalidFile;
        case fs::kErrorNegativeSeek:
            return badSeek;
        case fs::kErrorReadFault:
        case fs::kErrorWriteFault:
        case fs::kErrorGenFailure:
            return hardIO;
        case fs::kErrorSharingViolation:
            return sharingViolation;
        case fs::kErrorDiskFull:
            return diskFull;
        case fs::kErrorHandleEof:
            return endOfFile;
        default:
            return genericException;
    }
}

// ---- CFileStream: the file ----

CFileStream::~CFileStream() {
    Abort();
}

bool CFileStream::Open(WStringView path, unsigned flags, CFileException* error) {
    Abort();
    uint32_t access = fs::kGenericRead;
    if ((flags & 3) == modeWrite) access = fs::kGenericWrite;
    if ((flags & 3) == modeReadWrite) access = fs::kGenericRead | fs::kGenericWrite;
    uint32_t share = fs::kShareNone;  // compatibility mode is exclusive
    switch (flags & 0x70) {
        case shareDenyWrite:
            share = fs::kShareRead;
            break;
        case shareDenyRead:
            share = fs::kShareWrite;
            break;
        case shareDenyNone:
            share = fs::kShareRead | fs::kShareWrite;
            break;
        default:
            break;
    }
    uint32_t disposition = fs::kOpenExisting;
    if (flags & modeCreate)
        disposition = (flags & modeNoTruncate) ? fs::kOpenAlways : fs::kCreateAlways;
    m_path = path;
    if (!m_file.Open(path, access, share, disposition)) {
        uint32_t e = fs::GetLastError();
        if (error) *error = CFileException(CFileException::CauseFromError(e), e, m_path);
        return false;
    }
    return true;
}

void CFileStream::Close() {
    DropReadBuffer();
    if (m_file.IsOpen() && !m_file.Close()) ThrowLastError();
}

void CFileStream::Abort() {
    m_buffer.clear();
    m_bufferPos = 0;
    m_back.clear();
    m_pendingLow = 0;
    if (m_file.IsOpen()) m_file.Close();
}

void CFileStream::ThrowLastError() const {
    uint32_t e = fs::GetLastError();
    throw CFileException(CFileException::CauseFromError(e), e, m_path);
}

void CFileStream::DropReadBuffer() {
    size_t ahead = (m_buffer.size() - m_bufferPos) + m_back.size();
    m_buffer.clear();
    m_bufferPos = 0;
    m_back.clear();
    m_pendingLow = 0;
    if (ahead && m_file.IsOpen() && !m_file.Seek(-static_cast<int64_t>(ahead), fs::kSeekCurrent))
        ThrowLastError();
}

size_t CFileStream::Read(void* buffer, size_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    while (got < n && !m_back.empty()) {
        out[got++] = static_cast<uint8_t>(m_back.back());
        m_back.pop_back();
    }
    while (got < n) {
        if (m_bufferPos < m_buffer.size()) {
            size_t k = std::min(n - got, m_buffer.size() - m_bufferPos);
            memcpy(out + got, m_buffer.data() + m_bufferPos, k);
            m_bufferPos += k;
            got += k;
            continue;
        }
        if (!m_file.IsOpen()) {
            fs::SetLastError(fs::kErrorInvalidHandle);
            ThrowLastError();
        }
        size_t done = 0;
        if (n - got >= kReadAhead) {  // large reads bypass the buffer
            if (!m_file.Read(out + got, n - got, &done)) ThrowLastError();
            got += done;
            if (done == 0) break;
            continue;
        }
        m_buffer.resize(kReadAhead);
        m_bufferPos = 0;
        if (!m_file.Read(m_buffer.data(), kReadAhead, &done)) {
            m_buffer.clear();
            ThrowLastError();
        }
        m_buffer.resize(done);
        if (done == 0) break;
    }
    return got;
}

void CFileStream::Write(const void* buffer, size_t n) {
    DropReadBuffer();
    if (!m_file.Write(buffer, n)) ThrowLastError();
}

uint64_t CFileStream::Seek(int64_t offset, int from) {
    if (from == current)
        offset -= static_cast<int64_t>((m_buffer.size() - m_bufferPos) + m_back.size());
    m_buffer.clear();
    m_bufferPos = 0;
    m_back.clear();
    m_pendingLow = 0;
    uint64_t pos = 0;
    if (!m_file.Seek(offset, from, &pos)) ThrowLastError();
    return pos;
}

uint64_t CFileStream::GetPosition() const {
    return m_file.Tell() - (m_buffer.size() - m_bufferPos) - m_back.size();
}

uint64_t CFileStream::GetLength() const {
    uint64_t n = m_file.Size();
    if (n == UINT64_MAX) ThrowLastError();
    return n;
}

void CFileStream::Flush() {
    if ((m_file.Access() & fs::kGenericWrite) && !m_file.Flush()) ThrowLastError();
}

bool CFileStream::IsEof() const {
    return m_pendingLow == 0 && GetPosition() >= GetLength();
}

// ---- binary values and 8-bit text ----

bool CFileStream::SetByteSwap(bool swap) {
    bool old = m_byteSwap;
    m_byteSwap = swap;
    return old;
}

void CFileStream::SwapBytes(void* buffer, size_t n) const {
    if (m_byteSwap) std::reverse(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + n);
}

bool CFileStream::ReadValue(void* buffer, size_t n) {
    if (Read(buffer, n) < n) return false;
    SwapBytes(buffer, n);
    return true;
}

bool CFileStream::WriteValue(const void* buffer, size_t n) {
    std::string bytes(static_cast<const char*>(buffer), n);
    SwapBytes(bytes.data(), n);
    Write(bytes.data(), n);
    return true;
}

void CFileStream::ReadString(char* buffer, size_t length) {
    if (!buffer || length == 0) return;
    memset(buffer, 0, length);
    Read(buffer, length - 1);
}

int CFileStream::ReadNumber(int width) {
    if (width <= 0) return 0;
    // Any width is read whole, so the next field starts where it should.
    std::string field(static_cast<size_t>(width), '\0');
    field.resize(Read(field.data(), field.size()));
    field.resize(strnlen(field.c_str(), field.size()));
    return text::ParseLong(WStringView(text::FromLatin1(field)));
}

int CFileStream::ReadByte() {
    uint8_t b;
    return NextByte(b) ? b : -1;
}

int CFileStream::ReadItems(void* buffer, size_t size, size_t count) {
    if (size == 0 || count == 0 || count > SIZE_MAX / size) return 0;
    return static_cast<int>(Read(buffer, size * count) / size);
}

int CFileStream::ReadToken(WString& token, int max, bool trim) {
    token.clear();
    if (max <= 0) return 0;
    // Bytes compare unsigned: 0xE9 is a letter, not a blank.
    int c = ReadByte();
    if (trim) {
        for (; c >= 0; c = ReadByte()) {
            if (c == m_delimiter) return 0;
            if (c > 32) break;
        }
    }
    for (; c >= 0 && c != m_delimiter; c = ReadByte()) {
        if (c == 0 || c == '\r') continue;
        token += static_cast<WChar>(c);
        if (static_cast<int>(token.size()) >= max) break;
    }
    if (trim)
        while (!token.empty() && token.back() <= 32) token.pop_back();
    return static_cast<int>(token.size());
}

void CFileStream::WriteByte(uint8_t byte) {
    Write(&byte, 1);
}

void CFileStream::WriteAnsi(const char* text, int n) {
    if (!text) return;
    Write(text, n < 0 ? strlen(text) : static_cast<size_t>(n));
}

void CFileStream::WriteChar(WChar ch) {
    WriteString(WStringView(&ch, 1));
}

void CFileStream::WriteString(WStringView text, int n) {
    if (n >= 0 && static_cast<size_t>(n) < text.size()) text = text.substr(0, n);
    std::string bytes = EncodeText(text, m_encoding);
    if (m_encoding == 2) bytes.erase(0, 2);  // no mark in the middle of a stream
    Write(bytes.data(), bytes.size());
}

void CFileStream::WriteCharRepeated(WChar ch, int count) {
    if (count > 0) WriteString(WString(static_cast<size_t>(count), ch));
}

void CFileStream::WriteNewLine() {
    Write("\r\n", 2);
}

// ---- encodings ----

bool CFileStream::DetectBom() {
    uint64_t pos = GetPosition();
    SeekToBegin();
    uint8_t b[3];
    if (Read(b, 2) == 2) {
        if (b[0] == 0xEF && b[1] == 0xBB && Read(b + 2, 1) == 1 && b[2] == 0xBF) {
            m_encoding = 1;
            m_byteSwap = false;
            return true;
        }
        if ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)) {
            m_encoding = 2;
            m_byteSwap = b[0] == 0xFE;
            return true;
        }
    }
    Seek(static_cast<int64_t>(pos), begin);
    return false;
}

bool CFileStream::ReadNextByte(uint8_t& byte) {
    if (m_bufferPos < m_buffer.size()) {
        byte = static_cast<uint8_t>(m_buffer[m_bufferPos++]);
        return true;
    }
    return Read(&byte, 1) == 1;
}

bool CFileStream::NextByte(uint8_t& byte) {
    if (!m_back.empty()) {
        byte = static_cast<uint8_t>(m_back.back());
        m_back.pop_back();
        return true;
    }
    return ReadNextByte(byte);
}

void CFileStream::GiveBack(const uint8_t* bytes, size_t n) {
    for (size_t i = n; i-- > 0;) m_back += static_cast<char>(bytes[i]);
}

WChar CFileStream::ReadUtf8Char() {
    WChar ch = 0;
    ReadUtf8Unit(ch);
    return ch;
}

bool CFileStream::ReadUtf8Unit(WChar& ch) {
    if (m_pendingLow) {
        ch = m_pendingLow;
        m_pendingLow = 0;
        return true;
    }
    uint8_t b[4];
    if (!NextByte(b[0])) return false;
    int extra = Utf8Extra(b[0]);
    if (extra < 0) {
        ch = b[0];
        return true;
    }
    int got = 1;
    while (got <= extra && NextByte(b[got])) {
        ++got;
        if ((b[got - 1] & 0xC0) != 0x80) break;
    }
    // Decode through the one bounded decoder; what it did not use is given back.
    const char* p = reinterpret_cast<const char*>(b);
    char32_t cp = ::ReadUtf8Char(p, p + got);
    int used = static_cast<int>(p - reinterpret_cast<const char*>(b));
    GiveBack(b + used, got - used);
    if (cp > 0xFFFF) {
        cp -= 0x10000;
        m_pendingLow = static_cast<WChar>(0xDC00 + (cp & 0x3FF));
        ch = static_cast<WChar>(0xD800 + (cp >> 10));
    } else {
        ch = static_cast<WChar>(cp);
    }
    return true;
}

void CFileStream::WriteUtf8Char(WChar ch) {
    // One unit alone: a surrogate gets its 3-byte form.
    std::string bytes = text::ToUtf8(WStringView(&ch, 1));
    Write(bytes.data(), bytes.size());
}

bool CFileStream::ReadChar(WChar& ch) {
    if (m_encoding == 1) return ReadUtf8Unit(ch);
    if (m_encoding == 2) {
        uint8_t b[2];
        if (Read(b, 2) < 2) return false;
        SwapBytes(b, 2);
        ch = static_cast<WChar>(b[0] | b[1] << 8);
        return true;
    }
    int c = ReadByte();
    if (c < 0) return false;
    ch = static_cast<WChar>(c);
    return true;
}

WString CFileStream::ReadToEnd() {
    WString out;
    if (m_pendingLow) {
        out += m_pendingLow;
        m_pendingLow = 0;
    }
    std::string bytes;
    char chunk[16384];
    for (size_t k; (k = Read(chunk, sizeof chunk)) > 0;) bytes.append(chunk, k);
    if (m_encoding == 1) {
        out.reserve(out.size() + bytes.size());
        const char* p = bytes.data();
        const char* end = p + bytes.size();
        while (p < end) AppendCodePoint(out, ::ReadUtf8Char(p, end));
    } else if (m_encoding == 2) {
        out.reserve(out.size() + bytes.size() / 2);
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            uint8_t b[2] = {static_cast<uint8_t>(bytes[i]), static_cast<uint8_t>(bytes[i + 1])};
            SwapBytes(b, 2);
            out += static_cast<WChar>(b[0] | b[1] << 8);
        }
    } else {
        out += text::FromLatin1(bytes);
    }
    return out;
}

std::string EncodeText(WStringView text, int encoding) {
    if (encoding == 1) return text::ToUtf8(text);
    if (encoding == 2) {
        std::string out = "\xFF\xFE";
        out.reserve(2 + text.size() * 2);
        for (WChar c : text) {
            out += static_cast<char>(c & 0xFF);
            out += static_cast<char>(c >> 8);
        }
        return out;
    }
    // One byte per unit; a unit the byte cannot hold becomes '?' rather
    // than its low byte, which could be any character (U+043D would be '=').
    return text::ToLatin1(text);
}

// ---- CLineFile ----

bool CLineFile::Open(WStringView path, bool readOnly) {
    return CFileStream::Open(
        path, readOnly ? (modeRead | shareDenyWrite) : (modeReadWrite | shareDenyWrite));
}

int CLineFile::ReadLine(WString& line) {
    line.clear();
    uint8_t buf[256];
    size_t got = Read(buf, sizeof buf);
    if (got == 0) return 0;
    size_t limit = std::min<size_t>(got, 255), used = limit, len = limit;
    for (size_t i = 0; i < got && i <= 255; ++i) {
        if (buf[i] == '\n' || buf[i] == '\0') {
            len = i;
            used = i + 1;
            if (buf[i] == '\n' && i > 0 && buf[i - 1] == '\r') --len;
            break;
        }
    }
    line = text::FromLatin1(std::string_view(reinterpret_cast<const char*>(buf), len));
    GiveBack(buf + used, got - used);
    return static_cast<int>(line.size());
}

// ---- CScriptTextFile ----

bool CScriptTextFile::IsEncodedScript(const uint8_t[5]) {
    return false;
}

bool CScriptTextFile::ReadAllToString(WStringView path, WString& text, unsigned) {
    if (!Open(path, modeRead | shareDenyWrite)) return false;
    try {
        m_encoded = false;
        if (!DetectBom()) {
            uint8_t first[5];
            m_encoded = Read(first, 5) == 5 && IsEncodedScript(first);
            SetEncoding(1);
            SeekToBegin();
        }
        text = ReadToEnd();
        Close();
        return true;
    } catch (const CFileException&) {
        Abort();
        return false;
    }
}

std::optional<WString> CScriptTextFile::ReadAll(WStringView path) {
    WString text;
    if (!ReadAllToString(path, text)) return std::nullopt;
    return text;
}

// ---- whole files ----

bool ReadTextFile(WStringView path, WString& text, int encoding) {
    CFileStream f;
    if (!f.Open(path, CFileStream::modeRead | CFileStream::shareDenyWrite)) return false;
    try {
        if (encoding == -1) {
            if (!f.DetectBom()) f.SetEncoding(1);
        } else {
            f.SetEncoding(encoding);
        }
        text = f.ReadToEnd();
        f.Close();
        return true;
    } catch (const CFileException&) {
        return false;
    }
}

bool WriteTextFile(WStringView path, WStringView text, int encoding) {
    std::string bytes = EncodeText(text, encoding);
    return fs::WriteWholeFile(path, bytes.data(), bytes.size());
}

unsigned MakeTempFileName(WStringView folder, WStringView prefix, unsigned number,
                          WString& result) {
    WString f(folder), p(prefix);
    auto name = [&](unsigned n) {
        return text::Format(u"%s\\%s%04X.tmp", f.c_str(), p.c_str(), n);
    };
    if (number != 0) {
        result = name(number);
        return number;
    }
    // Count up past names that exist, rather than waiting for the clock.
    unsigned n = static_cast<unsigned>(time(nullptr)) & 0xFFFF;
    for (int tries = 0; tries < 0x10000; ++tries, n = (n + 1) & 0xFFFF) {
        if (n == 0) continue;
        result = name(n);
        if (!fs::Exists(result)) break;
    }
    return n;
}
