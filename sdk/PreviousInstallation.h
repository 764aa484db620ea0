#pragma once

#include "platform/Bitness.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One SDK file that a registration named before an install changed anything:
// enough to put it back as it was.
struct RememberedFile {
    std::wstring path;
    std::optional<std::vector<std::uint8_t>> bytes; // nothing when it could not be read
    std::vector<Vexo::Platform::Bitness> views;     // the registrations that named it
};

// What the SDK registrations named before an install, and the files to put
// back: each SDK DLL that a registration names and that is there, once, with
// the views that name it.
struct PreviousInstallation {
    std::optional<std::wstring> named32; // what the 32-bit view named
    std::optional<std::wstring> named64;
    std::vector<RememberedFile> files;
};

PreviousInstallation RememberInstallation();
