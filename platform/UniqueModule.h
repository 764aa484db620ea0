#pragma once

#include "platform/UniqueOwner.h"

#include <windows.h>

namespace Vexo::Platform {

struct LoadedModuleTraits {
    static bool IsValid(HMODULE module) { return module != nullptr; }
    static void Release(HMODULE module) { FreeLibrary(module); }
};

// Sole owner of a loaded DLL; frees it exactly once.
using UniqueModule = UniqueOwner<HMODULE, LoadedModuleTraits>;

} // namespace Vexo::Platform
