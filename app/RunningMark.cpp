#include "app/RunningMark.h"

#ifdef _WIN32
#include <windows.h>

// Several copies may run: each holds a handle to the one mutex, which lasts while any does.
RunningMark::RunningMark() : FHandle(CreateMutexW(nullptr, FALSE, TESSERA_RUNNING_MARK)) {}

RunningMark::~RunningMark() {
    if (FHandle) CloseHandle(FHandle);
}
#else
RunningMark::RunningMark() = default;
RunningMark::~RunningMark() = default;
#endif
