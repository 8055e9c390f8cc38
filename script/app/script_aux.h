// AUX: the script face of the auxiliary serial port. Reads come from the
// port's receive ring, which its reader thread fills; a read that waits
// keeps handling the program's messages until its data is there, the port
// closes or the program is asked to quit.
#pragma once

#include "platform/types.h"
#include "script/script_object.h"

class CAuxPort;

class CScriptAUX : public CScriptConnectable<CScriptAUX> {
public:
    static constexpr size_t kMaxLine = 2048;

    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();
    static CScriptAUX* Create(CAuxPort* port);

    HRESULT get_IsOpen(int16_t* out);
    HRESULT get_InBufferCount(int32_t* out);
    HRESULT put_InBufferCount(int32_t value);
    HRESULT get_OutBufferCount(int32_t* out);
    HRESULT put_OutBufferCount(int32_t value);
    HRESULT put_Break(int16_t value);
    HRESULT get_CommEvent(int16_t* out);
    HRESULT Open(int16_t* out);
    HRESULT Close();
    HRESULT Read(int32_t count, int16_t wait, BSTR* out);
    HRESULT ReadLine(int16_t wait, BSTR* out);
    HRESULT ReadByte(int16_t wait, int16_t* out);
    HRESULT Write(BSTR text);
    HRESULT WriteLine(BSTR text);
    HRESULT WriteByte(uint8_t value);

    // The port goes away before the object (the program's exit).
    void Detach() { m_port = nullptr; }

private:
    friend class DispatchObject<CScriptAUX>;
    CScriptAUX() = default;
    ~CScriptAUX() override;

    bool IsPortOpen() const;
    // Handles one message while a read waits; false when the wait must end
    // (the port closed, or a quit request, which is passed on).
    bool WaitForData();
    HRESULT WriteBytes(const std::string& bytes);

    CAuxPort* m_port = nullptr;
    WString m_line;             // ReadLine's partial line
    HWND m_waker = nullptr;     // its timer wakes a waiting read
};
