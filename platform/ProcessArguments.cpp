#include "platform/ProcessArguments.h"

#include "platform/LocalMemory.h"

#include <windows.h>
#include <shellapi.h>

namespace Vexo::Platform {

std::optional<std::vector<std::wstring>> ReadProcessArguments() {
    int count = 0;
    const LocalMemory<LPWSTR> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!argv) {
        return std::nullopt;
    }
    std::vector<std::wstring> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.emplace_back(argv.get()[i]);
    }
    return arguments;
}

} // namespace Vexo::Platform
