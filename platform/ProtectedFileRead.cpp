#include "platform/ProtectedFileRead.h"

#include "platform/FileReader.h"
#include "platform/FolderProtection.h"

namespace Vexo::Platform {

ProtectedFile ReadProtectedFile(const std::wstring& path, std::uint64_t maxBytes) {
    switch (ProtectionOf(path)) {
    case Protection::Link:
        return {FileReadProblem::Link, 0, {}};
    case Protection::OthersCanChange:
        return {FileReadProblem::OthersCanChange, 0, {}};
    case Protection::AdministratorsOnly:
        break;
    }
    auto bytes = ReadWholeFile(path);
    if (!bytes) {
        return {FileReadProblem::Missing, 2, {}};
    }
    if (bytes->size() > maxBytes) {
        return {FileReadProblem::TooLarge, 0, {}};
    }
    return {FileReadProblem::None, 0, std::move(*bytes)};
}

} // namespace Vexo::Platform
