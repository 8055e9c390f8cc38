// Lines and packets cut from chunks of every size, with no device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gps/serial_assembly.h"

namespace {

std::vector<std::string> Cut(CSerialAssembler& a, const std::string& bytes, int chunk) {
    std::vector<std::string> units;
    for (size_t i = 0; i < bytes.size(); i += static_cast<size_t>(chunk)) {
        const std::string part = bytes.substr(i, static_cast<size_t>(chunk));
        a.Feed(reinterpret_cast<const uint8_t*>(part.data()), static_cast<int>(part.size()),
               [&](const uint8_t* data, int length) {
                   EXPECT_EQ(data[length], 0);  // always terminated
                   units.emplace_back(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
               });
    }
    return units;
}

TEST(SerialAssembly, Lines) {
    const std::string longLine = std::string(5000, 'x') + "\n";
    struct Case {
        const char* name;
        std::string bytes;
        uint8_t terminator;
        bool cr, lf;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF", "$GPGGA,1\r\n$GPRMC,2\r\n", 10, false, false, {"$GPGGA,1\r", "$GPRMC,2\r"}},
        {"terminator 0: an extra empty line", "ab\r\ncd\r\n", 0, false, false, {"ab", "", "cd", ""}},
        {"high bytes dropped", std::string("a\x7F\x80\xFF") + "b\n", 10, false, false, {"ab"}},
        {"terminator 0 ends on a byte above 240", std::string("ab\xF5") + "cd\x01", 0, false, false, {"ab", "cd"}},
        {"appended CR and LF", "ab\ncd\n", 10, true, true, {"ab\r\n", "cd\r\n"}},
        {"a long line", longLine, 10, false, false, {std::string(4095, 'x'), std::string(5000 - 4097, 'x')}},
    };
    for (const Case& c : cases)
        for (int chunk : {1, 7, 256}) {
            SCOPED_TRACE(testing::Message() << c.name << ", chunks of " << chunk);
            CSerialAssembler a;
            a.SetTerminator(c.terminator);
            a.SetAppend(c.cr, c.lf);
            EXPECT_EQ(Cut(a, c.bytes, chunk), c.lines);
        }
}

// A framer for "<...>" packets.
bool AngleFramer(const uint8_t* next, int* unread, uint8_t* packet, int* count) {
    while (*unread > 0) {
        const uint8_t b = *next++;
        --*unread;
        if (b == '<') {
            *count = 0;
            continue;
        }
        if (b == '>') return true;
        packet[(*count)++] = b;
    }
    return false;
}

TEST(SerialAssembly, Packets) {
    for (int chunk : {1, 3, 7, 256}) {
        SCOPED_TRACE(chunk);
        CSerialAssembler a;
        a.SetFramer(AngleFramer);
        EXPECT_EQ(Cut(a, "<one><two>noise<three-split-over-chunks>", chunk),
                  (std::vector<std::string>{"one", "two", "three-split-over-chunks"}));
    }
}

TEST(SerialAssembly, FramersThatLieAreContained) {
    struct Case {
        const char* name;
        int unreadOut;  // relative: -1 takes one byte; 99 claims more than there is
        int countOut;
    } cases[] = {{"count past the buffer", -1, CSerialAssembler::kBufferSize + 5},
                 {"negative count", -1, -3},
                 {"unread grows", 99, 1},
                 {"negative unread", -1000, 1},
                 {"no progress", 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSerialAssembler a;
        int calls = 0;
        a.SetFramer([&](const uint8_t*, int* unread, uint8_t*, int* count) {
            ++calls;
            *unread = c.unreadOut == 99 ? *unread + 5 : c.unreadOut == -1000 ? -1 : *unread + c.unreadOut;
            *count = c.countOut;
            return true;
        });
        const std::vector<std::string> units = Cut(a, "abcdefgh", 8);
        EXPECT_LE(calls, 8);
        for (const std::string& u : units) EXPECT_LE(u.size(), 1u);
    }
}

}  // namespace
