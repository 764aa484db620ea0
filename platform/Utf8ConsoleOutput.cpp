#include "platform/Utf8ConsoleOutput.h"

#include <windows.h>

namespace Vexo::Platform {

Utf8ConsoleOutput::Utf8ConsoleOutput() noexcept {
    // 0 means the process has no console; then there is nothing to change.
    const UINT current = GetConsoleOutputCP();
    if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        m_previousCodePage = current;
    }
}

Utf8ConsoleOutput::~Utf8ConsoleOutput() {
    if (m_previousCodePage != 0) {
        SetConsoleOutputCP(m_previousCodePage);
    }
}

} // namespace Vexo::Platform
