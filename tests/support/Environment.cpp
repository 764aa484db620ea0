#include "support/Environment.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "core/Text.h"

namespace testsupport {

namespace {

const wchar_t sessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t pendingRenames[] = L"PendingFileRenameOperations";

REGSAM ViewFlag(RegistryView view) {
    return view == RegistryView::Bits32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

} // namespace

std::wstring BuildPath(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string("environment variable not set: ") + variable);
    }
    std::wstring path = toWide(value);
    // Only copies inside this prefix: no drive leads to the build folder itself.
    if (path.rfind(L"C:\\", 0) != 0) {
        throw std::runtime_error(std::string(variable) + " does not name a file on C:: " + value);
    }
    return path;
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + toNarrow(path));
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + toNarrow(path));
    }
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::wstring> ReadDefaultString(RegistryView view, const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | ViewFlag(view), &handle) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::wstring> result;
    if (RegQueryValueExW(handle, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(handle, nullptr, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text.data()), &size) == ERROR_SUCCESS) {
            text.resize(wcsnlen(text.c_str(), text.size()));
            result = text;
        }
    }
    RegCloseKey(handle);
    return result;
}

void SetDefaultValue(RegistryView view, const std::wstring& key, std::uint32_t type,
                     const void* data, std::uint32_t size) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | ViewFlag(view), nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        throw std::runtime_error("cannot create key " + toNarrow(key));
    }
    const LONG status =
        RegSetValueExW(handle, nullptr, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error("cannot set the default value of " + toNarrow(key));
    }
}

void SetDefaultString(RegistryView view, const std::wstring& key, const std::wstring& text) {
    SetDefaultValue(view, key, REG_SZ, text.c_str(),
                    static_cast<std::uint32_t>((text.size() + 1) * sizeof(wchar_t)));
}

void DeleteRegistryTree(RegistryView view, const std::wstring& key) {
    HKEY parent = nullptr;
    const auto split = key.find_last_of(L'\\');
    const std::wstring parentPath = key.substr(0, split);
    const std::wstring leaf = key.substr(split + 1);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parentPath.c_str(), 0, KEY_ALL_ACCESS | ViewFlag(view),
                      &parent) != ERROR_SUCCESS) {
        return;
    }
    RegDeleteTreeW(parent, leaf.c_str());
    RegDeleteKeyExW(parent, leaf.c_str(), ViewFlag(view), 0);
    RegCloseKey(parent);
}

std::vector<std::wstring> DeletionsAtRestart() {
    std::wstring value(32768, L'\0');
    auto size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, sessionManager, pendingRenames, RRF_RT_REG_MULTI_SZ,
                     nullptr, value.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    // Pairs of a path in the system's form (\??\C:\...) and its new name, empty
    // for a deletion.
    std::vector<std::wstring> deleted;
    std::wistringstream names(value.substr(0, size / sizeof(wchar_t)));
    for (std::wstring name, target;
         std::getline(names, name, L'\0') && std::getline(names, target, L'\0') && !name.empty();) {
        if (target.empty()) {
            deleted.push_back(name.substr(4));
        }
    }
    return deleted;
}

void ForgetDeletionsAtRestart() {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, sessionManager, pendingRenames);
}

bool KeyExists(RegistryView view, const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | ViewFlag(view), &handle) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

} // namespace testsupport
