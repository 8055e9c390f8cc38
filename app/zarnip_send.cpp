// Sends a message to the running program, as another program would: script
// text for its script host (kind 1), bytes for its GPS port (kind 2) or for
// its auxiliary port (kind 3), or a request to come to the front.
//
//   zarnip-send 1 TEXT        the text as wide characters with a terminating zero
//   zarnip-send 2|3 BYTES     the bytes of the argument as they are
//   zarnip-send KIND -        the bytes of standard input as they are
//   zarnip-send raise
//
// Exits 0 when the message was handed over, 1 when no program runs, 2 on
// bad arguments.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/res/resource.h"
#include "platform/text/text.h"
#include "resources/zres.h"
#include "shell/app/single_instance.h"

namespace {
int Usage() {
    std::fprintf(stderr, "usage: zarnip-send 1|2|3 TEXT|-   or   zarnip-send raise\n");
    return 2;
}

WString InstanceClassName() {
    WString first = res::LoadStringText(res::GetProgramModule(), IDR_MAINFRAME);
    return u"Afx" + first.substr(0, first.find(u'\n')) + u" Class";
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "raise") == 0)
        return CSingleInstance::SendToHolder(InstanceClassName(), kInstanceRaise, {}) ? 0 : 1;
    if (argc != 3) return Usage();
    const std::string kindText = argv[1];
    if (kindText != "1" && kindText != "2" && kindText != "3") return Usage();
    const uint32_t kind = static_cast<uint32_t>(kindText[0] - '0');

    std::vector<uint8_t> bytes;
    if (std::strcmp(argv[2], "-") == 0) {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (kind == 1) {
        for (WChar c : text::FromUtf8(argv[2])) bytes.insert(bytes.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
        bytes.insert(bytes.end(), {0, 0});
    } else {
        bytes.assign(argv[2], argv[2] + std::strlen(argv[2]));
    }
    std::vector<uint8_t> frame(4);
    std::memcpy(frame.data(), &kind, 4);
    frame.insert(frame.end(), bytes.begin(), bytes.end());
    if (!CSingleInstance::SendToHolder(InstanceClassName(), kInstanceCopyData, frame)) {
        std::fprintf(stderr, "zarnip-send: no running program took the message\n");
        return 1;
    }
    return 0;
}
