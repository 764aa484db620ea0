#include "platform/ProcessArguments.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

namespace Vexo::Platform {

namespace {
struct LocalFreeDeleter {
    void operator()(LPWSTR* block) const { LocalFree(block); }
};
} // namespace

std::optional<std::vector<std::wstring>> ReadProcessArguments() {
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(
        CommandLineToArgvW(GetCommandLineW(), &count));
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
