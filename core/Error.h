#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace Vexo {

// One failure: a finished sentence without a line end, and a numeric code
// (every error the tool raises carries 0).
class Error {
public:
    Error(std::string message, std::int32_t code) : message(std::move(message)), code(code) {}

    std::string message;
    std::int32_t code;
};

} // namespace Vexo
