#include "platform/FileReader.h"

#include "platform/PassingHold.h"
#include "platform/UniqueHandle.h"
#include "platform/WindowsError.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace Vexo::Platform {

namespace {

// Opened sharing everything, so that nobody is locked out while it is read.
UniqueHandle OpenToRead(const std::wstring& path, unsigned long retryMilliseconds) {
    UniqueHandle file;
    RetryWhileHeld(
        [&] {
            file.reset(CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return ResultOfCall(file.valid());
        },
        retryMilliseconds);
    return file;
}

std::optional<std::vector<std::uint8_t>> ReadOpenFile(const UniqueHandle& file,
                                                      std::uint64_t largestSize) {
    LARGE_INTEGER size{};
    // One read takes up to 4 GB, far more than a DLL or a record holds.
    if (!file.valid() || !GetFileSizeEx(file.get(), &size) || size.QuadPart > MAXDWORD ||
        static_cast<std::uint64_t>(size.QuadPart) > largestSize) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        return std::nullopt;
    }
    bytes.resize(read); // the file may have become shorter since
    return bytes;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::wstring& path,
                                                       unsigned long retryMilliseconds) {
    return ReadOpenFile(OpenToRead(path, retryMilliseconds), MAXDWORD);
}

std::optional<std::vector<std::uint8_t>> ReadFileUpTo(const std::wstring& path,
                                                      std::uint64_t largestSize) {
    return ReadOpenFile(OpenToRead(path, passingHoldMilliseconds), largestSize);
}

std::optional<std::vector<std::uint8_t>> ReadFromStart(const UniqueHandle& file,
                                                       std::uint64_t size) {
    LARGE_INTEGER start{};
    if (size > SIZE_MAX || !SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (std::size_t done = 0; done < bytes.size();) {
        const auto wanted =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, wanted, &got, nullptr) || got == 0) {
            return std::nullopt;
        }
        done += got;
    }
    return bytes;
}

} // namespace Vexo::Platform
