#include "number_scanner.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "hex_text.hpp"
#include "mpfr_oracle.hpp"

namespace droplevel {
namespace {

using testing::hex;

struct scanned {
    scan_status status;
    std::uint64_t end;           // number_end for a number
    std::optional<double> value;  // empty for out of range
};

// Feeds `text` in pieces of `piece` bytes, then the end of input.
scanned scan_text(const std::string& text, std::size_t piece = SIZE_MAX) {
    number_scanner scanner;
    std::size_t at = 0;
    while (scanner.status() == scan_status::need_more && at < text.size()) {
        std::size_t size = std::min(piece, text.size() - at);
        const char* stop = scanner.scan(text.data() + at, text.data() + at + size);
        at = static_cast<std::size_t>(stop - text.data());
        if (scanner.input_ended()) break;
    }
    if (scanner.status() == scan_status::need_more) scanner.finish();
    if (scanner.status() != scan_status::complete) return {scanner.status(), 0, std::nullopt};
    return {scan_status::complete, scanner.number_end(), to_binary64(scanner.number())};
}

struct grammar_case {
    std::string text;
    std::optional<double> value;  // empty: no number
    std::uint64_t end;            // bytes that belong to the number
};

const grammar_case grammar_cases[] = {
    {"14\n", 14.0, 2},
    {" \t\n\v\f\r\n\n7", 7.0, 9},
    {"14 28", 14.0, 2},
    {"14abc", 14.0, 2},
    {"+7", 7.0, 2},
    {"-14", -14.0, 3},
    {".5", 0.5, 2},
    {"5.", 5.0, 2},
    {"5.e1", 50.0, 4},
    {"1e1", 10.0, 3},
    {"1.4E1", 14.0, 5},
    {"1e", 1.0, 1},
    {"1e+", 1.0, 1},
    {"1e-x", 1.0, 1},
    {"1e+5", 1e5, 4},
    {"12.5e-1z", 1.25, 7},
    {"1.2.3", 1.2, 3},
    {"0x1p3", 0.0, 1},
    {"00014", 14.0, 5},
    {"0.000", 0.0, 5},
    {"0e999999999999999999999999", 0.0, 26},
    {"1\r4", 14.0, 3},
    {"1\r\re\r2", 100.0, 6},
    {"\r\n\r14", 14.0, 5},
    {"14\x1a" "5", 14.0, 2},
    {"1e\x1a" "5", 1.0, 1},
    {"1e-400", 0.0, 6},
    {"2e-324", 0.0, 6},
    {"3e-324", 0x1p-1074, 6},
    {"1.7976931348623158e308", DBL_MAX, 22},
    {"1e-99999999999999999999999999", 0.0, 29},
    {"", std::nullopt, 0},
    {" \n\t ", std::nullopt, 0},
    {"+", std::nullopt, 0},
    {"-", std::nullopt, 0},
    {".", std::nullopt, 0},
    {"+.", std::nullopt, 0},
    {"-e5", std::nullopt, 0},
    {"e5", std::nullopt, 0},
    {"inf", std::nullopt, 0},
    {"nan", std::nullopt, 0},
    {"abc", std::nullopt, 0},
    {"+ 5", std::nullopt, 0},
    {"\x1a" "14", std::nullopt, 0},
    {"\r\r", std::nullopt, 0},
};

TEST(NumberScanner, TakesTheLongestPrefixOfTheGrammar) {
    for (const grammar_case& c : grammar_cases) {
        SCOPED_TRACE(c.text);
        scanned result = scan_text(c.text);
        if (!c.value) {
            EXPECT_EQ(result.status, scan_status::no_number);
            continue;
        }
        ASSERT_EQ(result.status, scan_status::complete);
        EXPECT_EQ(result.end, c.end);
        ASSERT_TRUE(result.value);
        EXPECT_EQ(hex(*result.value), hex(*c.value));
        EXPECT_EQ(std::signbit(*result.value), std::signbit(*c.value));
    }
}

TEST(NumberScanner, GivesTheSameAnswerWhateverPiecesTheInputArrivesIn) {
    for (const grammar_case& c : grammar_cases) {
        scanned whole = scan_text(c.text);
        for (std::size_t piece = 1; piece < 4; ++piece) {
            SCOPED_TRACE(c.text + " in pieces of " + std::to_string(piece));
            scanned pieces = scan_text(c.text, piece);
            EXPECT_EQ(pieces.status, whole.status);
            EXPECT_EQ(pieces.end, whole.end);
            EXPECT_EQ(pieces.value, whole.value);
        }
    }
}

TEST(NumberScanner, ReportsTheByteThatCannotBeginANumber) {
    number_scanner scanner;
    const std::string text = "  -e5";
    const char* stop = scanner.scan(text.data(), text.data() + text.size());
    EXPECT_EQ(scanner.status(), scan_status::no_number);
    EXPECT_EQ(scanner.offending_byte(), static_cast<unsigned char>('e'));
    EXPECT_EQ(stop - text.data(), 3);

    number_scanner at_end;
    at_end.finish();
    EXPECT_EQ(at_end.status(), scan_status::no_number);
    EXPECT_EQ(at_end.offending_byte(), std::nullopt);
}

TEST(NumberScanner, TellsValuesBeyondTheRangeFromValuesThatRoundToZero) {
    for (const char* text : {"1e400", "1.7976931348623159e308", "-1e309", "1e99999999999999999999"}) {
        SCOPED_TRACE(text);
        scanned result = scan_text(text);
        ASSERT_EQ(result.status, scan_status::complete);
        EXPECT_EQ(result.value, std::nullopt);
    }
    scanned negative_tiny = scan_text("-1e-400");
    ASSERT_TRUE(negative_tiny.value);
    EXPECT_EQ(*negative_tiny.value, 0.0);
    EXPECT_TRUE(std::signbit(*negative_tiny.value));
}

// `digits` × 10^exponent as a plain decimal text with a point somewhere inside.
std::string as_decimal(const std::string& digits, long exponent) {
    return digits.substr(0, 1) + "." + digits.substr(1) + "e" + std::to_string(exponent + long(digits.size()) - 1);
}

// Texts on and next to the midpoints of adjacent doubles, where a
// conversion that reads too few digits rounds the wrong way.
TEST(DecimalConversion, RoundsMidpointsAndTextsAHairAwayAsMpfrDoes) {
    std::mt19937_64 random(11);
    std::vector<double> lows = {0x1p-1074, 0x1.fffffffffffffp-1023, 0x1p-1022, 0x1.3cc8a99af5453p+3, 1.0,
                                0x1.fffffffffffffp+1023 / 2, 0x1.ffffffffffffep+1023};
    for (int i = 0; i < 300; ++i) {
        double value;
        std::uint64_t bits = random() & 0x7FEFFFFFFFFFFFFF;
        std::memcpy(&value, &bits, sizeof value);
        lows.push_back(value);
    }
    int checked = 0;
    for (double low : lows) {
        double high = std::nextafter(low, INFINITY);
        if (std::isinf(high)) continue;
        std::string midpoint = oracle::exact_midpoint(low, high);
        std::size_t e = midpoint.find('e');
        std::string digits = midpoint.substr(0, e);
        long exponent = std::stol(midpoint.substr(e + 1));
        // A hair above: one more digit, far down. A hair below: the last
        // digit (never 0) lowered and a run of nines after it.
        std::string above = digits + std::string(1000, '0') + "1";
        std::string below = digits;
        --below.back();
        below += std::string(1000, '9');
        const std::pair<std::string, double> texts[] = {
            {as_decimal(digits, exponent), oracle::decimal_to_binary64(as_decimal(digits, exponent))},
            {as_decimal(above, exponent - 1001), high},
            {as_decimal(below, exponent - 1000), low},
        };
        for (const auto& [text, expected] : texts) {
            SCOPED_TRACE(text.substr(0, 60) + "… (" + std::to_string(text.size()) + " bytes)");
            scanned result = scan_text(text);
            ASSERT_TRUE(result.value);
            EXPECT_EQ(hex(*result.value), hex(expected));
            EXPECT_EQ(*result.value, oracle::decimal_to_binary64(text));
            ++checked;
        }
    }
    EXPECT_GT(checked, 900);
}

TEST(DecimalConversion, RoundsLongRandomTextsAsMpfrDoes) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 3000; ++i) {
        std::string text = (random() % 2) ? "-" : "";
        std::size_t integer_digits = random() % 400, fraction_digits = random() % 1200;
        for (std::size_t d = 0; d < integer_digits; ++d) text += static_cast<char>('0' + random() % 10);
        text += '.';
        for (std::size_t d = 0; d < fraction_digits + 1; ++d) text += static_cast<char>('0' + random() % 10);
        text += 'e';
        text += std::to_string(static_cast<long>(random() % 1400) - 1000);
        SCOPED_TRACE(text);
        scanned result = scan_text(text);
        ASSERT_EQ(result.end, text.size());
        double expected = oracle::decimal_to_binary64(text);
        if (std::isinf(expected)) {
            EXPECT_EQ(result.value, std::nullopt);
        } else {
            ASSERT_TRUE(result.value);
            EXPECT_EQ(hex(*result.value), hex(expected));
        }
    }
}

TEST(DecimalConversion, ReadsAMillionDigitTextCorrectlyRounded) {
    // 9.899494936611665… and 9.899494936611667… straddle the boundary of
    // levels 2 and 3; the midpoint of the two doubles is the hard case.
    double low = 0x1.3cc8a99af5453p+3, high = std::nextafter(low, INFINITY);
    std::string midpoint = oracle::exact_midpoint(low, high);
    std::size_t e = midpoint.find('e');
    std::string digits = midpoint.substr(0, e);
    long exponent = std::stol(midpoint.substr(e + 1));
    std::string on = as_decimal(digits + std::string(1'000'000, '0'), exponent - 1'000'000);
    std::string above = as_decimal(digits + std::string(1'000'000, '0') + "1", exponent - 1'000'001);
    EXPECT_EQ(scan_text(on).value, oracle::decimal_to_binary64(on));
    EXPECT_EQ(scan_text(above).value, high);
    EXPECT_EQ(scan_text(std::string(1'000'000, '0') + "14").value, 14.0);
    EXPECT_EQ(scan_text("0." + std::string(1'000'000, '0') + "14e1000002").value, 14.0);
}

}  // namespace
}  // namespace droplevel
