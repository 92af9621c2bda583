// droplevel: reads one speed from standard input and writes its level.

#include <cstring>
#include <optional>

#include <unistd.h>

#include <droplevel/level.hpp>

#include "error_report.hpp"
#include "level_text.hpp"
#include "platform.hpp"
#include "speed_reader.hpp"
#include "write_all.hpp"

namespace droplevel {
namespace {

constexpr std::string_view program = "droplevel";

int run() {
    use_binary_standard_streams();
    speed_reading reading = read_speed(STDIN_FILENO);
    switch (reading.outcome) {
    case read_outcome::speed:
        break;
    case read_outcome::no_number:
        if (reading.offending_byte) {
            report_error(program, {"expected a number, found ", describe_byte(*reading.offending_byte).view()});
        } else {
            report_error(program, {"expected a number, found the end of the input"});
        }
        return 1;
    case read_outcome::out_of_range:
        report_error(program, {"speed out of range: beyond the largest binary64 value"});
        return 1;
    case read_outcome::read_error:
        report_error(program, {"error reading standard input: ", std::strerror(reading.error_number)});
        return 1;
    }

    std::optional<double> level = full_level_for_speed(reading.speed);
    if (!level) {
        report_error(program, {"speed too large: its level is beyond the binary64 range"});
        return 1;
    }
    char line[level_line_capacity];
    char* end = write_level_line(line, *level);
    if (int error = write_all(STDOUT_FILENO, line, static_cast<std::size_t>(end - line))) {
        report_error(program, {"write error: ", std::strerror(error)});
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace droplevel

int main() { return droplevel::run(); }
