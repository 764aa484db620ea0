#pragma once

#include <cstdio>

namespace Vexo::Platform {

// Gives the process a console of its own; false when it cannot have one
// (it may already be attached to a console).
bool AllocateConsole();

// Reopens `stream` on a console device ("CONIN$" or "CONOUT$"), but only when
// that device opens as a working console: reopening on a missing or dead
// device would lose everything written to the stream afterwards.
bool ReopenOnConsoleDevice(std::FILE* stream, const char* device, const char* mode);

// True when standard input is a console, so that a key press can come.
bool StandardInputIsConsole();

// Waits for one key press without echo and discards it.
void ReadOneKey();

} // namespace Vexo::Platform
