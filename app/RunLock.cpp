#include "app/RunLock.h"

#include "core/Text.h"
#include "log/Log.h"

using Vexo::Platform::NamedMutex;

namespace {

// The system refused the lock: no access (a name another program holds with
// a stricter security descriptor), or the wait itself failed.
RunLock Refused(const Vexo::Error& error) {
    logError("The run lock %s cannot be used (Windows error %d); nothing was changed.\n",
             toNarrow(runLockName).c_str(), static_cast<int>(error.code));
    return RunLock{std::nullopt, RunOutcome::Failed};
}

} // namespace

RunLock AcquireRunLock() {
    auto lock = NamedMutex::Open(runLockName);
    if (lock.hasError()) {
        return Refused(lock.error());
    }
    auto acquired = lock.value().Lock(0);
    if (acquired.hasValue() && !acquired.value()) {
        logInfo("Waiting for another run of rimkit_manager to finish.\n");
        acquired = lock.value().Lock(runLockWaitMilliseconds);
    }
    if (acquired.hasError()) {
        return Refused(acquired.error());
    }
    if (!acquired.value()) {
        logError("Another run of rimkit_manager is still busy; nothing was changed.\n");
        return RunLock{std::nullopt, RunOutcome::TryAgainLater};
    }
    return RunLock{std::move(lock.value()), RunOutcome::Succeeded};
}
