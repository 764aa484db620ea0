#include "app/Console.h"

#include "platform/ConsoleDevices.h"

#include <cstdio>

namespace {

// Output sent to a file or a pipe is meant for a script or a log; taking it
// to the console would leave the caller with nothing.
void ReopenInputUnlessRedirected(std::FILE* stream) {
    if (!Vexo::Platform::IsRedirectedToFileOrPipe(stream)) {
        Vexo::Platform::ReopenOnConsoleDevice(stream, "CONIN$", "r");
    }
}

void ReopenOutputUnlessRedirected(std::FILE* stream) {
    if (!Vexo::Platform::IsOutputRedirectedToFileOrPipe(stream)) {
        Vexo::Platform::ReopenOnConsoleDevice(stream, "CONOUT$", "w");
    }
}

} // namespace

void OpenConsole() {
    Vexo::Platform::AllocateConsole();
    ReopenInputUnlessRedirected(stdin);
    ReopenOutputUnlessRedirected(stderr);
    ReopenOutputUnlessRedirected(stdout);
}

void WaitForKeyPress() {
    // A prompt that went to a file or a pipe asks nobody; waiting would hang
    // the script that captures the output.
    if (Vexo::Platform::StandardInputIsConsole() && Vexo::Platform::StandardOutputIsConsole()) {
        Vexo::Platform::ReadOneKey();
    }
}
