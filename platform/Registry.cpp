#include "platform/Registry.h"

#include "core/OnExit.h"

#include <algorithm>
#include <limits>

namespace Vexo {

namespace {

// A string value of `size` bytes. The system may append a terminator after
// the data it copies, and an odd size leaves a half character; the buffer
// takes both, so nothing is written past it.
RegistryValue ReadString(HKEY key, const wchar_t* valueName, DWORD size) {
    const std::size_t characters = (std::size_t{size} + 1) / sizeof(wchar_t) + 1;
    std::wstring buffer(characters, L'\0');
    const std::size_t bufferBytes = characters * sizeof(wchar_t);
    DWORD type = 0;
    DWORD readSize =
        static_cast<DWORD>(std::min<std::size_t>(bufferBytes, std::numeric_limits<DWORD>::max()));
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &readSize) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    // The value may have shrunk since it was sized; what was read counts.
    buffer.resize(std::min<std::size_t>(readSize, size) / sizeof(wchar_t));
    return buffer;
}

RegistryValue ReadBinary(HKEY key, const wchar_t* valueName, DWORD size) {
    std::vector<std::uint8_t> buffer(size);
    DWORD type = 0;
    DWORD readSize = size;
    if (RegQueryValueExW(key, valueName, nullptr, &type, buffer.data(), &readSize) !=
            ERROR_SUCCESS ||
        type != REG_BINARY) {
        return {};
    }
    buffer.resize(std::min(readSize, size));
    return buffer;
}

// The system is told the variable's size, never the stored one, so a value
// stored with more bytes fails the query instead of overrunning the variable.
template <typename Number, DWORD expectedType>
RegistryValue ReadNumber(HKEY key, const wchar_t* valueName, DWORD size) {
    Number number = 0;
    if (size > sizeof(number)) {
        return {};
    }
    DWORD type = 0;
    DWORD readSize = sizeof(number);
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&number),
                         &readSize) != ERROR_SUCCESS ||
        type != expectedType) {
        return {};
    }
    return number;
}

} // namespace

RegistryEntry::~RegistryEntry() {
    if (key != nullptr) {
        RegCloseKey(key);
        key = nullptr;
    }
}

RegistryValue RegistryEntry::ReadValue(const wchar_t* valueName) const noexcept {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return {};
    }
    try {
        switch (type) {
        case REG_SZ:
            return ReadString(key, valueName, size);
        case REG_BINARY:
            return ReadBinary(key, valueName, size);
        case REG_DWORD:
            return ReadNumber<std::uint32_t, REG_DWORD>(key, valueName, size);
        case REG_QWORD:
            return ReadNumber<std::uint64_t, REG_QWORD>(key, valueName, size);
        default:
            return {};
        }
    } catch (...) {
        // Out of memory for the buffer: the value counts as unreadable.
        return {};
    }
}

} // namespace Vexo

std::optional<std::wstring> ReadRegistryString(HKEY root, const wchar_t* subKey) {
    Vexo::RegistryEntry entry;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    entry.key = opened;
    const OnExit closeKey([&entry] {
        RegCloseKey(entry.key);
        entry.key = nullptr;
    });
    auto value = entry.ReadValue(nullptr);
    if (auto* text = std::get_if<std::wstring>(&value)) {
        return std::move(*text);
    }
    return std::nullopt;
}

bool FlushRegistryKey(HKEY root, const wchar_t* subKey) {
    Vexo::RegistryEntry entry;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ | KEY_WOW64_64KEY, &entry.key) != ERROR_SUCCESS) {
        entry.key = nullptr;
        return false;
    }
    return RegFlushKey(entry.key) == ERROR_SUCCESS;
}

bool DeleteRegistryTree(HKEY root, const wchar_t* subKey) {
    const LSTATUS result = RegDeleteTreeW(root, subKey);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}
