#include "app/RunLock.h"

#include "log/Log.h"

using Vexo::Platform::LockOutcome;
using Vexo::Platform::NamedMutex;

std::optional<NamedMutex> AcquireRunLock() {
    auto lock = NamedMutex::Open(runLockName);
    LockOutcome outcome = lock ? lock->Lock(0) : LockOutcome::Failed;
    if (outcome == LockOutcome::TimedOut) {
        logInfo("Waiting for another run of rimkit_manager to finish.\n");
        outcome = lock->Lock(runLockWaitMilliseconds);
    }
    if (outcome != LockOutcome::Acquired) {
        logError("Another run of rimkit_manager is still busy; nothing was changed.\n");
        return std::nullopt;
    }
    return lock;
}
