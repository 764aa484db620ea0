#include "app/OperationStep.h"

#include "log/Log.h"
#include "sdk/Install.h"
#include "sdk/StatusReport.h"
#include "sdk/Uninstall.h"

#include <exception>

namespace {

void reportError(const Vexo::Error& error) {
    logError("%s\n", error.message.c_str());
}

void RunOperations(const CommandLineOptions& options) {
    if (options.install) {
        // A fresh install starts from a machine without a registered SDK.
        Uninstall().onError(reportError);
        Install(options.path).onError(reportError);
    } else if (options.uninstall) {
        Uninstall().onError(reportError);
    } else if (options.status) {
        ReportStatus();
    }
}

} // namespace

void RunSelectedOperation(const CommandLineOptions& options) {
    try {
        RunOperations(options);
    } catch (const std::exception& failure) {
        // Out of memory and the like: say so, and let the run end normally.
        logError("%s\n", failure.what());
    }
}
