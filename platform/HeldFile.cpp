#include "platform/HeldFile.h"

#include "platform/FileReader.h"
#include "platform/PassingHold.h"
#include "platform/WindowsError.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>

namespace Vexo::Platform {

namespace {

// Far more than any SDK DLL: a file this large is nobody's DLL to load.
constexpr unsigned long long maxDigestBytes = 256ull << 20;

} // namespace

std::optional<HeldFile> HeldFile::Hold(const std::wstring& path, unsigned long retryMilliseconds) {
    // Read sharing only: a loader opens for reading and mapping, which this
    // allows, while a writer, a rename or a deletion needs sharing it lacks.
    UniqueHandle handle;
    RetryWhileHeld(
        [&] {
            handle.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
            return ResultOfCall(handle.valid());
        },
        retryMilliseconds);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &information) ||
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return std::nullopt;
    }
    return HeldFile(std::move(handle));
}

bool HeldFile::Contains(const std::vector<std::uint8_t>& bytes) const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_handle.get(), &size) ||
        static_cast<unsigned long long>(size.QuadPart) != bytes.size()) {
        return false;
    }
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(m_handle.get(), start, nullptr, FILE_BEGIN)) {
        return false;
    }
    std::vector<std::uint8_t> chunk(std::size_t{64} * 1024);
    std::size_t compared = 0;
    while (compared < bytes.size()) {
        const auto wanted = static_cast<DWORD>(std::min(chunk.size(), bytes.size() - compared));
        DWORD read = 0;
        if (!ReadFile(m_handle.get(), chunk.data(), wanted, &read, nullptr) || read == 0 ||
            !std::equal(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(read),
                        bytes.begin() + static_cast<std::ptrdiff_t>(compared))) {
            return false;
        }
        compared += read;
    }
    return true;
}

std::optional<ContentDigest> HeldFile::Digest() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_handle.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > maxDigestBytes) {
        return std::nullopt;
    }
    const auto bytes = ReadFromStart(m_handle, static_cast<std::uint64_t>(size.QuadPart));
    return bytes ? DigestOf(*bytes) : std::nullopt;
}

} // namespace Vexo::Platform
