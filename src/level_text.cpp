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

// Writes 0 ≤ value < 100 as two digits.
void write_pair(char* out, std::uint32_t value) { std::memcpy(out, &digit_pairs[2 * value], 2); }

// Writes 0 ≤ value < 10^8 as exactly eight digits: four independent pairs,
// rather than a chain of divisions each waiting for the last.
void write_8_digits(char* out, std::uint32_t value) {
    std::uint32_t high = value / 10000, low = value % 10000;
    write_pair(out, high / 100);
    write_pair(out + 2, high % 100);
    write_pair(out + 4, low / 100);
    write_pair(out + 6, low % 100);
}

}  // namespace

char* write_level(char* out, std::uint32_t level) {
    if (level >= 100000000) {  // levels spread over the 32-bit range mostly have 9 or 10 digits
        std::uint32_t top = level / 100000000;
        if (top >= 10) {
            write_pair(out, top);
            out += 2;
        } else {
            *out++ = static_cast<char>('0' + top);
        }
        write_8_digits(out, level % 100000000);
        return out + 8;
    }
    char* end = out + decimal_length(level);
    char* p = end;
    while (level >= 100) {
        std::uint32_t quotient = level / 100;
        p -= 2;
        write_pair(p, level - quotient * 100);
        level = quotient;
    }
    if (level >= 10) {
        write_pair(p - 2, level);
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
