#include "support/ExpectedOutput.h"

#include "core/Text.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <stdexcept>

namespace testsupport::lines {

namespace {

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    if (SHGetKnownFolderPath(id, 0, nullptr, &path) != S_OK) {
        CoTaskMemFree(path);
        throw std::runtime_error("the prefix has no such known folder");
    }
    std::string narrow = toNarrow(path);
    CoTaskMemFree(path);
    return narrow;
}

} // namespace

std::string StatusHeader() {
    return "Info: Id: %ProgramData% == " + KnownFolder(FOLDERID_ProgramData) + "\r\n" +
           "Info: Id: %LocalAppData% == " + KnownFolder(FOLDERID_LocalAppData) + "\r\n" +
           "Info: Id: %ProgramFiles% == " + KnownFolder(FOLDERID_ProgramFiles) + "\r\n" +
           "Info: \r\n"
           "Info: Installed: Entry found in the registry and file found on disc.\r\n"
           "Info: Not installed: No entry found in the registry.\r\n"
           "Info: Not found: Entry found in the registry but file not found on disc.\r\n"
           "Info: \r\n";
}

} // namespace testsupport::lines
