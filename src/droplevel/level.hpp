// The level from which a body falling from rest under gravity 9.8 reaches a
// given speed, with levels 5 height units apart: in exact terms
// ⌈v² / 98 + 1⌉, but defined by one fixed sequence of extended-precision
// operations (see level.cpp), which decides the speeds next to a boundary.
#pragma once

#include <cstdint>
#include <optional>

#include <droplevel/extended.hpp>

namespace droplevel {

// The extended value nearest to 1/d, d being the binary64 value nearest to
// 19.6: 0xD0FAC687D6343A6E × 2^-68. Not the value nearest to 5/98, which lies
// 1092 units of the last place higher; the sequence is defined with this one.
inline constexpr extended recip_19_6{0xD0FAC687D6343A6E, 0x3FFA};

// The extended value nearest to 1/5: 0xCCCCCCCCCCCCCCCD × 2^-66.
inline constexpr extended recip_5{0xCCCCCCCCCCCCCCCD, 0x3FFC};

// The largest speed whose level fits a signed 32-bit integer: its level is
// 2147483647, and the next binary64 speed up has level 2^31.
inline constexpr double largest_32_bit_speed = 0x1.bffffffc8p+18;  // 458751.99978637695

// The level of `speed` as an integral binary64 value, for every finite speed
// whose sum still fits binary64 (|speed| up to about 1.3273e155); empty for
// larger speeds, infinities and NaNs. Always at least 1; exact, however
// many digits it has. The sign of the speed does not matter.
// Pure, thread-safe, and the same bits on every platform whatever the
// caller's floating-point rounding mode or precision.
std::optional<double> full_level_for_speed(double speed) noexcept;

// The level of `speed` as a signed 32-bit integer. For |speed| up to
// largest_32_bit_speed it lies in [1, 2147483647]. Beyond that it is the
// level's low 32 bits read as signed (458752 gives -2147483647), and 0 where
// full_level_for_speed is empty; callers that may meet such speeds should
// use full_level_for_speed.
std::int32_t level_for_speed(double speed) noexcept;

}  // namespace droplevel
