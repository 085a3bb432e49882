#pragma once
// Opening a file as the desktop does: with the program the system associates with it, or, for
// a program (the installer the update check downloaded), by running it.
// Stateless; called on the main thread.
#include <QString>

// False when the system started nothing for the file.
bool ShellOpenFile(const QString& filePath);
