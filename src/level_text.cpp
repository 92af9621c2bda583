#include "level_text.hpp"

#include <charconv>
#include <cstdint>

namespace droplevel {

char* write_level(char* out, double level) {
    char* end = out + level_text_capacity;
    if (level < 0x1p64) return std::to_chars(out, end, static_cast<std::uint64_t>(level)).ptr;
    // Fixed notation with no fraction digits gives the exact integer, as
    // printf("%.0f") does with glibc; shortest round-trip digits would not.
    return std::to_chars(out, end, level, std::chars_format::fixed, 0).ptr;
}

}  // namespace droplevel
