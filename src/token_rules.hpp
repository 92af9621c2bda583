// How a batch of speeds splits into tokens, and the direct reading of the
// common token, shared by the threads that convert a batch.
#pragma once

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <system_error>

#include <droplevel/level.hpp>

#include "number_scanner.hpp"

namespace droplevel {

// Tokens are separated by white space; 0x0D is dropped wherever it stands,
// so it joins the token it is in ("1\r4" is 14).
constexpr bool is_separator(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\f'); }
constexpr bool ends_token(unsigned char c) { return is_separator(c) || c == end_of_file_mark; }

// Skips the white space and 0x0D bytes at p, adding the newlines to `lines`.
inline const char* skip_separators(const char* p, const char* end, std::uint64_t& lines) {
    for (; p != end; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (!is_separator(c) && c != carriage_return) break;
        lines += c == '\n';
    }
    return p;
}

// Tokens up to this length that from_chars reads whole are taken as it reads
// them; every other token goes through the scanner and its bounded form.
inline constexpr std::size_t direct_token_limit = 100;

struct direct_speed {
    double speed;
    const char* after;  // the byte that ends the token, 0x0D bytes passed
};

// The speed of the token at `begin` when from_chars alone reads it whole;
// empty when the token needs the scanner (or its end is not in the piece).
inline std::optional<direct_speed> read_direct_speed(const char* begin, const char* end) {
    const char* first = begin + (*begin == '-');
    if (first == end || !(is_decimal_digit(static_cast<unsigned char>(*first)) || *first == '.')) return std::nullopt;
    // From here on from_chars reads exactly this grammar: it takes no "+",
    // no white space, and its infinity and NaN forms start with a letter.
    double speed = 0;
    std::from_chars_result read = std::from_chars(begin, end, speed);
    if (read.ec != std::errc{} || static_cast<std::size_t>(read.ptr - begin) > direct_token_limit) return std::nullopt;
    // The number is the whole token if white space follows, 0x0D bytes aside
    // (they are dropped, so "14\r\n" is 14, but "1\r4" needs the scanner).
    const char* after = read.ptr;
    while (after != end && static_cast<unsigned char>(*after) == carriage_return) ++after;
    if (after == end || !ends_token(static_cast<unsigned char>(*after))) return std::nullopt;
    return direct_speed{speed, after};
}

// Whether the speed's level fits 32 bits: |speed| ≤ largest_32_bit_speed.
inline bool level_fits_32_bits(double speed) {
    return std::bit_cast<std::uint64_t>(speed) << 1 <= std::bit_cast<std::uint64_t>(largest_32_bit_speed) << 1;
}

}  // namespace droplevel
