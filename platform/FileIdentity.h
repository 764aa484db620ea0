#pragma once

#include <windows.h>

namespace Vexo::Platform {

// Which file or folder an open handle is on disc, whatever its name: the
// volume's serial number and the file's index on it. Two names are the same
// file only when all three agree; the index alone repeats across volumes,
// and its low half alone across a large volume.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;

    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
};

} // namespace Vexo::Platform
