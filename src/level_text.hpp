// The decimal text of a level, every digit of it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform.hpp"

namespace droplevel {

// The largest integral binary64 value lies below 2^1024 ≈ 1.8 × 10^308: at
// most 309 digits.
inline constexpr std::size_t level_text_capacity = 309;

// Writes the integral binary64 `level` (1 or more) in decimal, without sign,
// leading zeros or exponent, to `out`, which has room for
// level_text_capacity characters; returns the end of the text.
char* write_level(char* out, double level);

// The same for a level below 2^32, the common case, without floating point.
char* write_level(char* out, std::uint32_t level);

// A level's line: its text and the platform's line end.
inline constexpr std::size_t level_line_capacity = level_text_capacity + line_end.size();

template <typename Level>
char* write_level_line(char* out, Level level) {
    char* end = write_level(out, level);
    for (char c : line_end) *end++ = c;
    return end;
}

}  // namespace droplevel
