// One speed text to its level text, the slow and plain way: the scanner, the
// bounded decimal form and the full computation, one speed at a time. The
// reference for the programs' faster paths, and the golden cases' check.
#pragma once

#include <optional>
#include <string>

#include <droplevel/level.hpp>

#include "level_text.hpp"
#include "number_scanner.hpp"

namespace droplevel::testing {

// The level's digits; "-" where the speed has no level, "not a number"
// where the text is not one.
inline std::string level_of_text(const std::string& text) {
    number_scanner scanner;
    scanner.scan(text.data(), text.data() + text.size());
    scanner.finish();
    if (scanner.status() != scan_status::complete) return "not a number";
    std::optional<double> speed = to_binary64(scanner.number());
    if (!speed) return "-";
    std::optional<double> level = full_level_for_speed(*speed);
    if (!level) return "-";
    char digits[level_text_capacity];
    return std::string(digits, write_level(digits, *level));
}

}  // namespace droplevel::testing
