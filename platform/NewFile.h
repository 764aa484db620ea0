#pragma once

#include "core/Expected.h"
#include "platform/UniqueHandle.h"

#include <string>
#include <string_view>
#include <utility>

namespace Vexo::Platform {

// A file that this process made itself and holds open for writing; others may
// read it meanwhile. Closed when destroyed.
class NewFile {
public:
    // Puts an empty file of this process's own at `path`. Whatever was there
    // is gone: a file, a symbolic link or one name of a hard-linked file is
    // replaced, a link or junction standing for a folder is removed; never is
    // anything it points to written or removed. A real folder there stays,
    // and then this fails.
    static Expected<NewFile> Create(const std::wstring& path);

    // Writes all of `bytes` after what is in the file, in one call; false
    // when the system took fewer.
    bool append(std::string_view bytes) const;

private:
    explicit NewFile(UniqueHandle handle) : m_handle(std::move(handle)) {}

    UniqueHandle m_handle;
};

} // namespace Vexo::Platform
