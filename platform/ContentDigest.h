#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Vexo::Platform {

// What a file holds, in brief: its size and the SHA-256 of its bytes.
struct ContentDigest {
    std::uint64_t size = 0;
    std::array<std::uint8_t, 32> sha256{};

    bool operator==(const ContentDigest& other) const {
        return size == other.size && sha256 == other.sha256;
    }
    bool operator!=(const ContentDigest& other) const { return !(*this == other); }
};

// The digest of `bytes`, from the system's own hash provider; nothing when
// the system cannot hash.
std::optional<ContentDigest> DigestOf(std::string_view bytes);
std::optional<ContentDigest> DigestOf(const std::vector<std::uint8_t>& bytes);

// The digest of the file at `path` as it is now; nothing when it cannot be
// read.
std::optional<ContentDigest> DigestOfFile(const std::wstring& path);

// The SHA-256 in lower-case hex; "<size> <that hex>"; and the latter back.
std::string Sha256Text(const ContentDigest& digest);
std::string DigestText(const ContentDigest& digest);
std::optional<ContentDigest> ParseDigestText(std::string_view text);

} // namespace Vexo::Platform
