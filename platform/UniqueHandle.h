#pragma once

#include "platform/UniqueOwner.h"

#include <windows.h>

namespace Vexo::Platform {

struct KernelHandleTraits {
    static bool IsValid(HANDLE handle) {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void Release(HANDLE handle) { CloseHandle(handle); }
};

// Sole owner of a kernel object handle; closes it exactly once.
using UniqueHandle = UniqueOwner<HANDLE, KernelHandleTraits>;

} // namespace Vexo::Platform
