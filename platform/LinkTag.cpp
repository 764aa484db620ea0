#include "platform/LinkTag.h"

namespace Vexo::Platform {

bool IsLinkReparsePoint(DWORD attributes, DWORD reparseTag) {
    // The tag means nothing without the attribute.
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

} // namespace Vexo::Platform
