// The speed grammar, scanned from a stream of bytes in pieces of any size.
//
//   white space*  [+-]  digits with at most one '.', at least one digit
//                 [ (e|E) [+-] digits ]
//
// The number is the longest prefix of the input that matches; the byte that
// ends it is left unconsumed. As on a text stream under Windows, every 0x0D
// byte is dropped before the grammar sees the text, and 0x1A ends the input.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace droplevel {

inline constexpr unsigned char carriage_return = 0x0D;
inline constexpr unsigned char end_of_file_mark = 0x1A;

constexpr bool is_decimal_digit(unsigned char c) { return static_cast<unsigned>(c - '0') < 10u; }

// The longest midpoint between two adjacent binary64 values,
// (2^54 − 1) × 2^-1075, has 768 significant digits, and every binary64 value
// has fewer. Truncating a decimal text to its first 768 significant digits and
// appending one non-zero digit when anything non-zero was cut leaves it on the
// same side of every binary64 value and every midpoint, so the rounding of
// that bounded form is the rounding of the whole text.
inline constexpr int max_significant_digits = 768;

// Sign, significant digits and decimal exponent of a scanned number:
// value = 0.d1 d2 … × 10^(point + exponent), with d1 non-zero.
struct decimal_number {
    std::array<char, max_significant_digits> digits;
    int digit_count = 0;
    bool nonzero_digit_cut = false;
    bool negative = false;
    bool exponent_negative = false;
    std::int64_t point = 0;     // bounded by the input's length
    std::int64_t exponent = 0;  // saturates: beyond it every value is 0 or out of range
};

inline constexpr std::int64_t exponent_saturation = 1'000'000'000'000'000;

// The number correctly rounded to binary64, to nearest-even; a value that
// rounds below the smallest subnormal gives a zero of its sign. Empty when
// the value rounds beyond the largest finite binary64 value.
std::optional<double> to_binary64(const decimal_number& number);

enum class scan_status : std::uint8_t {
    need_more,  // every byte given so far may still be part of a number
    complete,   // a number ended; see number_end
    no_number,  // the input cannot begin with a number; see offending_byte
};

class number_scanner {
public:
    // Scans [begin, end) and returns where it stopped: at end when it needs
    // more, else at the first byte not consumed (the one that ends or spoils
    // the number). Once the status is not need_more, further calls do nothing.
    const char* scan(const char* begin, const char* end);

    // The input ended (end of file, or a 0x1A byte was met by scan).
    void finish();

    scan_status status() const { return status_; }
    bool input_ended() const { return input_ended_; }
    const decimal_number& number() const { return number_; }

    // Offset, counted from the first byte ever scanned, just past the last
    // byte that belongs to the number; bytes after it (the "e" of "1e", say)
    // were looked at but are not part of it.
    std::uint64_t number_end() const { return number_end_; }

    // Bytes consumed by scan so far.
    std::uint64_t consumed() const { return consumed_; }

    // For complete: whether bytes after the number were consumed, the "e" or
    // "e+" of "1e+x" (dropped 0x0D bytes aside).
    bool consumed_past_number() const { return consumed_past_number_; }

    // For no_number: the byte that cannot start or continue the number, or
    // none when the input ended first.
    std::optional<unsigned char> offending_byte() const { return offending_; }

private:
    enum class state : std::uint8_t {
        leading_space,
        sign,
        point_before_digits,
        integer_digits,
        fraction_digits,
        exponent_mark,
        exponent_sign,
        exponent_digits,
        done,
    };

    void end_number();
    // Consumes the run of digits at p for the current digit state and moves
    // number_end past it; `begin` is where this scan call started.
    const char* take_digits(const char* p, const char* end, const char* begin);
    template <typename AddDigit>
    const char* take_run(const char* p, const char* end, const char* begin, AddDigit add_digit);

    decimal_number number_;
    std::uint64_t consumed_ = 0;
    std::uint64_t number_end_ = 0;
    std::optional<unsigned char> offending_;
    state state_ = state::leading_space;
    scan_status status_ = scan_status::need_more;
    bool input_ended_ = false;
    bool consumed_past_number_ = false;
};

}  // namespace droplevel
