// The batch program end to end, through real processes.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "level_of_text.hpp"
#include "mpfr_oracle.hpp"
#include "process.hpp"
#include "sanitized.hpp"

namespace droplevel {
namespace {

using testing::child;
using testing::finished;
using testing::run;
using testing::sanitized;

const std::string batch_program = DROPLEVELS_PROGRAM;
const std::string single_program = DROPLEVEL_PROGRAM;

finished run_batch(const std::string& input, std::vector<std::string> arguments = {}) {
    return run(batch_program, {std::move(arguments), input});
}

// A file that lives as long as the test.
class temporary_file {
public:
    explicit temporary_file(const std::string& contents) {
        char name[] = "/tmp/droplevels-test-XXXXXX";
        int fd = mkstemp(name);
        path_ = name;
        EXPECT_EQ(write(fd, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
        close(fd);
    }
    ~temporary_file() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct batch_case {
    std::string input;
    std::string output;
};

TEST(Droplevels, WritesOneLevelPerSpeedInOrder) {
    const batch_case cases[] = {
        {"14 28\n\n  7\r\n1e1\t100\v25\f", "3\n9\n2\n3\n104\n8\n"},
        {"-14 +7 .5 5. 1.4E1 0", "3\n2\n2\n2\n3\n1\n"},
        {"1\r4\r\n", "3\n"},                  // 0x0D is dropped, even inside a token
        {"14\r\n28\r\n", "3\n9\n"},
        {"14\n\x1a" "28\n", "3\n"},           // 0x1A ends the input
        {"458751.99978637695 458752 1000000", "2147483647\n2147483649\n10204081634\n"},
        {"1e-400 -1e-400", "1\n1\n"},
        {"", ""},
        {" \n\t\r\n", ""},
    };
    for (const batch_case& c : cases) {
        SCOPED_TRACE(c.input);
        finished result = run_batch(c.input);
        EXPECT_EQ(result.out, c.output);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, 0);
    }
}

struct error_case {
    std::string input;
    std::string output;  // the levels before the bad token
    std::string message;
};

TEST(Droplevels, StopsAtTheFirstTokenWithoutALevelAndSaysWhereItIs) {
    const error_case cases[] = {
        {"14\n28\n14abc\n7\n", "3\n9\n", "droplevels: -:3: not a number: 14abc\n"},
        {"7 1e\n", "2\n", "droplevels: -:1: not a number: 1e\n"},
        {"\n\n 5 1e+ 5", "2\n", "droplevels: -:3: not a number: 1e+\n"},
        {"+ 5", "", "droplevels: -:1: not a number: +\n"},
        {"inf", "", "droplevels: -:1: not a number: inf\n"},
        {"0x1p3", "", "droplevels: -:1: not a number: 0x1p3\n"},
        {"5 1e400 6", "2\n", "droplevels: -:1: speed out of range: beyond the largest binary64 value: 1e400\n"},
        {"1e200", "", "droplevels: -:1: speed too large: its level is beyond the binary64 range: 1e200\n"},
        {std::string(100, '9') + "x", "",
         "droplevels: -:1: not a number: " + std::string(40, '9') + "\n"},  // cut to 40 characters
        {"12\x1b[31m", "", "droplevels: -:1: not a number: 12\\x1b[31m\n"},  // no raw control bytes
    };
    for (const error_case& c : cases) {
        SCOPED_TRACE(c.input);
        finished result = run_batch(c.input);
        EXPECT_EQ(result.out, c.output);
        EXPECT_EQ(result.err, c.message);
        EXPECT_EQ(result.exit_status, 1);
    }
}

TEST(Droplevels, ReadsTheFilesInTurnAndGoesOnPastOneThatCannotBeOpened) {
    temporary_file first("14\n"), second("28 7\n"), bad("7\nseven\n");
    finished result = run(batch_program, {{first.path(), "/nonexistent/speeds", "-", second.path()}, "100\n"});
    EXPECT_EQ(result.out, "3\n104\n9\n2\n");
    EXPECT_EQ(result.err, "droplevels: /nonexistent/speeds: No such file or directory\n");
    EXPECT_EQ(result.exit_status, 1);

    finished directory = run_batch("", {"/", first.path()});
    EXPECT_EQ(directory.out, "3\n");
    EXPECT_EQ(directory.err, "droplevels: /: Is a directory\n");
    EXPECT_EQ(directory.exit_status, 1);

    // A bad token stops the run: the files after it are not read.
    finished stopped = run_batch("", {bad.path(), first.path()});
    EXPECT_EQ(stopped.out, "2\n");
    EXPECT_EQ(stopped.err, "droplevels: " + bad.path() + ":2: not a number: seven\n");
    EXPECT_EQ(stopped.exit_status, 1);
}

TEST(Droplevels, AnswersEachLineAsItArrivesOnAPipe) {
    child running(batch_program);
    running.write_input("14\n");
    EXPECT_EQ(running.read_output(2, 5000), "3\n");
    running.write_input("28 100\n");
    EXPECT_EQ(running.read_output(8, 5000), "3\n9\n104\n");
    finished result = running.wait();
    EXPECT_EQ(result.exit_status, 0);
}

// The same rules as droplevel, and so the same levels, speed by speed;
// the set holds ordinary speeds, speeds next to boundaries and long texts.
TEST(Droplevels, GivesTheLevelsThatDroplevelGivesForEachSpeed) {
    std::mt19937_64 random(3);
    std::vector<std::string> speeds;
    std::uniform_real_distribution<double> spread(0.0, 2147483646.0);
    std::uniform_real_distribution<double> log_level(0.7, 40);
    for (int i = 0; i < 300; ++i) speeds.push_back(std::to_string(std::sqrt(98.0 * spread(random))));
    for (int i = 0; i < 300; ++i) {
        double boundary = std::sqrt(98.0 * std::floor(std::exp(log_level(random))));
        for (int step = static_cast<int>(random() % 9); step > 0; --step) boundary = std::nextafter(boundary, 0.0);
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", boundary);
        speeds.push_back(text);
    }
    double low = 0x1.3cc8a99af5453p+3;
    std::string midpoint = oracle::exact_midpoint(low, std::nextafter(low, INFINITY));
    std::string digits = midpoint.substr(0, midpoint.find('e'));
    std::string exponent = midpoint.substr(midpoint.find('e'));
    speeds.push_back(digits + exponent);
    speeds.push_back(digits + std::string(70000, '0') + "1" + "e" + std::to_string(std::stol(exponent.substr(1)) - 70001));

    std::string input, expected;
    for (const std::string& speed : speeds) {
        input += speed + "\n";
        expected += run(single_program, {{}, speed + "\n"}).out;
    }
    EXPECT_EQ(run_batch(input).out, expected);
}

// Large inputs are split between two threads; the output must be the same
// as one speed at a time, in order, across many pieces, whatever the tokens
// (the common kind, ones that need the scanner, wide levels, CR LF, long
// texts), and errors and 0x1A must stop it at the same place.
TEST(Droplevels, SplitsLargeInputsWithoutChangingTheOutput) {
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> spread(0.0, 2147483646.0);
    const std::string separators[] = {" ", "\n", "\r\n", "\t", "  \n\n"};
    std::string input, expected;
    std::vector<std::uint64_t> line_of_token;
    std::uint64_t line = 1;
    while (input.size() < (3u << 20)) {
        std::string token;
        switch (random() % 10) {
        case 0: token = "+7"; break;
        case 1: token = "458752"; break;
        case 2: token = "9.8994949366116653416118210694678865499" + std::string(random() % 200, '0') + "1"; break;
        case 3: token = "1\r4"; break;
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", std::sqrt(98.0 * spread(random)));
            token = text;
        }
        }
        input += token;
        expected += testing::level_of_text(token) + "\n";
        line_of_token.push_back(line);
        const std::string& separator = separators[random() % 5];
        input += separator;
        line += static_cast<std::uint64_t>(std::count(separator.begin(), separator.end(), '\n'));
    }
    temporary_file whole(input);
    finished result = run_batch("", {whole.path()});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_TRUE(result.out == expected) << "outputs differ; sizes " << result.out.size() << " and " << expected.size();

    // A bad token and a 0x1A byte late in the input, past the first pieces.
    std::size_t cut_at = input.find('\n', input.size() * 7 / 10) + 1;
    std::size_t tokens_before = static_cast<std::size_t>(std::count(expected.begin(), expected.end(), '\n'));
    std::string levels_before;
    {
        // The levels of the tokens that start before cut_at.
        std::size_t count = 0, at = 0;
        bool in_token = false;
        for (std::size_t i = 0; i < cut_at; ++i) {
            bool separator = input[i] == ' ' || input[i] == '\n' || input[i] == '\t';
            if (!separator && !in_token) ++count;
            in_token = !separator;
        }
        for (std::size_t n = 0; n < count; ++n) at = expected.find('\n', at) + 1;
        levels_before = expected.substr(0, at);
        ASSERT_LT(count, tokens_before);
        std::uint64_t bad_line = 1 + static_cast<std::uint64_t>(std::count(input.begin(), input.begin() + cut_at, '\n'));
        temporary_file bad(input.substr(0, cut_at) + "12x " + input.substr(cut_at));
        finished stopped = run_batch("", {bad.path()});
        EXPECT_EQ(stopped.exit_status, 1);
        EXPECT_TRUE(stopped.out == levels_before) << "sizes " << stopped.out.size() << " and " << levels_before.size();
        EXPECT_EQ(stopped.err, "droplevels: " + bad.path() + ":" + std::to_string(bad_line) + ": not a number: 12x\n");
        temporary_file ended(input.substr(0, cut_at) + "\x1a" + input.substr(cut_at));
        finished short_run = run_batch("", {ended.path()});
        EXPECT_EQ(short_run.exit_status, 0);
        EXPECT_TRUE(short_run.out == levels_before);
    }
}

TEST(Droplevels, ReportsAFailedWrite) {
    finished result = testing::run_with_full_output(batch_program, "14\n28\n");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "droplevels: write error: No space left on device\n");
}

TEST(Droplevels, HasHelpVersionAndRejectsUnknownOptions) {
    finished help = run_batch("", {"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_EQ(help.out.rfind("Usage: droplevels [FILE]...\n", 0), 0u);
    finished version = run_batch("", {"--version"});
    EXPECT_EQ(version.out, "droplevels " DROPLEVEL_VERSION "\n");
    EXPECT_EQ(version.exit_status, 0);
    finished unknown = run_batch("", {"-x"});
    EXPECT_EQ(unknown.exit_status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err.rfind("droplevels: unknown option '-x'\n", 0), 0u);
    // After "--" every argument is a file, even one that looks like an option.
    finished after_dashes = run_batch("", {"--", "--help"});
    EXPECT_EQ(after_dashes.err, "droplevels: --help: No such file or directory\n");
}

// Peak memory, read while the program runs, for a gigabyte of input: of
// speeds, of white space, and in one token.
TEST(Droplevels, KeepsMemoryConstantWhateverTheInputSize) {
    if (sanitized) GTEST_SKIP() << "a sanitizer's shadow memory is no measure of the program's";
    const long limit_kib = 4096;
    int null = open("/dev/null", O_WRONLY);
    std::string block;
    while (block.size() < (1 << 20) - 32) block += "274343.56227217696 14\n";
    auto peak_for = [&](const std::string& before, const std::string& filler, const std::string& after) {
        child running(batch_program, {}, null);
        running.write_input(before);
        for (std::size_t written = 0; written < (std::size_t{1} << 30); written += filler.size()) {
            running.write_input(filler);
        }
        running.write_input(after);
        long peak = running.peak_memory_kib();
        finished result = running.wait();
        EXPECT_EQ(result.exit_status, 0) << result.err;
        return peak;
    };
    EXPECT_LT(peak_for("", block, ""), limit_kib);
    EXPECT_LT(peak_for("", std::string(1 << 20, ' '), "14"), limit_kib);
    EXPECT_LT(peak_for("1", std::string(1 << 20, '0'), "e-1073741824\n"), limit_kib);
    close(null);
}

}  // namespace
}  // namespace droplevel
