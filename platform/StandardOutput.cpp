#include "platform/StandardOutput.h"

#include <cstdio>
#include <io.h>

namespace Vexo::Platform {

void WriteToStandardOutput(const std::string& text) {
    std::fflush(stdout);
    // A failed write (no standard output at all) has nowhere to be reported;
    // printf would have lost the text the same way.
    _write(_fileno(stdout), text.data(), static_cast<unsigned>(text.size()));
}

} // namespace Vexo::Platform
