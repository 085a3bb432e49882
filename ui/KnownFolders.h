#pragma once
// The shell's special folders, named by the Windows folder ids (CSIDL_*) so that the same
// calls mean the same folders on every platform.
// Stateless; callable from any thread.
#include <QString>

constexpr int CSIDL_PERSONAL = 5;  // the user's documents folder
constexpr int CSIDL_APPDATA = 26;  // the user's application-data folder

// Path of the folder with the given id, created if it does not exist yet. The path has no
// trailing separator: callers append "/name". Empty for an unknown id, when the platform
// names no such folder, or when the folder cannot be created.
//   CSIDL_PERSONAL -> QStandardPaths::DocumentsLocation   (e.g. ~/Documents)
//   CSIDL_APPDATA  -> QStandardPaths::GenericDataLocation (e.g. ~/.local/share)
QString GetSpecialFolder(int csidl);
