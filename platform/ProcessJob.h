#pragma once

#include "core/Expected.h"

namespace Vexo::Platform {

// Puts this process into a job of its own that ends every process in it when
// this process ends, however it ends (killed, a console closed, a crash), so
// that every process it starts from then on is born inside that job: no
// moment exists in which a child could outlive it. Jobs nest (Windows 8 and
// later), so this works inside a deployment agent's job too. Done once; a
// later call gives the first outcome. The error carries the Windows error
// code.
Expected<bool> EndChildrenWithThisProcess();

} // namespace Vexo::Platform
