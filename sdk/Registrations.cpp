#include "sdk/Registrations.h"

#include "platform/FullPath.h"
#include "platform/Registry.h"
#include "platform/WindowsPath.h"
#include "sdk/ComponentTable.h"

namespace {

bool Names(const std::optional<std::wstring>& registeredPath, const std::wstring& fullPath) {
    return registeredPath &&
           Vexo::Platform::SameFile(Vexo::Platform::FullPath(*registeredPath), fullPath);
}

} // namespace

bool IsRegistered(const std::wstring& path) {
    const std::wstring fullPath = Vexo::Platform::FullPath(path);
    return Names(ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey32), fullPath) ||
           Names(ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey64), fullPath);
}
