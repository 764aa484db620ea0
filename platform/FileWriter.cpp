#include "platform/FileWriter.h"

#include "platform/UniqueHandle.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace Vexo::Platform {

namespace {

// The file has one name and is no link: writing it changes nothing else.
bool IsPlainFile(const UniqueHandle& file) {
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileInformationByHandle(file.get(), &information) != 0 &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
           information.nNumberOfLinks == 1;
}

bool WriteAll(const UniqueHandle& file, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        constexpr std::size_t chunk = 1 << 20;
        const auto size = static_cast<DWORD>(std::min(chunk, bytes.size() - done));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, size, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return FlushFileBuffers(file.get()) != 0;
}

} // namespace

WriteOutcome WriteWholeFile(const std::filesystem::path& path,
                            const std::vector<std::uint8_t>& bytes) {
    // Opened as it is, never followed: a link is found out before anything
    // is truncated.
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!file.valid() || !IsPlainFile(file)) {
        return WriteOutcome::NotOpened;
    }
    if (!SetEndOfFile(file.get())) {
        return WriteOutcome::NotOpened;
    }
    const bool written = WriteAll(file, bytes);
    const bool closed = CloseHandle(file.release()) != 0;
    return written && closed ? WriteOutcome::Written : WriteOutcome::Incomplete;
}

bool WriteFileDurably(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const std::wstring fresh = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount64()) + L".new";
    UniqueHandle file(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        return false;
    }
    const bool written = WriteAll(file, bytes);
    const bool closed = CloseHandle(file.release()) != 0;
    if (written && closed &&
        MoveFileExW(fresh.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    DeleteFileW(fresh.c_str());
    return false;
}

} // namespace Vexo::Platform
