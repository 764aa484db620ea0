#include "app/CommandLine.h"
#include "app/RunSequence.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The tool runs elevated, often from a folder others can write to: every
    // DLL loaded later, by this code, the runtime, the shell or COM, comes
    // from the system folder only, never from the tool's or the current folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // No loader or critical-error dialog, here or in the hidden regsvr32
    // that inherits this mode: nobody could answer it, and it would hold
    // the run until regsvr32 is ended.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    const std::string programName = "rimkit_manager";
    const CommandLineOptions options = ParseCommandLine(programName);
    if (!options.valid) {
        return -1;
    }
    return RunParsedCommandLine(options);
}
