// Arbitrary bytes cut into arbitrary chunks through line mode (terminators 10
// and 0) and through packet mode with a framer that reports fuzzer-chosen
// counts: nothing is read or written outside the chunk or the buffer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <vector>

#include "gps/serial_assembly.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int mode = in.ConsumeIntegralInRange(0, 2);
    CSerialAssembler a;
    a.SetTerminator(mode == 1 ? 0 : 10);
    a.SetAppend(in.ConsumeBool(), in.ConsumeBool());
    std::vector<int> answers;
    size_t k = 0;
    if (mode == 2) {
        for (int i = 0; i < 16; ++i) answers.push_back(in.ConsumeIntegralInRange(-5000, 5000));
        a.SetFramer([&](const uint8_t* next, int* unread, uint8_t* packet, int* count) {
            // Touch what the contract allows, then answer anything.
            if (*unread > 0) packet[*count % CSerialAssembler::kBufferSize] = next[*unread - 1];
            *unread += answers[k++ % answers.size()] % 300;
            *count += answers[k++ % answers.size()];
            return (answers[k % answers.size()] & 1) != 0;
        });
    }
    while (in.remaining_bytes() > 0) {
        const size_t n = in.ConsumeIntegralInRange<size_t>(1, 300);
        std::vector<uint8_t> chunk = in.ConsumeBytes<uint8_t>(n);
        if (chunk.empty()) break;
        a.Feed(chunk.data(), static_cast<int>(chunk.size()), [](const uint8_t* unit, int length) {
            if (length < 0 || length > CSerialAssembler::kBufferSize + 2 || unit[length] != 0) std::abort();
        });
    }
    return 0;
}
