#pragma once

#include "platform/UniqueHandle.h"

#include <optional>
#include <string>
#include <utility>

namespace Vexo::Platform {

// A folder held open so that, as long as it is held, nobody may rename,
// replace or delete it: the path to the files in it keeps leading to them.
// Files in it may still be made, written and deleted.
class HeldFolder {
public:
    // Holds the folder that `path` leads to (a folder link chosen as the
    // install folder is followed). Nothing when it is missing, is no folder,
    // or someone has it open for deleting or renaming.
    static std::optional<HeldFolder> Hold(const std::wstring& path);

private:
    explicit HeldFolder(UniqueHandle handle) : m_handle(std::move(handle)) {}

    UniqueHandle m_handle;
};

} // namespace Vexo::Platform
