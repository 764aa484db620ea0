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

// True when the input stream `stream` was sent to a file or a pipe by
// whoever started the process: its handle is a disk file or a pipe.
bool IsRedirectedToFileOrPipe(std::FILE* stream);

// The same for an output stream: a pipe, or a disk file that takes what is
// written to it.
bool IsOutputRedirectedToFileOrPipe(std::FILE* stream);

// True when standard input is a console, so that a key press can come.
bool StandardInputIsConsole();

// True when standard output is a console, so that what is printed is seen.
bool StandardOutputIsConsole();

// Waits for one key press without echo and discards it.
void ReadOneKey();

} // namespace Vexo::Platform
