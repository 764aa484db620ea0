#include "sdk/FileDeletion.h"

#include "core/Text.h"
#include "log/Log.h"

FileList DeleteMarkedFiles(const FileList& fileList) {
    FileList outcome = DeleteFiles(fileList);
    for (const auto& entry : outcome) {
        if (!entry.marked) {
            continue;
        }
        if (entry.deleted) {
            logInfo("Deleted: %s\n", toNarrow(entry.path).c_str());
        } else {
            logError("Delete: Failed: %s\n", toNarrow(entry.path).c_str());
        }
    }
    return outcome;
}
