#include "platform/Resources.h"

#include "core/Text.h"

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
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, L"\\", reinterpret_cast<void**>(&info), &length) ||
        info == nullptr) {
        return MakeError("VerQueryValue failed.");
    }
    return Version{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                   HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

} // namespace Vexo::Resources
