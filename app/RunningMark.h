#pragma once
// While a RunningMark lives, the Windows installer and uninstaller can tell that the program
// runs: they open the named mutex it holds, ask the program to close, and wait until the mutex
// has gone before they replace or remove its files. (That a running program's file cannot be
// written is no sign on every system: Wine lets it be.) Nothing on other systems.

// The mutex's name; packaging/windows/tessera.nsi uses the same.
#define TESSERA_RUNNING_MARK L"Tessera_RS-485.running"

class RunningMark {
public:
    RunningMark();
    ~RunningMark();
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    void* FHandle = nullptr;
};
