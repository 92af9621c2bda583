// Drives the reader with arbitrary bytes and compares it with a plain
// reference written here: the whole input buffered, the 0x0D and 0x1A rules
// applied, the longest prefix of the grammar found by a simple scanner, and
// strtod for the conversion. They must agree on whether there is a number,
// on its binary64 bits, and on where it ends.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "number_scanner.hpp"

namespace {

struct reading {
    bool number = false;
    std::optional<double> value;  // empty: beyond the binary64 range
    std::uint64_t end = 0;        // raw offset just past the number
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

reading reference(const std::uint8_t* data, std::size_t size) {
    std::string text;                 // the input as the grammar sees it
    std::vector<std::uint64_t> raw;   // raw offset of each character of text
    for (std::size_t i = 0; i < size && data[i] != 0x1A; ++i) {
        if (data[i] == 0x0D) continue;
        text += static_cast<char>(data[i]);
        raw.push_back(i);
    }
    std::size_t p = 0;
    while (p < text.size() && std::strchr(" \t\n\v\f", text[p]) != nullptr && text[p] != '\0') ++p;
    std::size_t start = p;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
    std::size_t digits = 0;
    while (p < text.size() && is_digit(text[p])) ++p, ++digits;
    if (p < text.size() && text[p] == '.') {
        ++p;
        while (p < text.size() && is_digit(text[p])) ++p, ++digits;
    }
    if (digits == 0) return {};
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < text.size() && (text[q] == '+' || text[q] == '-')) ++q;
        if (q < text.size() && is_digit(text[q])) {
            while (q < text.size() && is_digit(text[q])) ++q;
            p = q;
        }
    }
    std::string number = text.substr(start, p - start);
    errno = 0;
    double value = std::strtod(number.c_str(), nullptr);
    reading result{true, value, raw[p - 1] + 1};
    if (std::isinf(value)) result.value = std::nullopt;
    return result;
}

reading under_test(const std::uint8_t* data, std::size_t size) {
    // In two pieces, split where the first byte says, to exercise the
    // streaming as well.
    droplevel::number_scanner scanner;
    const char* bytes = reinterpret_cast<const char*>(data);
    std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
    scanner.scan(bytes, bytes + split);
    if (scanner.status() == droplevel::scan_status::need_more && !scanner.input_ended()) {
        scanner.scan(bytes + split, bytes + size);
    }
    if (scanner.status() == droplevel::scan_status::need_more) scanner.finish();
    if (scanner.status() != droplevel::scan_status::complete) return {};
    return {true, droplevel::to_binary64(scanner.number()), scanner.number_end()};
}

bool same(std::optional<double> a, std::optional<double> b) {
    if (!a || !b) return !a && !b;
    std::uint64_t x, y;
    std::memcpy(&x, &*a, 8);
    std::memcpy(&y, &*b, 8);
    return x == y;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reading expected = reference(data, size);
    reading got = under_test(data, size);
    if (expected.number != got.number || expected.end != got.end || !same(expected.value, got.value)) {
        std::abort();
    }
    return 0;
}
