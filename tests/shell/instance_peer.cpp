// A program that takes the single-instance lock: prints "holder" or
// "second", and as holder one line per frame received, until killed.
#include <unistd.h>

#include <cstdio>

#include "shell/app/single_instance.h"

int main() {
    CSingleInstance instance;
    instance.SetReceiver([](InstanceFrame frame) {
        std::printf("got %u %zu\n", frame.kind, frame.bytes.size());
        std::fflush(stdout);
    });
    if (!instance.Register(128)) {
        std::printf("second\n");
        return 1;
    }
    std::printf("holder\n");
    std::fflush(stdout);
    for (;;) ::pause();
}
