#pragma once

#include "core/Expected.h"
#include "platform/FileRemoval.h"

#include <optional>
#include <string>

// Unregisters every SDK DLL that the registry names, deletes the files that
// were unregistered and removes their folder when it is left empty. Always
// succeeds; what went wrong is in the log.
Expected<bool> Uninstall();

// Adds the registered file to the list, or logs that the DLL is not installed.
void CollectRegisteredFile(FileList& fileList, const std::optional<std::wstring>& registeredPath,
                           const std::string& notInstalledMessage);
