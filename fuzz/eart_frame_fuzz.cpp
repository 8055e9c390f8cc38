// Arbitrary bytes in arbitrary chunks through the binary word protocol
// framer, each packet into the decoder. The record's bytes outside its
// fields never change.
#include "fuzz/gps_frame_fuzz.h"
#include "gps/eart_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFramedProtocol<CEartParser>(data, size);
}
