// The run-lock wait of the tool variant whose run gives up waiting, so that
// its test takes seconds instead of five minutes. Linked into that variant
// ahead of the library, whose own wait is then never taken.
#include "app/RunLock.h"

const unsigned long runLockWaitMilliseconds = 2000;
