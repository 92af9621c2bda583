// Drives the level computation with arbitrary 64-bit patterns and compares
// it with MPFR carrying out the same sequence.

#include <droplevel/level.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "mpfr_oracle.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    double speed;
    std::memcpy(&speed, data, 8);
    std::optional<double> expected = droplevel::oracle::level(speed);
    if (droplevel::full_level_for_speed(speed) != expected) std::abort();
    // The narrow level is the full one's low 32 bits.
    std::int32_t narrow = droplevel::level_for_speed(speed);
    if (!expected) {
        if (narrow != 0) std::abort();
    } else if (*expected < 0x1p63 &&
               static_cast<std::uint32_t>(narrow) != static_cast<std::uint32_t>(static_cast<std::uint64_t>(*expected))) {
        std::abort();
    }
    return 0;
}
