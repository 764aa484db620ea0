#include "platform/FileReader.h"

#include "platform/PassingHold.h"
#include "platform/UniqueHandle.h"
#include "platform/WindowsError.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>

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

} // namespace

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::wstring& path,
                                                       unsigned long retryMilliseconds) {
    const UniqueHandle file = OpenToRead(path, retryMilliseconds);
    LARGE_INTEGER size{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        constexpr std::size_t chunk = 1 << 20;
        const auto wanted = static_cast<DWORD>(std::min(chunk, bytes.size() - done));
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, wanted, &read, nullptr)) {
            return std::nullopt;
        }
        if (read == 0) {
            break; // the file became shorter while it was read
        }
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

} // namespace Vexo::Platform
