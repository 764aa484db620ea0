#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A file of the build, named by an environment variable: the Windows path of
// the copy that the suite runner put into this prefix. Throws when it is
// unset or names anything outside drive C.
std::wstring BuildPath(const char* variable);

// Whole-file helpers; ReadFileBytes throws when the file cannot be read.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);

// The registry as a test sees it, in either view.
enum class RegistryView { Bits64, Bits32 };
std::optional<std::wstring> ReadDefaultString(RegistryView view, const std::wstring& key);
void SetDefaultValue(RegistryView view, const std::wstring& key, std::uint32_t type,
                     const void* data, std::uint32_t size);
void SetDefaultString(RegistryView view, const std::wstring& key, const std::wstring& text);
void DeleteRegistryTree(RegistryView view, const std::wstring& key);
bool KeyExists(RegistryView view, const std::wstring& key);

// The files and folders that the next restart deletes, in the order it
// deletes them, as full paths (PendingFileRenameOperations).
std::vector<std::wstring> DeletionsAtRestart();
// Deletions left for the next restart by an earlier test must not reach
// into a later one.
void ForgetDeletionsAtRestart();

// The SDK class and its ServerBinary key (the path in each view is the same).
inline const std::wstring sdkClassKey =
    L"SOFTWARE\\Classes\\CLSID\\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}";
inline const std::wstring sdkServerBinaryKey = sdkClassKey + L"\\ServerBinary";

} // namespace testsupport
