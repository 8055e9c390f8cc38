// zntools8-register [LIB]: enters the znTools8 add-in (its library and its
// toolbar) into the desktop host's add-ins file, replacing an older entry of
// the same library. Without LIB, the library built beside this program.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "desktop/host/addins.h"
#include "desktop/tools/commands.h"

int main(int argc, char** argv) {
    if (argc > 2 ||
        (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::fprintf(stderr, "usage: zntools8-register [LIBRARY]\n");
        return 2;
    }
    const std::string given = argc == 2 ? argv[1] : ZNTOOLS8_DEFAULT_LIBRARY;
    char resolved[PATH_MAX];
    if (!::realpath(given.c_str(), resolved)) {
        std::fprintf(stderr, "zntools8-register: %s: no such library\n", given.c_str());
        return 1;
    }
    host::AddInRegistration reg;
    reg.library = resolved;
    reg.toolbars = {zntools8::kToolbarProgId};
    const std::string file = host::AddInsFilePath();
    std::string error;
    if (!host::RegisterAddIn(file, reg, &error)) {
        std::fprintf(stderr, "zntools8-register: %s\n", error.c_str());
        return 1;
    }
    std::printf("registered %s in %s\n", resolved, file.c_str());
    return 0;
}
