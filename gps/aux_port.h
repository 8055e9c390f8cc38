// CAuxPort: the second serial port, for any device other than the GPS
// receiver. Scripts use it buffered (their AUX object reads the ring and
// hears OnComm), or an extension claims it and receives every line through
// its ZNExAUX entry point instead.
#pragma once

#include <cstdint>

#include "gps/serial_port.h"
#include "platform/com/com.h"

// What a claiming extension is called with: 1 opened, 2 closed, 3 data (the
// text and its length; none and 0 without a buffer). The device handle is the
// port's descriptor; `handle` the one the claim was made with: the handle of
// the extension layer that holds the port.
class IAuxExtension {
public:
    virtual ~IAuxExtension() = default;
    virtual void Aux(int device, int code, void* handle, const char* text, int length) = 0;
};

class CAuxPort {
public:
    // Script events of the AUX object.
    static constexpr int kOnOpen = 24;
    static constexpr int kOnClose = 25;
    static constexpr int kOnComm = 27;

    CSerialPort& Port() { return port_; }
    // Opens (no owner) and starts the reader; without a window the main
    // window is notified.
    bool Open(HWND notify, bool buffered);
    void Close();
    bool IsOpen() const { return port_.IsOpen(); }
    // For each WM_GPS_DATA of this port; the caller acknowledges.
    void OnReceive(const uint8_t* buffer, int length);

    // The extension that claims the port (one at a time).
    void SetClaim(IAuxExtension* extension, void* handle);
    void ClearClaim();
    bool IsClaimed() const { return claim_ != nullptr; }
    // 2 while OnComm runs, 0 otherwise.
    int CommEvent() const { return commEvent_; }
    // The source the script events carry (the AUX script object).
    void SetScriptSource(IDispatch* source) { source_ = source; }

    // The window notified when Open is given none.
    static void SetMainWindow(HWND window);
    // The program's one auxiliary port (null while there is none), for the
    // extension layers that claim it and the script AUX object.
    static CAuxPort* GetAux();
    static void SetAux(CAuxPort* aux);

private:
    CSerialPort port_;
    IAuxExtension* claim_ = nullptr;
    void* claimHandle_ = nullptr;
    IDispatch* source_ = nullptr;
    int commEvent_ = 0;
};
