#include <droplevel/level.hpp>

#include <array>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hex_text.hpp"
#include "mpfr_oracle.hpp"
#include "x87_sequence.hpp"

namespace droplevel {
namespace {

using testing::hex;

oracle::scaled_significand to_scaled(magnitude x) {
    if (x.significand == 0) return {0, 0};
    return {x.significand, x.exponent - 63};
}

struct level_case {
    double speed;
    double level;
};

TEST(LevelForSpeed, GivesTheLevelsOfTheDefiningSequence) {
    const level_case cases[] = {
        {0.0, 1},
        {-0.0, 1},
        {1.0, 2},
        {7.0, 2},
        {0x1.399999999999ap+3, 2},  // 9.8
        {10.0, 3},
        {14.0, 3},  // exact boundary: the sum rounds to 3.0 before the ceiling
        {-14.0, 3},
        {0x1.399999999999ap+4, 5},  // 19.6
        {25.0, 8},
        {100.0, 104},
        {0x1.3cc8a99af5454p+3, 3},  // plain binary64 gives 2
        {0x1.3cc8a99af5453p+3, 2},  // exact arithmetic gives 3
        {0x1.1257c5187fd09p+5, 13},  // exact, binary64 and a ceiling of the extended sum give 14
        {0x1.1d8b8b32fe9f8p+5, 15},  // binary64 gives 14
        {0x1.73764417dc14ep+5, 23},  // exact and binary64 give 24
        {0x1.bffffffc8p+18, 2147483647},  // the largest level that fits 32 bits
    };
    for (const level_case& c : cases) {
        SCOPED_TRACE(hex(c.speed));
        EXPECT_EQ(level_for_speed(c.speed), static_cast<std::int32_t>(c.level));
        EXPECT_EQ(full_level_for_speed(c.speed), c.level);
    }
}

TEST(LevelForSpeed, BeyondThirtyTwoBitsTheFullLevelIsExactAndTheNarrowOneWraps) {
    struct wide_case {
        double speed;
        double full_level;
        std::int32_t narrow_level;
    };
    const wide_case cases[] = {
        {std::nextafter(largest_32_bit_speed, INFINITY), 2147483648.0, INT32_MIN},
        {458752.0, 2147483649.0, -2147483647},
        {1e6, 10204081634.0, 1614147042},
        {-1e6, 10204081634.0, 1614147042},
    };
    for (const wide_case& c : cases) {
        SCOPED_TRACE(hex(c.speed));
        EXPECT_EQ(full_level_for_speed(c.speed), c.full_level);
        EXPECT_EQ(level_for_speed(c.speed), c.narrow_level);
    }
}

TEST(LevelForSpeed, HasNoLevelWhereTheSumLeavesBinary64OrTheSpeedIsNotFinite) {
    for (double speed : std::initializer_list<double>{DBL_MAX, -DBL_MAX, 1e300, 0x1.8p+520, INFINITY, -INFINITY, NAN}) {
        SCOPED_TRACE(hex(speed));
        EXPECT_EQ(full_level_for_speed(speed), std::nullopt);
        EXPECT_EQ(level_for_speed(speed), 0);
    }
}

// The constants' memory images: the significand's 8 bytes little-endian, then
// the sign-and-exponent word.
TEST(Constants, MatchTheirMemoryImages) {
    auto image = [](extended x) {
        std::array<unsigned char, 10> bytes{};
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(x.significand >> (8 * i));
        bytes[8] = static_cast<unsigned char>(x.sign_exponent);
        bytes[9] = static_cast<unsigned char>(x.sign_exponent >> 8);
        return bytes;
    };
    using bytes = std::array<unsigned char, 10>;
    EXPECT_EQ(image(recip_19_6), (bytes{0x6E, 0x3A, 0x34, 0xD6, 0x87, 0xC6, 0xFA, 0xD0, 0xFA, 0x3F}));
    EXPECT_EQ(image(recip_5), (bytes{0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFC, 0x3F}));
}

TEST(Constants, AreTheRoundedReciprocalsTheyStandFor) {
    EXPECT_EQ(to_scaled(magnitude_of(recip_19_6)), oracle::recip_19_6());
    EXPECT_EQ(to_scaled(magnitude_of(recip_5)), oracle::recip_5());
    // Not the extended value nearest to 5/98.
    EXPECT_NE(recip_19_6.significand, 0xD0FAC687D6343EB2u);
}

// The speeds where a computation that strays from the sequence shows it.
std::vector<double> hard_speeds() {
    std::vector<double> speeds;
    std::mt19937_64 random(20261211);
    auto around = [&](double centre, int steps) {
        double below = centre, above = centre;
        speeds.push_back(centre);
        for (int i = 0; i < steps; ++i) {
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, INFINITY);
            speeds.push_back(below);
            speeds.push_back(above);
        }
    };
    // Level boundaries √(98 (N − 1)), N spread over the 32-bit range and beyond.
    std::uniform_real_distribution<double> log_level(std::log(2.0), std::log(0x1p62));
    for (int i = 0; i < 20000; ++i) {
        double n = std::floor(std::exp(log_level(random)));
        around(std::sqrt(98.0 * (n - 1)), 4);
    }
    for (double n = 2; n < 3000; ++n) around(std::sqrt(98.0 * (n - 1)), 4);
    // The addition of 1 rounding near a tie (step sum 1 + 2^-64) and the
    // rounding to binary64 near one (1 + 2^-53): the first speeds of level 2.
    around(std::sqrt(98.0) * 0x1p-32, 2000);
    around(std::sqrt(98.0) * 0x1p-26 / std::sqrt(2.0), 2000);
    // The sum overflowing binary64: 2^1024 − 2^970 is the rounding threshold.
    around(std::sqrt(98.0) * 0x1p512 * std::sqrt(1 - 0x1p-54), 2000);
    around(largest_32_bit_speed, 100);
    // Ordinary speeds, where the sum is far from an integer, and sums just
    // inside and outside a short cut's margins of 2^-19 and 2^-27 around one.
    std::uniform_real_distribution<double> ordinary(8.0, 0x1p19);
    for (int i = 0; i < 200000; ++i) speeds.push_back(ordinary(random));
    for (double margin : {0x1p-18, 0x1p-19, 0x1p-20, -0x1p-26, -0x1p-27, -0x1p-28}) {
        for (int i = 0; i < 5000; ++i) {
            double n = std::floor(std::exp(log_level(random) * 0.6));
            speeds.push_back(std::sqrt(98.0 * (n - 1 + margin)));
        }
    }
    // Whole range, subnormals and extremes included.
    for (double speed : std::initializer_list<double>{0x1p-1074, 0x1p-1022, 0x1.fffffffffffffp-1023, DBL_MIN, DBL_MAX, 0x1p-540}) {
        speeds.push_back(speed);
    }
    for (int i = 0; i < 200000; ++i) {
        double speed;
        std::uint64_t bits = random();
        std::memcpy(&speed, &bits, sizeof speed);
        if (std::isfinite(speed)) speeds.push_back(speed);
    }
    return speeds;
}

// Compares against a reference and lists the first few disagreements.
template <typename Reference>
void expect_agreement(const std::vector<double>& speeds, Reference reference) {
    int mismatches = 0;
    for (double speed : speeds) {
        std::optional<double> expected = reference(speed);
        std::optional<double> actual = full_level_for_speed(speed);
        if (actual != expected && ++mismatches <= 10) {
            ADD_FAILURE() << "speed " << hex(speed) << ": got " << (actual ? std::to_string(*actual) : "none")
                          << ", expected " << (expected ? std::to_string(*expected) : "none");
        }
    }
    EXPECT_EQ(mismatches, 0) << "of " << speeds.size() << " speeds";
}

TEST(LevelForSpeed, AgreesWithMpfrOnHardAndRandomSpeeds) {
    expect_agreement(hard_speeds(), oracle::level);
}

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
// The x87 precision control: bits 8 and 9 of the control word.
unsigned short x87_control_word() {
    unsigned short word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}
void set_x87_control_word(unsigned short word) { __asm__ volatile("fldcw %0" : : "m"(word)); }
#endif

// The caller's floating-point state must not reach the answer: the
// arithmetic is integer-only, so every rounding mode, and an x87 unit set to
// 53-bit precision, give the same levels.
TEST(LevelForSpeed, IgnoresTheCallersRoundingModeAndPrecision) {
    std::vector<double> speeds = hard_speeds();
    speeds.resize(100000);
    std::vector<std::optional<double>> expected;
    for (double speed : speeds) expected.push_back(full_level_for_speed(speed));
    auto expect_same = [&](const char* setting) {
        int differences = 0;
        for (std::size_t i = 0; i < speeds.size(); ++i) differences += full_level_for_speed(speeds[i]) != expected[i];
        EXPECT_EQ(differences, 0) << setting;
    };
    const std::pair<int, const char*> modes[] = {
        {FE_UPWARD, "upward"}, {FE_DOWNWARD, "downward"}, {FE_TOWARDZERO, "toward zero"}, {FE_TONEAREST, "nearest"}};
    for (const auto& [mode, name] : modes) {
        ASSERT_EQ(std::fesetround(mode), 0);
        expect_same(name);
    }
    std::fesetround(FE_TONEAREST);
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
    unsigned short saved = x87_control_word();
    set_x87_control_word(static_cast<unsigned short>((saved & ~0x300) | 0x200));  // 53-bit precision
    expect_same("x87 precision 53 bits");
    set_x87_control_word(saved);
#endif
}

#ifdef DROPLEVEL_HAS_X87
TEST(LevelForSpeed, AgreesWithTheX87Unit) {
    expect_agreement(hard_speeds(), testing::x87_level);
}
#endif

TEST(ExtendedArithmetic, RoundsProductsAndSumsAsMpfrDoes) {
    std::mt19937_64 random(7);
    auto random_significand = [&] { return random() | (std::uint64_t{1} << 63); };
    // Significands whose rounding sits on or next to a tie, or carries.
    const std::uint64_t top = std::uint64_t{1} << 63;
    const std::uint64_t special[] = {top, top + 1, ~std::uint64_t{0}, ~std::uint64_t{0} - 1, top | 0x400, top | 0x3FF};
    int mismatches = 0;
    auto check = [&](magnitude got, oracle::scaled_significand expected, const char* what, magnitude a, magnitude b) {
        if (to_scaled(got) != expected && ++mismatches <= 10) {
            ADD_FAILURE() << what << " of " << std::hex << a.significand << "×2^" << std::dec << a.exponent << " and "
                          << std::hex << b.significand << "×2^" << std::dec << b.exponent;
        }
    };
    for (int i = 0; i < 100000; ++i) {
        magnitude a{random_significand(), static_cast<int>(random() % 200) - 100};
        magnitude b{random_significand(), static_cast<int>(random() % 200) - 100};
        check(multiply(a, b), oracle::multiply(to_scaled(a), to_scaled(b)), "product", a, b);
    }
    for (int distance = 0; distance < 140; ++distance) {
        for (std::uint64_t smaller : special) {
            for (std::uint64_t larger : special) {
                magnitude a{larger, 0}, b{smaller, -distance};
                check(add(a, b), oracle::add(to_scaled(a), to_scaled(b)), "sum", a, b);
                check(add(b, a), oracle::add(to_scaled(a), to_scaled(b)), "sum", b, a);
            }
            magnitude a{random_significand(), 0}, b{random_significand(), -distance};
            check(add(a, b), oracle::add(to_scaled(a), to_scaled(b)), "sum", a, b);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace droplevel
