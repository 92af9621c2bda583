// The 80-bit extended format of the x87 unit, carried out in integer
// arithmetic so that every platform and every compiler gives the same bits.
#pragma once

#include <bit>
#include <cstdint>

namespace droplevel {

// One extended value as it is stored: a 64-bit significand with an explicit
// integer bit, and a 16-bit word holding the sign (bit 15) and the exponent
// biased by 16383. Value = significand × 2^(biased exponent − 16383 − 63).
struct extended {
    std::uint64_t significand;
    std::uint16_t sign_exponent;

    friend constexpr bool operator==(extended, extended) = default;
};

inline constexpr int extended_bias = 16383;

// The magnitude of a non-zero extended value as the arithmetic works on it:
// significand × 2^(exponent − 63), the integer bit at bit 63. The exponent has
// no 15-bit limit here; the level computation keeps every value between
// 2^-2300 and 2^2100, well inside the format's range, so nothing it does would
// overflow or underflow a real extended value either.
struct magnitude {
    std::uint64_t significand;
    int exponent;

    friend constexpr bool operator==(magnitude, magnitude) = default;
};

constexpr magnitude magnitude_of(extended x) {
    return {x.significand, (x.sign_exponent & 0x7FFF) - extended_bias};
}

// A significand and the 64 bits below it: bit 63 of `rest` is the round bit,
// the others are sticky. Every rounding goes through this one pair.
struct significand_with_rest {
    std::uint64_t kept;
    std::uint64_t rest;
};

// Shifts the 128-bit value kept:0 right by `count` (any count, 0 and 128 or
// more included) and returns it as kept:rest. Bits that fall off the bottom
// of `rest` are jammed into its lowest bit, so a rounding to nearest still
// sees that something non-zero was lost below the round bit.
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
// even neighbour whichever way the addition went. The caller handles a carry
// out of the top bit (a 64-bit significand wraps to 0).
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

// Rounds a non-zero significand with its rest (integer bit at bit 63 of
// `kept`) to 64 bits, nearest-even, at the given exponent.
constexpr magnitude round_to_extended(int exponent, significand_with_rest value) {
    std::uint64_t significand = round_to_nearest_even(value);
    if (significand == 0) [[unlikely]] {  // 1.11…1 rounded up wrapped: the value is 2
        return {std::uint64_t{1} << 63, exponent + 1};
    }
    return {significand, exponent};
}

// The magnitude of a non-zero finite binary64 value, exactly: 53 bits fit in
// 64. Subnormals are normalised.
constexpr magnitude from_binary64(double value) {
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    int biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0) [[unlikely]] {
        int shift = std::countl_zero(fraction);
        return {fraction << shift, 63 - 1074 - shift};
    }
    return {(fraction | (std::uint64_t{1} << 52)) << 11, biased - 1023};
}

// a × b rounded to extended, nearest-even, for non-zero a and b.
constexpr magnitude multiply(magnitude a, magnitude b) {
    // Two integer bits make a product in [2^126, 2^128): at most one
    // normalising shift, which loses nothing. Whether it is needed depends on
    // the data, so it is done by a mask (x + (x & mask) doubles x when the mask
    // is all ones) rather than a branch that would be mispredicted half the time.
    significand_with_rest product = multiply_64x64(a.significand, b.significand);
    std::uint64_t low_half_mask = (product.kept >> 63) - 1;  // all ones when the top bit is clear
    std::uint64_t kept = product.kept + (product.kept & low_half_mask) + ((product.rest >> 63) & low_half_mask);
    std::uint64_t rest = product.rest + (product.rest & low_half_mask);
    int exponent = a.exponent + b.exponent + 1 - static_cast<int>(low_half_mask & 1);
    return round_to_extended(exponent, {kept, rest});
}

// a + b rounded to extended, nearest-even, for non-zero a and b.
constexpr magnitude add(magnitude a, magnitude b) {
    if (a.exponent < b.exponent) {
        magnitude larger = b;
        b = a;
        a = larger;
    }
    // The smaller operand, aligned below the larger one's integer bit.
    significand_with_rest smaller =
        shift_right_jam(b.significand, static_cast<std::uint32_t>(a.exponent - b.exponent));
    std::uint64_t kept = a.significand + smaller.kept;
    std::uint64_t rest = smaller.rest;
    int exponent = a.exponent;
    if (kept < a.significand) {  // carry: the sum lies in [2^64, 2^65) units
        rest = (rest >> 1) | (rest & 1) | (kept << 63);
        kept = (kept >> 1) | (std::uint64_t{1} << 63);
        ++exponent;
    }
    return round_to_extended(exponent, {kept, rest});
}

// A binary64 value as its 53-bit significand (integer bit at bit 52) and the
// exponent of that bit; value = significand × 2^(exponent − 52).
struct binary64_parts {
    std::uint64_t significand;
    int exponent;
};

// x rounded to 53 bits, nearest-even, for x of 2^-1022 or more: the level
// computation only rounds sums of at least 1. The result's exponent may pass
// 1023, where binary64 has only infinity; the caller checks.
constexpr binary64_parts round_to_binary64(magnitude x) {
    std::uint64_t significand = round_to_nearest_even(shift_right_jam(x.significand, 11));
    std::uint64_t carry = significand >> 53;  // 1.11…1 rounded up to 2
    return {significand >> carry, x.exponent + static_cast<int>(carry)};
}

}  // namespace droplevel
