#pragma once

#include "core/OnExit.h"

// Logs "Uninitialize COM" and uninitialises COM.
void UninitializeCom();

// The COM scope of an operation: logs "Initialize COM" and initialises COM.
// Returns a guard that uninitialises it at the end of the caller's scope, or,
// when COM was already initialised, logs a warning and returns an empty guard.
OnExit OpenComScope();
