// Arbitrary bytes in arbitrary chunks through the TSIP framer, each packet into
// the decoder. The record's bytes outside its fields never change.
#include "fuzz/gps_frame_fuzz.h"
#include "gps/tsip_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFramedProtocol<CTsipParser>(data, size);
}
