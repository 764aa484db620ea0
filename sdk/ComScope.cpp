#include "sdk/ComScope.h"

#include "log/Log.h"
#include "platform/ServerRegistration.h"

void UninitializeCom() {
    logInfo("Uninitialize COM\n");
    ReleaseCom();
}

OnExit OpenComScope() {
    logInfo("Initialize COM\n");
    if (InitializeCom()) {
        return OnExit([] { UninitializeCom(); });
    }
    logWarning("Failed to initialize COM. Let's keep this between me and you ;)");
    return OnExit();
}
