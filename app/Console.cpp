#include "app/Console.h"

#include "platform/ConsoleDevices.h"

#include <cstdio>

void OpenConsole() {
    Vexo::Platform::AllocateConsole();
    Vexo::Platform::ReopenOnConsoleDevice(stdin, "CONIN$", "r");
    Vexo::Platform::ReopenOnConsoleDevice(stderr, "CONOUT$", "w");
    Vexo::Platform::ReopenOnConsoleDevice(stdout, "CONOUT$", "w");
}

void WaitForKeyPress() {
    if (Vexo::Platform::StandardInputIsConsole()) {
        Vexo::Platform::ReadOneKey();
    }
}
