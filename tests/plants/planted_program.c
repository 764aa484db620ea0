// A program someone put where the tool might look for regsvr32: it leaves
// its mark and reports success, as if it had registered the DLL.
#include "LeaveMark.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)previous;
    (void)commandLine;
    (void)show;
    LeaveMark(instance);
    return 0;
}
