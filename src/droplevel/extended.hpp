// The 80-bit extended format of the x87 unit, carried out in integer
// arithmetic so that every platform and every compiler gives the same bits.
#pragma once

#include <bit>
#include <cstdint>
#include <optional>

namespace droplevel {

// One extended value in its own layout: a 64-bit significand with an explicit
// integer bit, and a 16-bit word holding the sign (bit 15) and the exponent
// biased by 16383. Value = significand × 2^(biased exponent − 16383 − 63).
// A non-zero value here is always normal: its integer bit is set.
struct extended {
    std::uint64_t significand;
    std::uint16_t sign_exponent;

    friend constexpr bool operator==(extended, extended) = default;
};

inline constexpr int extended_bias = 16383;

// A significand and the 64 bits below it: bit 63 of `rest` is the round bit,
// the others are sticky. Every rounding goes through this one pair.
struct significand_with_rest {
    std::uint64_t kept;
    std::uint64_t rest;
};

// Shifts the 128-bit value kept:0 right by `count` (any count, including 0
// and 128 or more) and returns it as kept:rest. Bits that fall off the bottom
// of `rest` are jammed into its lowest bit, so a rounding to nearest still
// sees whether anything non-zero was lost beyond the round bit.
constexpr significand_with_rest shift_right_jam(std::uint64_t kept, std::uint32_t count) {
    if (count == 0) return {kept, 0};
    if (count < 64) return {kept >> count, kept << (64 - count)};
    if (count == 64) return {0, kept};
    if (count < 128) {
        std::uint64_t lost = kept << (128 - count);
        return {0, (kept >> (count - 64)) | static_cast<std::uint64_t>(lost != 0)};
    }
    return {0, static_cast<std::uint64_t>(kept != 0)};
}

// Rounds kept:rest to an integer, to nearest with ties to even. The round bit
// adds one; on an exact tie the lowest bit is then cleared, which lands on the
// even neighbour whichever way the addition went. The caller handles the carry
// out of the top bit (the result wraps to 0 for a 64-bit significand).
constexpr std::uint64_t round_to_nearest_even(significand_with_rest value) {
    constexpr std::uint64_t half = std::uint64_t{1} << 63;
    std::uint64_t rounded = value.kept + (value.rest >> 63);
    return rounded & ~static_cast<std::uint64_t>(value.rest == half);
}

// The exact 128-bit product of two 64-bit integers, as high:low words.
constexpr significand_with_rest multiply_64x64(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
    __extension__ using uint128 = unsigned __int128;
    uint128 product = static_cast<uint128>(a) * b;
    return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#else
    constexpr std::uint64_t low32 = 0xFFFFFFFF;
    std::uint64_t a_low = a & low32, a_high = a >> 32;
    std::uint64_t b_low = b & low32, b_high = b >> 32;
    std::uint64_t low_low = a_low * b_low;
    std::uint64_t low_high = a_low * b_high;
    std::uint64_t high_low = a_high * b_low;
    std::uint64_t high_high = a_high * b_high;
    std::uint64_t middle = (low_low >> 32) + (low_high & low32) + (high_low & low32);
    std::uint64_t low = (middle << 32) | (low_low & low32);
    std::uint64_t high = high_high + (low_high >> 32) + (high_low >> 32) + (middle >> 32);
    return {high, low};
#endif
}

// Unbiased exponent of the integer bit.
constexpr int exponent_of(extended x) { return (x.sign_exponent & 0x7FFF) - extended_bias; }
constexpr std::uint16_t sign_of(extended x) { return x.sign_exponent & 0x8000; }

// Packs a sign, the unbiased exponent of the integer bit and a significand
// with its rest (integer bit at bit 63 of `value.kept`), rounding to 64 bits.
// The exponent must stay inside the format's normal range; the level
// computation never leaves it (its values lie between 2^-2300 and 2^2100).
constexpr extended round_and_pack(std::uint16_t sign, int exponent, significand_with_rest value) {
    std::uint64_t significand = round_to_nearest_even(value);
    if (significand == 0) {  // carried out of the top bit: 1.111…1 rounded up to 2
        significand = std::uint64_t{1} << 63;
        ++exponent;
    }
    return {significand, static_cast<std::uint16_t>(sign | (exponent + extended_bias))};
}

// The binary64 value as an extended value: always exact, since 53 bits fit
// in 64. Subnormals are normalised. Not for infinities or NaNs.
constexpr extended from_binary64(double value) {
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    auto sign = static_cast<std::uint16_t>((bits >> 48) & 0x8000);
    int biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0) {
        if (fraction == 0) return {0, sign};
        int shift = std::countl_zero(fraction);
        return {fraction << shift, static_cast<std::uint16_t>(sign | (63 - 1074 - shift + extended_bias))};
    }
    return {(fraction | (std::uint64_t{1} << 52)) << 11,
            static_cast<std::uint16_t>(sign | (biased - 1023 + extended_bias))};
}

// a × b rounded to extended, to nearest-even.
constexpr extended multiply(extended a, extended b) {
    auto sign = static_cast<std::uint16_t>(sign_of(a) ^ sign_of(b));
    if (a.significand == 0 || b.significand == 0) return {0, sign};
    // Two integer bits make a product in [2^126, 2^128): at most one
    // normalising shift, which loses nothing.
    significand_with_rest product = multiply_64x64(a.significand, b.significand);
    int exponent = exponent_of(a) + exponent_of(b) + 1;
    if ((product.kept >> 63) == 0) {
        product = {(product.kept << 1) | (product.rest >> 63), product.rest << 1};
        --exponent;
    }
    return round_and_pack(sign, exponent, product);
}

// a + b rounded to extended, to nearest-even, for operands of the same sign
// (the level computation adds 1 to a product of squares, never a negative).
constexpr extended add_same_sign(extended a, extended b) {
    if (b.significand == 0) return a;
    if (a.significand == 0) return b;
    if (exponent_of(a) < exponent_of(b)) {
        extended larger = b;
        b = a;
        a = larger;
    }
    int exponent = exponent_of(a);
    significand_with_rest smaller =
        shift_right_jam(b.significand, static_cast<std::uint32_t>(exponent - exponent_of(b)));
    std::uint64_t kept = a.significand + smaller.kept;
    std::uint64_t rest = smaller.rest;
    if (kept < a.significand) {  // carry: the sum lies in [2^64, 2^65)
        rest = (rest >> 1) | (rest & 1) | (kept << 63);
        kept = (kept >> 1) | (std::uint64_t{1} << 63);
        ++exponent;
    }
    return round_and_pack(sign_of(a), exponent, {kept, rest});
}

// x rounded to binary64, to nearest-even; empty when it rounds beyond the
// largest finite binary64 value. For x of 2^-1022 or more, or zero: the
// level computation only rounds sums of at least 1.
constexpr std::optional<double> to_binary64(extended x) {
    std::uint64_t sign = static_cast<std::uint64_t>(sign_of(x)) << 48;
    if (x.significand == 0) return std::bit_cast<double>(sign);
    int exponent = exponent_of(x);
    // 53 of the 64 significand bits stay; the 11 below go to the rest word.
    std::uint64_t significand = round_to_nearest_even(shift_right_jam(x.significand, 11));
    if ((significand >> 53) != 0) {
        significand >>= 1;
        ++exponent;
    }
    if (exponent > 1023) return std::nullopt;
    std::uint64_t biased = static_cast<std::uint64_t>(exponent + 1023);
    return std::bit_cast<double>(sign | (biased << 52) | (significand & ((std::uint64_t{1} << 52) - 1)));
}

}  // namespace droplevel
