#include "platform/ProtectedFileRead.h"

#include "platform/FileReader.h"
#include "platform/OpenObjectJudgement.h"
#include "platform/UniqueHandle.h"

#include <windows.h>

#include <utility>

namespace Vexo::Platform {

namespace {

ProtectedFile Problem(FileReadProblem problem, std::uint32_t windowsError = 0) {
    return ProtectedFile{problem, windowsError, {}};
}

ProtectedFile Failed(const Vexo::Error& error) {
    return Problem(FileReadProblem::Unreadable, static_cast<std::uint32_t>(error.code));
}

ProtectedFile OpenFailed(DWORD error) {
    return Problem(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? FileReadProblem::Missing
                       : FileReadProblem::Unreadable,
                   error);
}

// What the open file is, judged in the order a caller needs to tell it.
ProtectedFile Judge(const UniqueHandle& file, const std::wstring& path, std::uint64_t maxBytes) {
    const auto elsewhere = LeadsElsewhere(file, path);
    if (elsewhere.hasError()) {
        return Failed(elsewhere.error());
    }
    if (elsewhere.value()) {
        return Problem(FileReadProblem::Link);
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) {
        return Problem(FileReadProblem::Unreadable, GetLastError());
    }
    // Another name of the same file may lie where others make names.
    if (information.nNumberOfLinks != 1) {
        return Problem(FileReadProblem::SecondName);
    }
    const auto trusted = OnlyTrustedMayChange(file, Reach::Contents);
    if (trusted.hasError()) {
        return Failed(trusted.error());
    }
    if (!trusted.value()) {
        return Problem(FileReadProblem::OthersCanChange);
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size > maxBytes) {
        return Problem(FileReadProblem::TooLarge);
    }
    auto bytes = ReadFromStart(file, size);
    if (!bytes) {
        return Problem(FileReadProblem::Unreadable, GetLastError());
    }
    return ProtectedFile{FileReadProblem::None, 0, std::move(*bytes)};
}

} // namespace

ProtectedFile ReadProtectedFile(const std::wstring& path, std::uint64_t maxBytes) {
    // Others may read meanwhile, but none may write, rename or delete it.
    // Without backup semantics the system opens no folder (access denied).
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
    if (!file.valid()) {
        return OpenFailed(GetLastError());
    }
    return Judge(file, path, maxBytes);
}

} // namespace Vexo::Platform
