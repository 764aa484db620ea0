#include "app/OperationStep.h"

void RunSelectedOperation(const CommandLineOptions& /*options*/) {}
