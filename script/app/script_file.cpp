#include "script/app/script_file.h"

#include <cstring>
#include <string>

#include "script/member_ids.h"

const InterfaceDesc& CScriptFile::Desc() {
    using C = CScriptFile;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IFile", ScriptLibGuid(kLibIFile))
            .PropGet(u"IsOpen", dispid::kDefault, &C::get_IsOpen, {}, VT_BOOL)
            .PropGet(u"Handle", p::Handle, &C::get_Handle)
            .PropGet(u"Seek", p::Seek, &C::get_Seek)
            .PropPut(u"Seek", p::Seek, &C::put_Seek)
            .PropGet(u"BigEndian", p::BigEndian, &C::get_BigEndian, {}, VT_BOOL)
            .PropPut(u"BigEndian", p::BigEndian, &C::put_BigEndian, {Param(u"BigEndian", VT_BOOL)})
            .PropGet(u"EOF", p::Eof, &C::get_EOF, {}, VT_BOOL)
            .PropGet(u"LOF", p::LOF, &C::get_LOF)
            .Method(u"Open", m::Open, &C::Open,
                    {Param(u"FileName"), Param(u"Mode").Optional(int32_t{0}),
                     Param(u"Format").Optional(int32_t{0})})
            .Method(u"Close", m::Close, &C::Close)
            .Method(u"Read", m::Read, &C::Read, {Param(u"nCharacters", VT_INT)})
            .Method(u"ReadLine", m::ReadLine, &C::ReadLine)
            .Method(u"ReadByte", m::ReadByte, &C::ReadByte)
            .Method(u"ReadShort", m::ReadShort, &C::ReadShort)
            .Method(u"ReadLong", m::ReadLong, &C::ReadLong)
            .Method(u"ReadFloat", m::ReadFloat, &C::ReadFloat)
            .Method(u"ReadDouble", m::ReadDouble, &C::ReadDouble)
            .Method(u"Write", m::Write, &C::Write, {Param(u"String")})
            .Method(u"WriteLine", m::WriteLine, &C::WriteLine, {Param(u"String").Optional(u"")})
            .Method(u"WriteByte", m::WriteByte, &C::WriteByte, {Param(u"Byte")})
            .Method(u"WriteShort", m::WriteShort, &C::WriteShort, {Param(u"Short")})
            .Method(u"WriteLong", m::WriteLong, &C::WriteLong, {Param(u"Long")})
            .Method(u"WriteFloat", m::WriteFloat, &C::WriteFloat, {Param(u"Float")})
            .Method(u"WriteDouble", m::WriteDouble, &C::WriteDouble, {Param(u"Double")})
            .Method(u"Exists", m::Exists, &C::Exists, {Param(u"FileName")}, VT_BOOL)
            .Method(u"Delete", m::Delete, &C::Delete, {Param(u"FileName")}, VT_BOOL)
            .Build();
    return d;
}

const CoclassDesc& CScriptFile::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibFile), u"File", &Desc(), nullptr};
    return c;
}

template <class F>
HRESULT CScriptFile::Guard(F&& operation) {
    if (!m_file.IsOpen()) return E_FAIL;
    try {
        return operation();
    } catch (const CFileException&) {
        return E_FAIL;
    }
}

HRESULT CScriptFile::get_IsOpen(int16_t* out) {
    *out = m_file.IsOpen() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptFile::get_Handle(int32_t* out) {
    return Guard([&] {
        *out = m_file.GetNativeHandle();
        return S_OK;
    });
}

HRESULT CScriptFile::get_Seek(int32_t* out) {
    return Guard([&] {
        *out = static_cast<int32_t>(m_file.GetPosition());
        return S_OK;
    });
}

HRESULT CScriptFile::put_Seek(int32_t value) {
    return Guard([&] {
        m_file.Seek(value, CFileStream::begin);
        return S_OK;
    });
}

HRESULT CScriptFile::get_BigEndian(int16_t* out) {
    *out = m_file.GetByteSwap() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptFile::put_BigEndian(int16_t value) {
    m_file.SetByteSwap(value != 0);
    return S_OK;
}

HRESULT CScriptFile::get_EOF(int16_t* out) {
    return Guard([&] {
        *out = m_file.GetPosition() >= m_file.GetLength() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CScriptFile::get_LOF(int32_t* out) {
    return Guard([&] {
        *out = static_cast<int32_t>(m_file.GetLength());
        return S_OK;
    });
}

HRESULT CScriptFile::Open(BSTR fileName, int32_t mode, int32_t) {
    m_file.Abort();
    unsigned flags = CFileStream::modeRead | CFileStream::shareDenyNone;
    if (mode == 2) flags = CFileStream::modeReadWrite | CFileStream::modeCreate | CFileStream::shareDenyNone;
    else if (mode == 8)
        flags = CFileStream::modeReadWrite | CFileStream::modeCreate | CFileStream::modeNoTruncate |
                CFileStream::shareDenyNone;
    if (!m_file.Open(BstrView(fileName), flags)) return E_FAIL;
    m_file.SetEncoding(0);
    if (mode == 8) {
        try {
            m_file.SeekToEnd();
        } catch (const CFileException&) {
            m_file.Abort();
            return E_FAIL;
        }
    }
    return S_OK;
}

HRESULT CScriptFile::Close() {
    if (!m_file.IsOpen()) return S_OK;
    try {
        m_file.Close();
    } catch (const CFileException&) {
        m_file.Abort();
        return E_FAIL;  // the last bytes did not reach the file
    }
    return S_OK;
}

HRESULT CScriptFile::ReadBytes(void* buffer, size_t n) {
    return Guard([&] { return m_file.ReadValue(buffer, n) ? S_OK : E_FAIL; });
}

HRESULT CScriptFile::WriteBytes(const void* buffer, size_t n) {
    return Guard([&] { return m_file.WriteValue(buffer, n) ? S_OK : E_FAIL; });
}

HRESULT CScriptFile::Read(int32_t count, BSTR* out) {
    if (count < 0) return E_INVALIDARG;
    return Guard([&] {
        std::string bytes(static_cast<size_t>(count), '\0');
        size_t got = count ? m_file.Read(bytes.data(), bytes.size()) : 0;
        WString text;
        text.reserve(got);
        for (size_t i = 0; i < got; ++i) text += static_cast<WChar>(static_cast<uint8_t>(bytes[i]));
        *out = SysAllocString(text);
        return S_OK;
    });
}

HRESULT CScriptFile::ReadLine(BSTR* out) {
    return Guard([&] {
        WString line;
        size_t taken = 0;
        for (int b; (b = m_file.ReadByte()) >= 0;) {
            if (b == '\n') break;
            if (++taken > static_cast<size_t>(kMaxLine)) {
                // The rest of a long line stays for the next call.
                m_file.Seek(-1, CFileStream::current);
                break;
            }
            if (b == '\r' || b == 0) continue;
            line += static_cast<WChar>(b);
        }
        *out = SysAllocString(line);
        return S_OK;
    });
}

HRESULT CScriptFile::ReadByte(uint8_t* out) {
    return Guard([&] {
        int b = m_file.ReadByte();
        if (b < 0) return E_FAIL;
        *out = static_cast<uint8_t>(b);
        return S_OK;
    });
}

HRESULT CScriptFile::ReadShort(int16_t* out) { return ReadBytes(out, sizeof *out); }
HRESULT CScriptFile::ReadLong(int32_t* out) { return ReadBytes(out, sizeof *out); }
HRESULT CScriptFile::ReadFloat(float* out) { return ReadBytes(out, sizeof *out); }
HRESULT CScriptFile::ReadDouble(double* out) { return ReadBytes(out, sizeof *out); }

HRESULT CScriptFile::WriteText(WStringView text, bool newLine) {
    return Guard([&] {
        std::string bytes;
        bytes.reserve(text.size() + 2);
        for (WChar c : text) bytes += static_cast<char>(c & 0xFF);
        if (newLine) bytes += "\r\n";
        m_file.Write(bytes.data(), bytes.size());
        return S_OK;
    });
}

HRESULT CScriptFile::Write(BSTR text) { return WriteText(BstrView(text), false); }
HRESULT CScriptFile::WriteLine(BSTR text) { return WriteText(BstrView(text), true); }

HRESULT CScriptFile::WriteByte(uint8_t value) {
    return Guard([&] {
        m_file.WriteByte(value);
        return S_OK;
    });
}

HRESULT CScriptFile::WriteShort(int16_t value) { return WriteBytes(&value, sizeof value); }
HRESULT CScriptFile::WriteLong(int32_t value) { return WriteBytes(&value, sizeof value); }
HRESULT CScriptFile::WriteFloat(float value) { return WriteBytes(&value, sizeof value); }
HRESULT CScriptFile::WriteDouble(double value) { return WriteBytes(&value, sizeof value); }

HRESULT CScriptFile::Exists(BSTR fileName, int16_t* out) {
    *out = fs::GetFileAttributes(BstrView(fileName)) != fs::kInvalidAttributes ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptFile::Delete(BSTR fileName, int16_t* out) {
    *out = fs::DeleteFile(BstrView(fileName)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
