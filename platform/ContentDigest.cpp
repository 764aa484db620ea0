#include "platform/ContentDigest.h"

#include "platform/FileReader.h"

#include <windows.h>
#include <bcrypt.h>

#include <charconv>

namespace Vexo::Platform {

namespace {

// The provider and the hash object, each released once.
struct HashHandles {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;

    HashHandles() = default;
    HashHandles(const HashHandles&) = delete;
    HashHandles& operator=(const HashHandles&) = delete;
    ~HashHandles() {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
        }
        if (algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }
};

constexpr char hexDigits[] = "0123456789abcdef";

int HexValue(char letter) {
    for (int value = 0; value < 16; ++value) {
        if (hexDigits[value] == letter) {
            return value;
        }
    }
    return -1;
}

} // namespace

std::optional<ContentDigest> DigestOf(std::string_view bytes) {
    HashHandles handles;
    ContentDigest digest;
    digest.size = bytes.size();
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&handles.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(
            BCryptCreateHash(handles.algorithm, &handles.hash, nullptr, 0, nullptr, 0, 0))) {
        return std::nullopt;
    }
    while (!bytes.empty()) {
        constexpr std::size_t chunk = 1 << 20;
        const auto size = static_cast<ULONG>(std::min(chunk, bytes.size()));
        // The hash only reads the input, whatever the parameter's type says.
        auto* input = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
        if (!BCRYPT_SUCCESS(BCryptHashData(handles.hash, input, size, 0))) {
            return std::nullopt;
        }
        bytes.remove_prefix(size);
    }
    if (!BCRYPT_SUCCESS(BCryptFinishHash(handles.hash, digest.sha256.data(),
                                         static_cast<ULONG>(digest.sha256.size()), 0))) {
        return std::nullopt;
    }
    return digest;
}

std::optional<ContentDigest> DigestOf(const std::vector<std::uint8_t>& bytes) {
    return DigestOf(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<ContentDigest> DigestOfFile(const std::wstring& path) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    return DigestOf(*bytes);
}

std::string Sha256Text(const ContentDigest& digest) {
    std::string text;
    for (const auto byte : digest.sha256) {
        text += hexDigits[byte >> 4];
        text += hexDigits[byte & 0x0f];
    }
    return text;
}

std::string DigestText(const ContentDigest& digest) {
    return std::to_string(digest.size) + " " + Sha256Text(digest);
}

std::optional<ContentDigest> ParseDigestText(std::string_view text) {
    ContentDigest digest;
    const auto space = text.find(' ');
    if (space == std::string_view::npos || space == 0 || space > 19 ||
        text.size() != space + 1 + 2 * digest.sha256.size()) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + space, digest.size);
    if (error != std::errc() || end != text.data() + space) {
        return std::nullopt;
    }
    for (std::size_t index = 0; index < digest.sha256.size(); ++index) {
        const int high = HexValue(text[space + 1 + 2 * index]);
        const int low = HexValue(text[space + 2 + 2 * index]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        digest.sha256[index] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return digest;
}

} // namespace Vexo::Platform
