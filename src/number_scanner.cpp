#include "number_scanner.hpp"

#include <charconv>
#include <system_error>

namespace droplevel {
namespace {

// The white space that "%lf" skips: space, \t, \n, \v, \f, \r.
constexpr bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void add_integer_digit(decimal_number& number, char digit) {
    if (number.digit_count == 0 && digit == '0') return;
    if (number.digit_count < max_significant_digits) {
        number.digits[number.digit_count++] = digit;
    } else {
        number.nonzero_digit_cut |= digit != '0';
    }
    ++number.point;
}

void add_fraction_digit(decimal_number& number, char digit) {
    if (number.digit_count == 0 && digit == '0') {
        --number.point;
        return;
    }
    if (number.digit_count < max_significant_digits) {
        number.digits[number.digit_count++] = digit;
    } else {
        number.nonzero_digit_cut |= digit != '0';
    }
}

void add_exponent_digit(decimal_number& number, char digit) {
    if (number.exponent < exponent_saturation) number.exponent = number.exponent * 10 + (digit - '0');
}

}  // namespace

std::optional<double> to_binary64(const decimal_number& number) {
    const double zero = number.negative ? -0.0 : 0.0;
    if (number.digit_count == 0) return zero;
    // value = 0.d1… × 10^scale with d1 non-zero, so it lies in
    // [10^(scale−1), 10^scale): beyond 10^309 it exceeds the largest binary64
    // value, below 10^-330 it is under half the smallest subnormal.
    std::int64_t scale = number.point + (number.exponent_negative ? -number.exponent : number.exponent);
    if (scale > 310) return std::nullopt;
    if (scale < -330) return zero;

    // "-0." + digits + sticky digit + "e" + sign and at most 4 exponent digits.
    std::array<char, 3 + max_significant_digits + 1 + 6> text;
    char* out = text.data();
    if (number.negative) *out++ = '-';
    *out++ = '0';
    *out++ = '.';
    for (int i = 0; i < number.digit_count; ++i) *out++ = number.digits[i];
    if (number.nonzero_digit_cut) *out++ = '1';
    *out++ = 'e';
    out = std::to_chars(out, text.data() + text.size(), scale).ptr;

    double value = 0;
    std::from_chars_result result = std::from_chars(text.data(), out, value);
    // from_chars leaves the value alone and says out of range both for a text
    // that rounds to zero and for one beyond the largest value.
    if (result.ec == std::errc::result_out_of_range) {
        if (scale > 0) return std::nullopt;
        return zero;
    }
    return value;
}

template <typename AddDigit>
const char* number_scanner::take_run(const char* p, const char* end, const char* begin, AddDigit add_digit) {
    const char* run = p;
    while (p != end && is_decimal_digit(static_cast<unsigned char>(*p))) add_digit(number_, *p++);
    if (p != run) number_end_ = consumed_ + static_cast<std::uint64_t>(p - begin);
    return p;
}

const char* number_scanner::take_digits(const char* p, const char* end, const char* begin) {
    switch (state_) {
    case state::integer_digits:
        return take_run(p, end, begin, add_integer_digit);
    case state::fraction_digits:
        return take_run(p, end, begin, add_fraction_digit);
    default:
        return take_run(p, end, begin, add_exponent_digit);
    }
}

void number_scanner::end_number() {
    consumed_past_number_ = state_ == state::exponent_mark || state_ == state::exponent_sign;
    status_ = scan_status::complete;
    state_ = state::done;
}

const char* number_scanner::scan(const char* begin, const char* end) {
    const char* p = begin;
    auto reject = [&](unsigned char c) {
        status_ = scan_status::no_number;
        offending_ = c;
        state_ = state::done;
    };

    while (p != end && state_ != state::done) {
        auto c = static_cast<unsigned char>(*p);
        if (c == carriage_return) {
            ++p;
            continue;
        }
        if (c == end_of_file_mark) {
            finish();
            break;
        }
        switch (state_) {
        case state::leading_space:
            if (is_space(c)) {
                ++p;
                break;
            }
            if (c == '+' || c == '-') {
                number_.negative = c == '-';
                state_ = state::sign;
                ++p;
                break;
            }
            [[fallthrough]];
        case state::sign:
            if (c == '.') {
                state_ = state::point_before_digits;
                ++p;
            } else if (is_decimal_digit(c)) {
                state_ = state::integer_digits;
            } else {
                reject(c);
            }
            break;
        case state::point_before_digits:
            if (is_decimal_digit(c)) {
                state_ = state::fraction_digits;
            } else {
                reject(c);
            }
            break;
        case state::integer_digits:
        case state::fraction_digits:
        case state::exponent_digits:
            p = take_digits(p, end, begin);
            if (p == end) break;
            c = static_cast<unsigned char>(*p);
            if (c == '.' && state_ == state::integer_digits) {
                number_end_ = consumed_ + static_cast<std::uint64_t>(p - begin) + 1;
                state_ = state::fraction_digits;
                ++p;
            } else if ((c == 'e' || c == 'E') && state_ != state::exponent_digits) {
                state_ = state::exponent_mark;  // tentative until a digit follows
                ++p;
            } else if (c != carriage_return && c != end_of_file_mark) {
                end_number();
            }
            break;
        case state::exponent_mark:
            if (c == '+' || c == '-') {
                number_.exponent_negative = c == '-';
                state_ = state::exponent_sign;
                ++p;
            } else if (is_decimal_digit(c)) {
                state_ = state::exponent_digits;
            } else {
                end_number();  // "1e" reads as 1: the mark is not part of it
            }
            break;
        case state::exponent_sign:
            if (is_decimal_digit(c)) {
                state_ = state::exponent_digits;
            } else {
                end_number();
            }
            break;
        case state::done:
            break;
        }
    }
    consumed_ += static_cast<std::uint64_t>(p - begin);
    return p;
}

void number_scanner::finish() {
    input_ended_ = true;
    switch (state_) {
    case state::leading_space:
    case state::sign:
    case state::point_before_digits:
        status_ = scan_status::no_number;
        state_ = state::done;
        break;
    case state::integer_digits:
    case state::fraction_digits:
    case state::exponent_mark:
    case state::exponent_sign:
    case state::exponent_digits:
        end_number();
        break;
    case state::done:
        break;
    }
}

}  // namespace droplevel
