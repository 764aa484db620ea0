#include "platform/FileWriter.h"

#include "platform/FreshFile.h"

#include <windows.h>

#include <string_view>

namespace Vexo::Platform {

WriteResult WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes,
                           unsigned long retryMilliseconds, bool ownedByAdministrators) {
    auto file = FreshFile::Create(path, ownedByAdministrators);
    if (file.hasError()) {
        return {WriteOutcome::NotOpened, file.error().code};
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!file.value().Append(text) || !file.value().Flush()) {
        return {WriteOutcome::Incomplete, static_cast<std::int32_t>(GetLastError())};
    }
    const auto placed = file.value().PutInPlace(retryMilliseconds);
    if (placed.hasError()) {
        return {WriteOutcome::NotOpened, placed.error().code};
    }
    return {WriteOutcome::Written, 0};
}

} // namespace Vexo::Platform
