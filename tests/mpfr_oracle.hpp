// The reference: the level sequence carried out by MPFR, which shares no code
// with the library: 64-bit precision with nearest-even rounding after each
// step, and constants derived from their definitions rather than stored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace droplevel::oracle {

// An extended value as significand × 2^exponent (significand 0 for zero).
struct scaled_significand {
    std::uint64_t significand;
    int exponent;
    friend bool operator==(scaled_significand, scaled_significand) = default;
};

// The extended value nearest to 1/d, d the binary64 value nearest to 19.6.
scaled_significand recip_19_6();
// The extended value nearest to 1/5.
scaled_significand recip_5();

// The level as an integral binary64 value; empty when the sum overflows
// binary64 or the speed is not finite.
std::optional<double> level(double speed);

// ⌈v² / 98 + 1⌉ in exact arithmetic, for a finite speed.
double exact_level(double speed);

// The same sequence as `level` carried out in binary128 (113-bit
// significands, constants rounded to 113 bits), as a platform whose
// long double is binary128 would.
std::optional<double> binary128_level(double speed);

// a × b and a + b, each rounded to 64 bits, nearest-even.
scaled_significand multiply(scaled_significand a, scaled_significand b);
scaled_significand add(scaled_significand a, scaled_significand b);

// The decimal text correctly rounded to binary64, nearest-even, subnormals
// included; infinity beyond the range.
double decimal_to_binary64(const std::string& text);

// The exact decimal value of a binary64 value, every digit.
std::string exact_decimal(double value);

// The exact decimal midpoint of two adjacent positive binary64 values a < b.
std::string exact_midpoint(double a, double b);

}  // namespace droplevel::oracle
