#include <droplevel/level.hpp>

#include <bit>

namespace droplevel {
namespace {

// A level as integer × 2^scale: integer below 2^54, and scale 0 whenever the
// level is below 2^53.
struct level_parts {
    std::uint64_t integer;
    int scale;
    bool exists;
};

constexpr bool is_finite(double value) {
    return ((std::bit_cast<std::uint64_t>(value) >> 52) & 0x7FF) != 0x7FF;
}

// A shortcut that gives the sequence's level without its four roundings,
// for speeds in [8, 2^19) (exponent E from 3 to 18) whose sum is not close to
// an integer; empty where it cannot be sure. The reasoning:
//   v = M × 2^(E−63), M the 64-bit significand. A = ⌊M² / 2^64⌋ is within
//   2^-62 of M²/2^64 relatively, and product_of_recips within 2^-64 of
//   recip_19_6 × recip_5, so Q' = A × product_of_recips × 2^(2E−132) lies
//   within 2^-61.9 of Q = v² × recip_19_6 × recip_5. The sequence's product
//   after step 3 is Q with three roundings of 2^-64 each, and its sum S one
//   more rounding of Q + 1. With E ≤ 18, Q < 2^32, so S lies within 2^-28
//   of Q' + 1, and half a binary64 unit at S is at most 2^-21.
//   If the fraction f of Q' + 1 = n + f is above 2^-19 and below 1 − 2^-27,
//   then S lies above n plus half a binary64 unit and below n + 1: its
//   binary64 rounding lies in (n, n + 1], and the level is n + 1.
constexpr magnitude product_of_recips = multiply(magnitude_of(recip_19_6), magnitude_of(recip_5));
static_assert(product_of_recips.exponent == -7);  // the scale 2^-70 assumed below

constexpr std::optional<std::uint64_t> certain_level(magnitude v) {
    std::uint64_t a = multiply_64x64(v.significand, v.significand).kept;
    significand_with_rest q = multiply_64x64(a, product_of_recips.significand);  // Q' × 2^(132 − 2E)
    int shift = 68 - 2 * v.exponent;  // 32 to 62: Q' = q / 2^(64 + shift)
    std::uint64_t whole = q.kept >> shift;
    std::uint64_t fraction = (q.kept << (64 - shift)) | (q.rest >> shift);  // × 2^-64
    constexpr std::uint64_t low_margin = std::uint64_t{1} << 45;               // 2^-19
    constexpr std::uint64_t high_margin = ~std::uint64_t{0} - (std::uint64_t{1} << 37);  // 1 − 2^-27
    if (fraction <= low_margin || fraction >= high_margin) return std::nullopt;
    return whole + 2;  // n = whole + 1
}

// The defining sequence. Each of the first four operations rounds to 64
// significant bits, nearest-even; the sum is rounded to binary64 before the
// ceiling. Squaring first and adding 1 last matter: reordering, fusing, or
// taking the ceiling of the extended sum changes levels next to boundaries.
// A finite speed's square lies between 2^-2148 and 2^2048, so no step could
// overflow or underflow the extended range.
constexpr level_parts level_sequence(double speed) {
    if (!is_finite(speed)) return {0, 0, false};
    if (speed == 0) return {1, 0, true};
    magnitude v = from_binary64(speed);
    // Speeds from 8 to 2^19, the ones whose levels fill the 32-bit range.
    if (v.exponent >= 3 && v.exponent <= 18) {
        if (std::optional<std::uint64_t> level = certain_level(v)) return {*level, 0, true};
    }
    constexpr magnitude one{std::uint64_t{1} << 63, 0};
    magnitude p = multiply(v, v);
    p = multiply(p, magnitude_of(recip_19_6));
    p = multiply(p, magnitude_of(recip_5));
    p = add(p, one);
    binary64_parts sum = round_to_binary64(p);
    if (sum.exponent > 1023) return {0, 0, false};  // beyond binary64: infinity
    if (sum.exponent >= 52) return {sum.significand, sum.exponent - 52, true};  // integral already
    // The sum is at least 1, so 1 to 52 of its bits are fraction bits.
    int fraction_bits = 52 - sum.exponent;
    std::uint64_t ceiling = (sum.significand + ((std::uint64_t{1} << fraction_bits) - 1)) >> fraction_bits;
    return {ceiling, 0, true};
}

constexpr std::optional<double> as_binary64(level_parts level) {
    if (!level.exists) return std::nullopt;
    if (level.scale == 0) return static_cast<double>(static_cast<std::int64_t>(level.integer));  // exact: < 2^54
    auto biased = static_cast<std::uint64_t>(level.scale + 52 + 1023);
    return std::bit_cast<double>((biased << 52) | (level.integer & ((std::uint64_t{1} << 52) - 1)));
}

// Bits from 2^32 up are cut; a level with scale 32 or more has none below.
constexpr std::int32_t low_32_bits(level_parts level) {
    if (!level.exists || level.scale >= 32) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(level.integer << level.scale));
}

static_assert(as_binary64(level_sequence(14.0)) == 3.0);  // the sum is 3 − 167 × 2^-60, rounded to 3.0
static_assert(as_binary64(level_sequence(-0.0)) == 1.0);
static_assert(low_32_bits(level_sequence(largest_32_bit_speed)) == 2147483647);

}  // namespace

std::optional<double> full_level_for_speed(double speed) noexcept { return as_binary64(level_sequence(speed)); }

std::int32_t level_for_speed(double speed) noexcept { return low_32_bits(level_sequence(speed)); }

}  // namespace droplevel
