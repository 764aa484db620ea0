#include "app/RunLock.h"

// Alone in its file: an executable that defines the wait in an object of its
// own (the tests' variant with a short wait) never takes this one from the
// library.

// Longer than any install or uninstall takes, even with slow regsvr32 runs.
const unsigned long runLockWaitMilliseconds = 5 * 60 * 1000;
