#pragma once

#include <cstdio>
#include <string>

namespace droplevel::testing {

// A binary64 value as a hexadecimal floating literal, for messages.
inline std::string hex(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

}  // namespace droplevel::testing
