#pragma once

#include "core/Expected.h"
#include "platform/FileRemoval.h"
#include "sdk/PendingDeletions.h"

#include <optional>
#include <string>

// Unregisters every SDK DLL that the registry names, deletes the files that
// were unregistered and removes their folder when this run emptied it. A
// registered file that is not one of the SDK's DLLs is left alone. Files that
// could not be deleted, and their folder, are added to `pending`. Always
// succeeds; what went wrong is in the log.
Expected<bool> Uninstall(PendingDeletions& pending);

// Adds the registered file to the list unless the list already names it, or
// logs that the DLL is not installed.
void CollectRegisteredFile(FileList& fileList, const std::optional<std::wstring>& registeredPath,
                           const std::string& notInstalledMessage);
