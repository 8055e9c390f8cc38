// The settings of one serial port, as the preferences keep them.
#pragma once

#include <cstdint>

#include "platform/text/text.h"

struct CSerialSettings {
    WChar prefix[8] = u"COM";
    uint32_t port = 1;
    uint32_t baud = 4800;
    char parity = 'N';
    uint32_t databits = 8;
    uint32_t stopbits = 0;  // 0 one, 1 one and a half, 2 two
    uint8_t infrared = 0;
    uint32_t rtscontrol = 1;  // 0 disable, 1 enable, 2 handshake
    uint32_t dtrcontrol = 1;
    uint8_t ctshandshake = 0;
    uint8_t dsrhandshake = 0;
};

// 'N' 0, 'O' 1, 'E' 2, 'M' 3, 'S' 4 in either case; other values unchanged.
inline int ParityFromLetter(int letter) {
    switch (letter) {
        case 'N': case 'n': return 0;
        case 'O': case 'o': return 1;
        case 'E': case 'e': return 2;
        case 'M': case 'm': return 3;
        case 'S': case 's': return 4;
        default: return letter;
    }
}

// The reverse, in upper case; other values unchanged.
inline int ParityToLetter(int code) {
    static const char letters[] = "NOEMS";
    return code >= 0 && code <= 4 ? letters[code] : code;
}
