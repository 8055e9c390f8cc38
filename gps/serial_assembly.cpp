#include "gps/serial_assembly.h"

void CSerialAssembler::Feed(const uint8_t* chunk, int n, const Deliver& deliver) {
    if (!chunk || n <= 0) return;
    if (framer_)
        FeedPacket(chunk, n, deliver);
    else
        FeedLine(chunk, n, deliver);
}

void CSerialAssembler::FeedLine(const uint8_t* chunk, int n, const Deliver& deliver) {
    for (int i = 0; i < n; ++i) {
        const uint8_t b = chunk[i];
        const bool ends = terminator_ ? b == terminator_ : (b < 32 || b > 240);
        if (ends) {
            if (appendCr_) buffer_[used_++] = '\r';
            if (appendLf_) buffer_[used_++] = '\n';
            buffer_[used_] = 0;
            deliver(buffer_, used_);
            used_ = 0;
            continue;
        }
        if (used_ >= kBufferSize) {
            // A full line: this byte is lost, the last one gives way to the
            // terminating zero, and what there is goes out.
            buffer_[kBufferSize - 1] = 0;
            deliver(buffer_, kBufferSize - 1);
            used_ = 0;
            continue;
        }
        if (b >= 1 && b <= 126) buffer_[used_++] = b;
    }
}

void CSerialAssembler::FeedPacket(const uint8_t* chunk, int n, const Deliver& deliver) {
    int unread = n;
    while (unread > 0) {
        int left = unread;
        int count = used_;
        const bool complete = framer_(chunk + (n - unread), &left, buffer_, &count);
        // What a framer reports is checked: never past the chunk or the buffer.
        if (left < 0 || left > unread || count < 0 || count > kBufferSize) {
            used_ = 0;
            if (left < 0 || left >= unread) return;  // no sane progress: drop the rest
            unread = left;
            continue;
        }
        const bool progressed = left < unread;
        unread = left;
        used_ = count;
        if (complete) {
            buffer_[used_] = 0;
            deliver(buffer_, used_);
            used_ = 0;
        }
        if (!progressed && !complete) return;  // the framer takes nothing more of this chunk
        if (!progressed) return;
    }
}
