// Windows side of opening a file: the shell's "open" verb, which runs an installer as if the
// user had double-clicked it (with the elevation prompt its manifest asks for).
#include <QDir>
#include <string>

#include "ui/ShellOpen.h"

// The shell's header uses the types of windows.h without including it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

bool ShellOpenFile(const QString& filePath) {
    const std::wstring path = QDir::toNativeSeparators(filePath).toStdWString();
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // Values above 32 mean success; the others are error codes of the old shell.
    return reinterpret_cast<INT_PTR>(result) > 32;
}
