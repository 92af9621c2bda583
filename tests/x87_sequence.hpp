// The level sequence as the x87 unit runs it, a reference independent of the
// software arithmetic: the constants are taken from their 10-byte memory
// images, and the unit's precision control is at 64 bits on the Linux
// targets that have it.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
#define DROPLEVEL_HAS_X87 1

namespace droplevel::testing {

inline long double from_memory_image(const unsigned char (&image)[10]) {
    long double value = 0;
    std::memcpy(&value, image, 10);
    return value;
}

inline const long double x87_recip_19_6 =
    from_memory_image({0x6E, 0x3A, 0x34, 0xD6, 0x87, 0xC6, 0xFA, 0xD0, 0xFA, 0x3F});
inline const long double x87_recip_5 = from_memory_image({0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFC, 0x3F});

// The sum rounded to binary64: the sequence up to its ceiling.
inline double x87_sum(double speed) {
    long double p = static_cast<long double>(speed) * speed;
    p *= x87_recip_19_6;
    p *= x87_recip_5;
    p += 1;
    return static_cast<double>(p);
}

// The level; empty where the sum overflows binary64 or the speed is not
// finite.
inline std::optional<double> x87_level(double speed) {
    if (!std::isfinite(speed)) return std::nullopt;
    double sum = x87_sum(speed);
    if (std::isinf(sum)) return std::nullopt;
    return std::ceil(sum);
}

}  // namespace droplevel::testing
#endif
