#pragma once

#include "platform/ContentDigest.h"
#include "platform/UniqueHandle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Vexo::Platform {

// A file held open so that, as long as it is held, nobody may write,
// replace, rename or delete it; others may still read it and load it as a
// DLL. What it holds then is what a loader gets.
class HeldFile {
public:
    // Holds the file at `path` itself (a link there is not followed).
    // Nothing when it is missing, is no plain file, or someone has it open
    // for writing or deleting, or without sharing it; one that someone has
    // open so for a moment is tried again for up to `retryMilliseconds`.
    static std::optional<HeldFile> Hold(const std::wstring& path, unsigned long retryMilliseconds);

    // Whether the file holds exactly `bytes`.
    bool Contains(const std::vector<std::uint8_t>& bytes) const;

    // What the file holds; nothing when it cannot be read.
    std::optional<ContentDigest> Digest() const;

private:
    explicit HeldFile(UniqueHandle handle) : m_handle(std::move(handle)) {}

    UniqueHandle m_handle;
};

} // namespace Vexo::Platform
