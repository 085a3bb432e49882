#include "app/DisplayCheck.h"

#include <QString>
#include <QtGlobal>
#include <cstdlib>
#include <cstring>

namespace {

const char* const Advice =
    "The program shows windows and needs a desktop session.\n"
    "Without one, run it on a virtual display (packages xvfb and xauth):\n"
    "    xvfb-run -a scripts/dev.sh run    (in the source tree)\n"
    "    xvfb-run -a tessera               (installed)\n";

// Only a Linux desktop is looked for: elsewhere the window system is always there.
#if defined(__linux__)
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
#endif

QtMessageHandler PreviousHandler = nullptr;

// Qt's last word when no window system could be started; its warnings before it (which
// display, which platform) have been printed already and say why.
void SayNoDisplayOpened(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"))) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "tessera: the display could not be opened (DISPLAY=%s).\n%s",
                     display ? display : "", Advice);
        std::fflush(stderr);
        std::_Exit(1);
    }
    PreviousHandler(type, context, text);
}

}  // namespace

bool DisplayUsable(int argc, char** argv, std::FILE* out) {
#if defined(__linux__)
    if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) return true;
    if (PlatformArgument(argc, argv)) return true;
    std::fputs("tessera: no display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n", out);
    std::fputs(Advice, out);
    return false;
#else
    (void)argc;
    (void)argv;
    (void)out;
    return true;
#endif
}

void TellPlainlyWhenNoDisplayOpens() {
    // Qt hands back its default handler when none was installed.
    PreviousHandler = qInstallMessageHandler(SayNoDisplayOpened);
}
