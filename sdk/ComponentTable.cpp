#include "sdk/ComponentTable.h"

#include "platform/FreshFile.h"
#include "platform/WindowsPath.h"

#include <algorithm>

const std::array<SdkComponent, 2> ComponentTable = {{
    {L"vexo_steering_wheel_x64.dll", Vexo::Resources::Dll, Vexo::Platform::Bitness::Bits64},
    {L"vexo_steering_wheel_x86.dll", Vexo::Resources::Dll, Vexo::Platform::Bitness::Bits32},
}};

const SdkComponent* FindComponent(const std::wstring& path) {
    // A registry path may carry a NUL; only the text before it names the file.
    const std::wstring_view name = Vexo::Platform::LastElement(path.c_str());
    for (const auto& component : ComponentTable) {
        if (Vexo::Platform::SameFile(name, component.fileName)) {
            return &component;
        }
    }
    return nullptr;
}

std::optional<Vexo::Platform::ContentDigest> CarriedDigest(const SdkComponent& component) {
    const auto bytes = Vexo::Resources::ReadResource(component.fileName, component.resourceType);
    return bytes.hasValue() ? Vexo::Platform::DigestOf(bytes.value()) : std::nullopt;
}

bool IsCopyOfComponent(const std::wstring& path, std::wstring_view kind) {
    const std::wstring_view name = Vexo::Platform::LastElement(path.c_str());
    return std::any_of(ComponentTable.begin(), ComponentTable.end(),
                       [name, kind](const SdkComponent& component) {
                           return Vexo::Platform::IsFreshName(name, component.fileName, kind);
                       });
}
