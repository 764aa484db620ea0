#include "sdk/Registrations.h"

#include "platform/FullPath.h"
#include "platform/Registry.h"
#include "sdk/ComponentTable.h"

namespace {

bool Names(const std::optional<std::wstring>& registeredPath, const std::wstring& path) {
    return registeredPath && Vexo::Platform::SameFileOnDisc(*registeredPath, path);
}

} // namespace

bool IsRegistered(const std::wstring& path) {
    return Names(ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey32), path) ||
           Names(ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey64), path);
}
