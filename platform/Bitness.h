#pragma once

namespace Vexo::Platform {

// Which kind of program loads a DLL: a 64-bit or a 32-bit one.
enum class Bitness { Bits64, Bits32 };

} // namespace Vexo::Platform
