#pragma once

#include <windows.h>

#include <memory>

namespace Vexo::Platform {

// A block that the system allocated for the caller (LocalAlloc), freed once.
struct LocalFreeDeleter {
    void operator()(void* block) const { LocalFree(block); }
};
template <typename Block = void> using LocalMemory = std::unique_ptr<Block, LocalFreeDeleter>;

} // namespace Vexo::Platform
