// File: a binary and 8-bit text file on the device. A character is written
// as its low byte and read as one byte; lines end at LF; numbers are written
// little-endian unless BigEndian is set.
#pragma once

#include "core/file_stream.h"
#include "script/script_object.h"

class CScriptFile : public CScriptObject<CScriptFile> {
public:
    static constexpr int kMaxLine = 2048;

    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptFile* Create() { return new CScriptFile; }

    HRESULT get_IsOpen(int16_t* out);
    HRESULT get_Handle(int32_t* out);
    HRESULT get_Seek(int32_t* out);
    HRESULT put_Seek(int32_t value);
    HRESULT get_BigEndian(int16_t* out);
    HRESULT put_BigEndian(int16_t value);
    HRESULT get_EOF(int16_t* out);
    HRESULT get_LOF(int32_t* out);
    HRESULT Open(BSTR fileName, int32_t mode, int32_t format);
    HRESULT Close();
    HRESULT Read(int32_t count, BSTR* out);
    HRESULT ReadLine(BSTR* out);
    HRESULT ReadByte(uint8_t* out);
    HRESULT ReadShort(int16_t* out);
    HRESULT ReadLong(int32_t* out);
    HRESULT ReadFloat(float* out);
    HRESULT ReadDouble(double* out);
    HRESULT Write(BSTR text);
    HRESULT WriteLine(BSTR text);
    HRESULT WriteByte(uint8_t value);
    HRESULT WriteShort(int16_t value);
    HRESULT WriteLong(int32_t value);
    HRESULT WriteFloat(float value);
    HRESULT WriteDouble(double value);
    HRESULT Exists(BSTR fileName, int16_t* out);
    HRESULT Delete(BSTR fileName, int16_t* out);

private:
    friend class DispatchObject<CScriptFile>;
    CScriptFile() = default;
    ~CScriptFile() override { m_file.Abort(); }

    // Runs a file operation; a failure the stream reports is E_FAIL.
    template <class F>
    HRESULT Guard(F&& operation);
    HRESULT ReadBytes(void* buffer, size_t n);
    HRESULT WriteBytes(const void* buffer, size_t n);
    HRESULT WriteText(WStringView text, bool newLine);

    CFileStream m_file;
};
