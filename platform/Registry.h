#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace Vexo {

// One registry value as read: nothing, REG_DWORD, REG_QWORD, REG_SZ or REG_BINARY.
using RegistryValue = std::variant<std::monostate, std::uint32_t, std::uint64_t, std::wstring,
                                   std::vector<std::uint8_t>>;

// An open registry key; closes it when destroyed unless it was closed before.
class RegistryEntry {
public:
    RegistryEntry() = default;
    virtual ~RegistryEntry();

    RegistryEntry(const RegistryEntry&) = delete;
    RegistryEntry& operator=(const RegistryEntry&) = delete;

    // Reads one value of the open key (null name: the default value). Every
    // failure, and every type other than the four above, gives none.
    RegistryValue ReadValue(const wchar_t* valueName) const noexcept;

    HKEY key = nullptr;
};

} // namespace Vexo

// The default value of `root`\`subKey` when it is a plain string (REG_SZ),
// every stored character kept (so normally ending in one NUL); nothing when
// the key or the value is missing, unreadable or of another type. Reads the
// 64-bit view; the 32-bit one is reached through its WOW6432Node path.
std::optional<std::wstring> ReadRegistryString(HKEY root, const wchar_t* subKey);

// Writes the hive that holds `root`\`subKey` to the disc now. The system
// writes registry changes lazily: after a power cut a change that regsvr32
// made can be gone while the files it goes with stand. True when flushed.
bool FlushRegistryKey(HKEY root, const wchar_t* subKey);

// Deletes the key `root`\`subKey` with everything below it, in the 64-bit
// view (the 32-bit one through its WOW6432Node path). True when it is gone,
// also when it was not there.
bool DeleteRegistryTree(HKEY root, const wchar_t* subKey);
