#include "platform/Resources.h"

#include "core/Text.h"
#include "platform/UniqueModule.h"

#include <windows.h>

namespace Vexo::Resources {

namespace {

constexpr WORD versionResourceType = 16;

std::wstring TypeName(ResourceType type) {
    return type == Dll ? L"dll" : L"";
}

Vexo::Error MakeError(std::string message) {
    return Vexo::Error(std::move(message), 0);
}

using VerQueryValueFunction = decltype(&VerQueryValueW);

// version.dll is no known DLL: linked statically, or loaded by its bare
// name, it would be taken from the tool's folder before the system's. Only
// the system folder is searched here.
Vexo::Platform::UniqueModule LoadVersionLibrary() {
    return Vexo::Platform::UniqueModule(
        LoadLibraryExW(L"version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

VerQueryValueFunction FindVerQueryValue(const Vexo::Platform::UniqueModule& library) {
    const FARPROC found = GetProcAddress(library.get(), "VerQueryValueW");
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<VerQueryValueFunction>(reinterpret_cast<void (*)()>(found));
}

} // namespace

Expected<std::vector<std::uint8_t>> ReadResource(const std::wstring& name, ResourceType type) {
    const std::wstring typeName = TypeName(type);
    HRSRC found = FindResourceW(nullptr, name.c_str(), typeName.c_str());
    if (found == nullptr) {
        return MakeError("Unable to find resource: " + toNarrow(name) + " of type " +
                         toNarrow(typeName));
    }
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return MakeError("Unable to load resource named " + toNarrow(name) + " of type " +
                         toNarrow(typeName));
    }
    const DWORD size = SizeofResource(nullptr, found);
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    return std::vector<std::uint8_t>(first, first + size);
}

Expected<Version> ReadVersion() {
    HRSRC found =
        FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(versionResourceType));
    if (found == nullptr) {
        return MakeError("Unable to find version information.");
    }
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (loaded == nullptr) {
        return MakeError("Unable to load version information.");
    }
    const void* block = LockResource(loaded);
    if (block == nullptr) {
        return MakeError("Unable to lock version information.");
    }
    // Without the system's version.dll the root block cannot be queried.
    const Vexo::Platform::UniqueModule library = LoadVersionLibrary();
    const VerQueryValueFunction verQueryValue =
        library.valid() ? FindVerQueryValue(library) : nullptr;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (verQueryValue == nullptr ||
        !verQueryValue(block, L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr) {
        return MakeError("VerQueryValue failed.");
    }
    return Version{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                   HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

} // namespace Vexo::Resources
