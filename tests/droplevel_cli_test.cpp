// The program end to end, through real processes.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "mpfr_oracle.hpp"
#include "process.hpp"
#include "sanitized.hpp"

namespace droplevel {
namespace {

using testing::child;
using testing::finished;
using testing::run;
using testing::sanitized;

const std::string program = DROPLEVEL_PROGRAM;

finished run_on(const std::string& input, std::vector<std::string> arguments = {}) {
    return run(program, {std::move(arguments), input});
}

struct answer_case {
    std::string input;
    std::string output;
};

TEST(Droplevel, AnswersWithOneLevelLine) {
    const answer_case cases[] = {
        {"14\n", "3\n"},
        {" \t\n\n\v\f\r  7", "2\n"},
        {"14 28", "3\n"},
        {"14abc", "3\n"},
        {"+7", "2\n"},
        {"-14", "3\n"},
        {".5", "2\n"},
        {"5.", "2\n"},
        {"1e1", "3\n"},
        {"1.4E1", "3\n"},
        {"1e", "2\n"},
        {"1e+", "2\n"},
        {"0x1p3", "1\n"},
        {"1e-400", "1\n"},
        {"458751.99978637695", "2147483647\n"},
        {"458752", "2147483649\n"},
        {"1000000", "10204081634\n"},
        {"1\r4\r\n", "3\n"},
        {"\r\n14\x1a", "3\n"},
        {"1\x1a" "4", "2\n"},
    };
    for (const answer_case& c : cases) {
        SCOPED_TRACE(c.input);
        finished result = run_on(c.input);
        EXPECT_EQ(result.out, c.output);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, 0);
    }
}

TEST(Droplevel, IgnoresItsArguments) {
    finished result = run_on("14\n", {"--help", "-x", "25"});
    EXPECT_EQ(result.out, "3\n");
    EXPECT_EQ(result.exit_status, 0);
}

TEST(Droplevel, WritesEveryDigitOfLevelsBeyondSixtyFourBits) {
    // glibc's printf shows the exact integer; the reference is MPFR's level.
    for (const char* speed : {"1e150", "3.5e12", "1.3272e155"}) {
        SCOPED_TRACE(speed);
        std::optional<double> level = oracle::level(std::strtod(speed, nullptr));
        ASSERT_TRUE(level);
        char expected[400];
        std::snprintf(expected, sizeof expected, "%.0f\n", *level);
        EXPECT_EQ(run_on(speed).out, expected);
    }
}

TEST(Droplevel, ReportsInputWithoutALevelAndWritesNothing) {
    const std::string inputs[] = {"", "   \n\t\n", "abc", "+", ".", "-e5", "inf", "nan", "\x1a" "14",
                                  "1e400", "-1.8e308", "1e200", "1.3274e155"};
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        finished result = run_on(input);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.err.rfind("droplevel: ", 0), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
    }
}

// The midpoint of 0x1.3cc8a99af5453p+3 (level 2) and the next double up
// (level 3), and texts a hair either side of it, in full decimal.
TEST(Droplevel, ReadsLongTextsAtALevelBoundaryCorrectlyRounded) {
    double low = 0x1.3cc8a99af5453p+3, high = std::nextafter(low, INFINITY);
    ASSERT_EQ(oracle::level(low), 2.0);
    ASSERT_EQ(oracle::level(high), 3.0);
    std::string midpoint = oracle::exact_midpoint(low, high);  // digits "e" exponent
    std::size_t e = midpoint.find('e');
    std::string digits = midpoint.substr(0, e);
    long exponent = std::stol(midpoint.substr(e + 1));
    long point = static_cast<long>(digits.size()) + exponent;  // digits before the point
    auto text = [&](const std::string& all) { return all.substr(0, point) + "." + all.substr(point); };
    std::string below = digits;
    --below.back();
    const answer_case cases[] = {
        {text(digits) + "\n", "3\n"},  // a tie: to even, 0x1.3cc8a99af5454p+3
        {text(digits + std::string(5000, '0') + "1"), "3\n"},
        {text(below + std::string(5000, '9')), "2\n"},
        {text(digits + std::string(2'000'000, '0')), "3\n"},
    };
    for (const answer_case& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 40));
        EXPECT_EQ(run_on(c.input).out, c.output);
    }
}

TEST(Droplevel, AnswersAsSoonAsTheNumberEndsWithoutWaitingForTheInputToEnd) {
    child running(program);
    running.write_input("14\n");
    EXPECT_EQ(running.read_output(2, 5000), "3\n");  // the input is still open
    finished result = running.wait();
    EXPECT_EQ(result.exit_status, 0);
}

class SeekableInput : public ::testing::Test {
protected:
    int open_file(const std::string& contents) {
        char name[] = "/tmp/droplevel-test-XXXXXX";
        int fd = mkstemp(name);
        unlink(name);
        EXPECT_EQ(write(fd, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
        lseek(fd, 0, SEEK_SET);
        return fd;
    }
    std::string rest(int fd) {
        std::string text;
        char buffer[256];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }
};

TEST_F(SeekableInput, LeavesTheOffsetJustPastTheNumber) {
    int fd = open_file("14 28");
    EXPECT_EQ(run(program, {{}, "", fd}).out, "3\n");
    EXPECT_EQ(run(program, {{}, "", fd}).out, "9\n");
    close(fd);

    const std::pair<std::string, std::string> cases[] = {
        {"7abc", "abc"}, {"1e+x", "e+x"}, {"1\r4\r\nnext", "\r\nnext"}, {"  5.5e1 ", " "}};
    for (const auto& [contents, left] : cases) {
        SCOPED_TRACE(contents);
        fd = open_file(contents + std::string(100000, ' '));
        run(program, {{}, "", fd});
        EXPECT_EQ(rest(fd), left + std::string(100000, ' '));
        close(fd);
    }
}

TEST(Droplevel, ReportsAFailedWrite) {
    finished result = testing::run_with_full_output(program, "14\n");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "droplevel: write error: No space left on device\n");
}

TEST(Droplevel, ReportsAFailedRead) {
    int directory = open("/", O_RDONLY | O_DIRECTORY);
    finished result = run(program, {{}, "", directory});
    close(directory);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "droplevel: error reading standard input: Is a directory\n");
}

// The program's own peak, read while it runs: a gigabyte before the end of
// the number costs no more memory than two bytes.
TEST(Droplevel, KeepsMemoryConstantWhateverTheInputSize) {
    if (sanitized) GTEST_SKIP() << "a sanitizer's shadow memory is no measure of the program's";
    auto peak_after = [](char filler, const std::string& before, const std::string& after) {
        child running(program);
        running.write_input(before);
        const std::string block(1 << 20, filler);
        for (int i = 0; i < 1024; ++i) running.write_input(block);
        running.write_input(after);
        long peak = running.peak_memory_kib();
        finished result = running.wait();
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.out, "3\n");
        return peak;
    };
    child small(program);
    small.write_input("14");
    long baseline = small.peak_memory_kib();
    small.wait();
    ASSERT_GT(baseline, 0);
    EXPECT_LT(peak_after(' ', "", "14") - baseline, 1024);
    EXPECT_LT(peak_after('0', "", "14") - baseline, 1024);
    EXPECT_LT(peak_after('9', "13.", "\n") - baseline, 1024);  // just under 14
}

}  // namespace
}  // namespace droplevel
