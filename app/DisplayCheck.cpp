#include "app/DisplayCheck.h"

#include <cstdlib>
#include <cstring>

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool PlatformArgument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

}  // namespace

bool DisplayUsable(int argc, char** argv, std::FILE* out) {
#if defined(__linux__)
    if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) return true;
    if (PlatformArgument(argc, argv)) return true;
    std::fputs(
        "tessera: no display. The program shows windows and needs a desktop session\n"
        "(neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "Without one, run it on a virtual display (packages xvfb and xauth):\n"
        "    xvfb-run -a scripts/dev.sh run\n",
        out);
    return false;
#else
    (void)argc;
    (void)argv;
    (void)out;
    return true;
#endif
}
