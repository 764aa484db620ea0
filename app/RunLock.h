#pragma once

#include "app/RunOutcome.h"
#include "platform/NamedMutex.h"

#include <optional>

// The machine-wide lock that lets one run at a time install or uninstall:
// two runs that change the same registrations and files together leave a
// half installation behind.
inline constexpr wchar_t runLockName[] = L"Global\\Vexo.Rimkit.rimkit_manager.OneRunAtATime";

// How long a run waits for another to finish: five minutes. Defined in a file
// of its own, so that a build of the tool for tests can link a shorter wait;
// the tool reads no setting for it.
extern const unsigned long runLockWaitMilliseconds;

// The lock, or how the run ends without it: another run kept it past the
// wait (TryAgainLater), or the system refused it (Failed). Either is logged
// at Error; the caller then changes nothing.
struct RunLock {
    std::optional<Vexo::Platform::NamedMutex> held;
    RunOutcome otherwise = RunOutcome::Failed;
};

// Takes the lock, waiting up to five minutes for another run to finish (and
// saying so once).
RunLock AcquireRunLock();
