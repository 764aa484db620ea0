#pragma once

// How a run that parsed its command line ended, as its exit code tells the
// caller. The values are the ones Windows installers end with, so that a
// deployment system reads them without being told: 0 success, 1618 try again
// later, anything else failed.
enum class RunOutcome : int {
    Succeeded = 0,       // the operation did its work, or there was nothing to change
    Failed = 1603,       // the install or uninstall did not complete
    TryAgainLater = 1618 // another run, or a program holding the record, kept the machine past
                         // the wait; nothing was changed
};
