#pragma once

#include "platform/Bitness.h"
#include "platform/ContentDigest.h"
#include "platform/Resources.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// One SDK DLL that the tool carries: its file name, which is also the name of
// the resource holding its bytes, that resource's type, and the bitness of
// the programs that load it (and so of the regsvr32 that registers it).
struct SdkComponent {
    const wchar_t* fileName;
    Vexo::Resources::ResourceType resourceType;
    Vexo::Platform::Bitness bitness;
};

// The SDK DLLs in the order install writes and registers them: 64-bit first.
// Constant data, so that nothing runs (or can throw) before WinMain.
extern const std::array<SdkComponent, 2> ComponentTable;

// The component whose file name the last element of `path` is, in any letter
// case; nothing for any other file.
const SdkComponent* FindComponent(const std::wstring& path);

// The digest of the DLL this program carries for `component`; nothing when
// its bytes cannot be had.
std::optional<Vexo::Platform::ContentDigest> CarriedDigest(const SdkComponent& component);

// Whether the last element of `path` is a copy of an SDK DLL that the tool
// made beside it under a fresh name (FreshFile.h) of that kind: "old" for
// one renamed aside for a restart, "new" for one written and never put in
// place because its run was stopped.
bool IsCopyOfComponent(const std::wstring& path, std::wstring_view kind);

inline bool IsAsideCopy(const std::wstring& path) {
    return IsCopyOfComponent(path, L"old");
}

// Where registering a DLL records its path: the default value of the SDK
// class's ServerBinary key, one per bitness, under HKEY_LOCAL_MACHINE. The
// 32-bit registration is reached through its WOW6432Node path.
inline constexpr wchar_t registrationKey32[] =
    L"SOFTWARE\\Classes\\WOW6432Node\\CLSID\\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}\\ServerBinary";
inline constexpr wchar_t registrationKey64[] =
    L"SOFTWARE\\Classes\\CLSID\\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}\\ServerBinary";

// The SDK class itself in each view: what a DLL's own unregistration removes.
inline constexpr wchar_t classKey32[] =
    L"SOFTWARE\\Classes\\WOW6432Node\\CLSID\\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}";
inline constexpr wchar_t classKey64[] =
    L"SOFTWARE\\Classes\\CLSID\\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}";

inline constexpr char displayName32[] = "Rimkit 32bit DLL";
inline constexpr char displayName64[] = "Rimkit 64bit DLL";
