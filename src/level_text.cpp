#include "level_text.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>

namespace droplevel {
namespace {

// "00" to "99": two digits per division.
constexpr std::array<char, 200> digit_pairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

constexpr std::array<std::uint32_t, 10> powers_of_10 = {1,      10,      100,      1000,      10000,
                                                        100000, 1000000, 10000000, 100000000, 1000000000};

// ⌊log10⌋ + 1 from the bit length: 1233/4096 is just above log10(2), so the
// estimate is the length or one short of it, and one comparison settles it.
constexpr int decimal_length(std::uint32_t value) {
    int bits = 32 - std::countl_zero(value | 1);
    int estimate = (bits * 1233) >> 12;
    return estimate + ((value | 1) >= powers_of_10[estimate]);
}

static_assert(decimal_length(0) == 1 && decimal_length(9) == 1 && decimal_length(10) == 2);
static_assert(decimal_length(999999999) == 9 && decimal_length(1000000000) == 10);
static_assert(decimal_length(4294967295u) == 10);

}  // namespace

char* write_level(char* out, std::uint32_t level) {
    char* end = out + decimal_length(level);
    char* p = end;
    while (level >= 100) {
        std::uint32_t quotient = level / 100;
        std::uint32_t pair = level - quotient * 100;
        p -= 2;
        std::memcpy(p, &digit_pairs[2 * pair], 2);
        level = quotient;
    }
    if (level >= 10) {
        std::memcpy(p - 2, &digit_pairs[2 * level], 2);
    } else {
        p[-1] = static_cast<char>('0' + level);
    }
    return end;
}

char* write_level(char* out, double level) {
    if (level < 0x1p32) return write_level(out, static_cast<std::uint32_t>(level));
    if (level < 0x1p64) return std::to_chars(out, out + level_text_capacity, static_cast<std::uint64_t>(level)).ptr;
    // Fixed notation with no fraction digits gives the exact integer, as
    // printf("%.0f") does with glibc; shortest round-trip digits would not.
    return std::to_chars(out, out + level_text_capacity, level, std::chars_format::fixed, 0).ptr;
}

}  // namespace droplevel
