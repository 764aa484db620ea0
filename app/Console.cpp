#include "app/Console.h"

#include "platform/ConsoleDevices.h"

#include <cstdio>

namespace {

// Output sent to a file or a pipe is meant for a script or a log; taking it
// to the console would leave the caller with nothing.
void ReopenUnlessRedirected(std::FILE* stream, const char* device, const char* mode) {
    if (!Vexo::Platform::IsRedirectedToFileOrPipe(stream)) {
        Vexo::Platform::ReopenOnConsoleDevice(stream, device, mode);
    }
}

} // namespace

void OpenConsole() {
    Vexo::Platform::AllocateConsole();
    ReopenUnlessRedirected(stdin, "CONIN$", "r");
    ReopenUnlessRedirected(stderr, "CONOUT$", "w");
    ReopenUnlessRedirected(stdout, "CONOUT$", "w");
}

void WaitForKeyPress() {
    // A prompt that went to a file or a pipe asks nobody; waiting would hang
    // the script that captures the output.
    if (Vexo::Platform::StandardInputIsConsole() && Vexo::Platform::StandardOutputIsConsole()) {
        Vexo::Platform::ReadOneKey();
    }
}
