#pragma once
// Before the toolkit starts: on Linux, a program with windows needs a display. Without one Qt
// aborts with advice about reinstalling, which helps no one; this says what is missing.
#include <cstdio>

// True when the toolkit can find a display (or a platform is chosen explicitly, by
// QT_QPA_PLATFORM or a -platform argument). Otherwise writes to `out` that a desktop session
// is needed and how to run under Xvfb, and returns false.
bool DisplayUsable(int argc, char** argv, std::FILE* out);

// For a display that is named but cannot be opened (a DISPLAY whose server is gone or refuses
// us, a platform chosen that cannot start): from this call on, the end Qt then makes says the
// same as DisplayUsable on stderr, and the program ends with status 1 instead of aborting.
void TellPlainlyWhenNoDisplayOpens();
