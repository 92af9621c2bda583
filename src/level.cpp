#include <droplevel/level.hpp>

#include <bit>

namespace droplevel {
namespace {

constexpr extended one{std::uint64_t{1} << 63, extended_bias};

// The least integral binary64 value not below `value`, for finite value ≥ 1.
// Values of 2^52 or more are integral already.
constexpr double ceiling(double value) {
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    int exponent = static_cast<int>(bits >> 52) - 1023;
    if (exponent >= 52) return value;
    std::uint64_t significand = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    int fraction_bits = 52 - exponent;
    std::uint64_t whole = significand >> fraction_bits;
    std::uint64_t fraction = significand & ((std::uint64_t{1} << fraction_bits) - 1);
    return static_cast<double>(whole + (fraction != 0));  // below 2^53: exact
}

constexpr bool is_finite(double value) {
    return ((std::bit_cast<std::uint64_t>(value) >> 52) & 0x7FF) != 0x7FF;
}

// The low 32 bits of an integral binary64 value of 1 or more.
constexpr std::uint32_t low_32_bits(double integral) {
    std::uint64_t bits = std::bit_cast<std::uint64_t>(integral);
    int exponent = static_cast<int>(bits >> 52) - 1023;
    std::uint64_t significand = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    if (exponent <= 52) return static_cast<std::uint32_t>(significand >> (52 - exponent));
    if (exponent - 52 >= 32) return 0;
    return static_cast<std::uint32_t>(significand << (exponent - 52));
}

// The defining sequence. Each of the first four operations rounds to 64
// significant bits, to nearest-even; the sum is rounded to binary64 before the
// ceiling. Squaring first and adding 1 last matter: reordering, fusing, or
// taking the ceiling of the extended sum changes levels next to boundaries.
// No step can overflow or underflow the extended range: a finite speed's
// square lies between 2^-2148 and 2^2048.
constexpr std::optional<double> level_sequence(double speed) {
    if (!is_finite(speed)) return std::nullopt;
    extended v = from_binary64(speed);
    extended p = multiply(v, v);
    p = multiply(p, recip_19_6);
    p = multiply(p, recip_5);
    p = add_same_sign(p, one);
    std::optional<double> sum = to_binary64(p);
    if (!sum) return std::nullopt;
    return ceiling(*sum);
}

static_assert(level_sequence(14.0) == 3.0);
static_assert(level_sequence(-0.0) == 1.0);
static_assert(level_sequence(largest_32_bit_speed) == 2147483647.0);

}  // namespace

std::optional<double> full_level_for_speed(double speed) noexcept { return level_sequence(speed); }

std::int32_t level_for_speed(double speed) noexcept {
    std::optional<double> level = level_sequence(speed);
    if (!level) return 0;
    return static_cast<std::int32_t>(low_32_bits(*level));
}

}  // namespace droplevel
