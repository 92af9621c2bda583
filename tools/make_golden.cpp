// Writes the golden cases to standard output: speed texts and the output
// that the level sequence defines for them, made by the MPFR reference alone.
//
//   make_golden > tests/golden/levels.tsv
//
// A line is "speed<TAB>level", or "speed<TAB>-" where no level exists. The
// cases are the hardest known: speeds next to level boundaries where exact
// arithmetic, the binary64 formula or the sequence in binary128 give another
// level; long decimal texts on and a hair either side of the midpoint of two
// adjacent doubles of different levels; the first speeds of level 2; speeds
// next to the overflow of the sum; levels beyond 32 and 64 bits.

#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "mpfr_oracle.hpp"

namespace oracle = droplevel::oracle;

namespace {

std::string level_text(std::optional<double> level) {
    if (!level) return "-";
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", *level);  // glibc: every digit, exactly
    return text;
}

std::string speed_text(double speed) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", speed);  // reads back as the same double
    return text;
}

void emit(const std::string& text) {
    double speed = oracle::decimal_to_binary64(text);
    std::printf("%s\t%s\n", text.c_str(), level_text(oracle::level(speed)).c_str());
}

// The decimal text of digits × 10^exponent with a decimal point.
std::string with_point(const std::string& digits, long exponent) {
    return digits.substr(0, 1) + "." + digits.substr(1) + "e" + std::to_string(exponent + long(digits.size()) - 1);
}

}  // namespace

int main() {
    std::mt19937_64 random(2026);
    std::printf("# speed\tlevel (or - for none); made by tools/make_golden from the MPFR reference\n");

    // Boundaries where another way of computing gives another level.
    std::uniform_real_distribution<double> log_level(std::log(2.0), std::log(0x1p52));
    int disagreeing = 0, midpoints = 0;
    std::set<double> seen;
    for (int tries = 0; tries < 4000000 && (disagreeing < 2500 || midpoints < 150); ++tries) {
        double n = std::floor(std::exp(log_level(random)));
        double speed = std::sqrt(98.0 * (n - 1));
        for (int k = 0; k < 4; ++k) speed = std::nextafter(speed, 0.0);
        std::optional<double> previous;
        double previous_speed = 0;
        for (int k = 0; k <= 8; ++k, speed = std::nextafter(speed, INFINITY)) {
            std::optional<double> level = oracle::level(speed);
            volatile double square = speed * speed;
            double binary64 = std::ceil(square / 98 + 1);
            bool differs = oracle::exact_level(speed) != *level || binary64 != *level ||
                           oracle::binary128_level(speed) != level;
            if (differs && disagreeing < 2500 && seen.insert(speed).second) {
                emit(speed_text(speed));
                ++disagreeing;
            }
            if (previous && *previous != *level && midpoints < 150) {
                std::string mid = oracle::exact_midpoint(previous_speed, speed);
                std::string digits = mid.substr(0, mid.find('e'));
                long exponent = std::stol(mid.substr(mid.find('e') + 1));
                std::string below = digits;
                --below.back();
                emit(with_point(digits, exponent));
                emit(with_point(digits + std::string(300, '0') + "1", exponent - 301));
                emit(with_point(below + std::string(300, '9'), exponent - 300));
                ++midpoints;
            }
            previous = level;
            previous_speed = speed;
        }
    }

    // The first speeds of level 2: the sum rounds to 1 + 2^-52 only from
    // v² / 98 just above 2^-53.
    double first = std::sqrt(98.0) * 0x1p-26 / std::sqrt(2.0);
    for (int k = 0; k < 40; ++k) first = std::nextafter(first, 0.0);
    for (int k = 0; k < 80; ++k, first = std::nextafter(first, INFINITY)) emit(speed_text(first));
    // The sum next to the binary64 overflow.
    double huge = std::sqrt(98.0) * 0x1p512 * std::sqrt(1 - 0x1p-54);
    for (int k = 0; k < 20; ++k) huge = std::nextafter(huge, 0.0);
    for (int k = 0; k < 40; ++k, huge = std::nextafter(huge, INFINITY)) emit(speed_text(huge));
    // Levels beyond 32 and 64 bits.
    std::uniform_real_distribution<double> log_speed(std::log(458752.0), std::log(1.3e155));
    for (int i = 0; i < 300; ++i) emit(speed_text(std::exp(log_speed(random))));
    for (const char* text : {"458751.99978637695", "458751.9997863770", "458752", "1000000", "30064771072"}) emit(text);
    return 0;
}
