#pragma once

#include "core/Expected.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Vexo::Resources {

// The kinds of embedded resource that ReadResource can be asked for.
enum ResourceType : std::int32_t {
    Dll = 0,
};

// The program's file version.
struct Version {
    std::uint16_t major;
    std::uint16_t minor;
    std::uint16_t build;
    std::uint16_t revision;
};

// The bytes of the program's own resource `name` of the given type; names and
// types are matched without regard to case.
Expected<std::vector<std::uint8_t>> ReadResource(const std::wstring& name, ResourceType type);

// The file version from the program's own version resource.
Expected<Version> ReadVersion();

} // namespace Vexo::Resources
