#pragma once

#include "core/Expected.h"
#include "platform/Bitness.h"
#include "platform/ContentDigest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One SDK file that a registration named before a run changed anything:
// enough to put it back as it was.
struct RememberedFile {
    std::wstring path;
    // Its bytes and their digest; nothing for a file in the Windows folder,
    // which is never written back (only registered again). Read from a
    // recovery record whose saved copy lost them: the digest alone.
    std::optional<std::vector<std::uint8_t>> bytes;
    std::optional<Vexo::Platform::ContentDigest> digest;
    std::vector<Vexo::Platform::Bitness> views; // the registrations that named it
};

// What the SDK registrations named before a run, and the files to put back:
// each SDK DLL that a registration names and that is there, once, with the
// views that name it.
struct PreviousInstallation {
    std::optional<std::wstring> named32; // what the 32-bit view named
    std::optional<std::wstring> named64;
    std::vector<RememberedFile> files;
};

// The installation as the registrations name it now. An error ("Unable to
// read <path>.") when a file they name cannot be read: without its bytes
// there would be no way back to it.
Expected<PreviousInstallation> RememberInstallation();

// Whether `path` is one of the remembered files.
bool IsRemembered(const PreviousInstallation& previous, const std::wstring& path);
