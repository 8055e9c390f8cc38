// Cuts a received byte stream into lines or protocol packets, chunk by
// chunk, with no thread inside: the serial port's reader feeds it, and so do
// the tests and the fuzz target.
#pragma once

#include <cstdint>
#include <functional>

class CSerialAssembler {
public:
    // The line and packet buffer: 4096 bytes, allocated 8 bytes longer so
    // that the appended CR, LF and terminating zero always fit.
    static constexpr int kBufferSize = 4096;

    // Packet framer: consumes bytes from `next` (the first of `*unread`
    // unread bytes of the chunk), lowers `*unread`, adds to the packet in
    // `packet` (`*count` bytes so far, at most kBufferSize) and returns true
    // as soon as a packet is complete. Its state lives in the packet buffer.
    using Framer = std::function<bool(const uint8_t* next, int* unread, uint8_t* packet, int* count)>;
    // Receives each complete unit; the buffer is not touched until it returns.
    using Deliver = std::function<void(const uint8_t* data, int length)>;

    // 10 (LF) by default; 0 ends a line on any byte below 32 or above 240.
    void SetTerminator(uint8_t terminator) { terminator_ = terminator; }
    void SetAppend(bool cr, bool lf) {
        appendCr_ = cr;
        appendLf_ = lf;
    }
    // A framer switches to packet mode; none to line mode.
    void SetFramer(Framer framer) {
        framer_ = std::move(framer);
        Reset();
    }
    bool IsPacketMode() const { return static_cast<bool>(framer_); }
    void Reset() { used_ = 0; }

    void Feed(const uint8_t* chunk, int n, const Deliver& deliver);
    const uint8_t* Buffer() const { return buffer_; }

private:
    void FeedLine(const uint8_t* chunk, int n, const Deliver& deliver);
    void FeedPacket(const uint8_t* chunk, int n, const Deliver& deliver);

    uint8_t buffer_[kBufferSize + 8] = {};
    int used_ = 0;
    uint8_t terminator_ = 10;
    bool appendCr_ = false;
    bool appendLf_ = false;
    Framer framer_;
};
