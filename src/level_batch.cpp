#include "level_batch.hpp"

#include <bit>
#include <cerrno>
#include <charconv>
#include <optional>
#include <system_error>

#include <unistd.h>

#include <droplevel/level.hpp>

#include "number_scanner.hpp"

namespace droplevel {
namespace {

constexpr unsigned char carriage_return = 0x0D;
constexpr unsigned char end_of_file_mark = 0x1A;

// Tokens are separated by white space; 0x0D is dropped wherever it stands,
// so it joins the token it is in ("1\r4" is 14).
constexpr bool is_separator(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\f'); }
constexpr bool ends_token(unsigned char c) { return is_separator(c) || c == end_of_file_mark; }
constexpr bool is_digit(unsigned char c) { return static_cast<unsigned>(c - '0') < 10u; }

// Tokens up to this length that from_chars reads whole are taken as it reads
// them; every other token goes through the scanner and its bounded form.
constexpr std::size_t direct_token_limit = 100;

const char* find_token_end(const char* p, const char* end) {
    while (p != end && !ends_token(static_cast<unsigned char>(*p))) ++p;
    return p;
}

class batch_converter {
public:
    explicit batch_converter(output_buffer& out) : out_(out) {}

    // Takes the next piece of input; false once it must stop reading.
    bool take(const char* p, const char* end);
    void finish();
    const batch_result& result() const { return result_; }

private:
    // Converts the token at `begin` by from_chars alone when it can, and
    // returns the end of the token; nullptr leaves it to the scanner.
    const char* convert_direct(const char* begin, const char* end);
    bool convert_scanned(const char* begin, const char* end);
    enum class write_status { written, no_level, write_failed };
    write_status write_level_of(double speed);
    void start_scanned_token();
    void scan_token_piece(const char* begin, const char* end);
    bool end_scanned_token();
    bool fail(token_problem problem);

    output_buffer& out_;
    batch_result result_;
    number_scanner scanner_;
    token_excerpt excerpt_;
    std::uint64_t line_ = 1;
    std::uint64_t token_line_ = 1;
    bool in_scanned_token_ = false;
    bool stray_bytes_ = false;
};

bool batch_converter::take(const char* p, const char* end) {
    while (p != end) {
        if (in_scanned_token_) {
            const char* token_end = find_token_end(p, end);
            scan_token_piece(p, token_end);
            if (token_end == end) return true;
            if (!end_scanned_token()) return false;
            p = token_end;
            continue;
        }
        while (p != end) {
            auto c = static_cast<unsigned char>(*p);
            if (c == '\n') {
                ++line_;
            } else if (!is_separator(c) && c != carriage_return) {
                break;
            }
            ++p;
        }
        if (p == end) return true;
        if (static_cast<unsigned char>(*p) == end_of_file_mark) return false;
        token_line_ = line_;
        if (const char* after = convert_direct(p, end)) {
            if (result_.outcome == batch_outcome::write_error) return false;
            p = after;
            continue;
        }
        const char* token_end = find_token_end(p, end);
        if (token_end == end) {  // the token may go on in the next piece
            start_scanned_token();
            scan_token_piece(p, end);
            return true;
        }
        if (!convert_scanned(p, token_end)) return false;
        p = token_end;
    }
    return true;
}

void batch_converter::finish() {
    if (in_scanned_token_) end_scanned_token();
}

const char* batch_converter::convert_direct(const char* begin, const char* end) {
    const char* first = begin + (*begin == '-');
    if (first == end || !(is_digit(static_cast<unsigned char>(*first)) || *first == '.')) return nullptr;
    // From here on from_chars reads exactly this grammar: it takes no "+",
    // no white space, and its infinity and NaN forms start with a letter.
    double speed = 0;
    std::from_chars_result read = std::from_chars(begin, end, speed);
    if (read.ec != std::errc{} || static_cast<std::size_t>(read.ptr - begin) > direct_token_limit) return nullptr;
    // The number is the whole token if white space follows, 0x0D bytes aside
    // (they are dropped, so "14\r\n" is 14, but "1\r4" needs the scanner).
    const char* after = read.ptr;
    while (after != end && static_cast<unsigned char>(*after) == carriage_return) ++after;
    if (after == end || !ends_token(static_cast<unsigned char>(*after))) return nullptr;
    if (write_level_of(speed) == write_status::no_level) return nullptr;  // the scanner reports it
    return after;
}

bool batch_converter::convert_scanned(const char* begin, const char* end) {
    start_scanned_token();
    scan_token_piece(begin, end);
    return end_scanned_token();
}

batch_converter::write_status batch_converter::write_level_of(double speed) {
    bool written = false;
    // Most levels fit 32 bits and take the short way through the formatting.
    if (std::bit_cast<std::uint64_t>(speed) << 1 <= std::bit_cast<std::uint64_t>(largest_32_bit_speed) << 1) {
        written = out_.append_level(static_cast<std::uint32_t>(level_for_speed(speed)));
    } else {
        std::optional<double> level = full_level_for_speed(speed);
        if (!level) return write_status::no_level;
        written = out_.append_level(*level);
    }
    if (written) return write_status::written;
    result_.outcome = batch_outcome::write_error;
    result_.error_number = out_.error();
    return write_status::write_failed;
}

void batch_converter::start_scanned_token() {
    scanner_ = number_scanner{};
    excerpt_.size = 0;
    stray_bytes_ = false;
    in_scanned_token_ = true;
}

void batch_converter::scan_token_piece(const char* begin, const char* end) {
    for (const char* p = begin; p != end && excerpt_.size < token_excerpt::capacity; ++p) {
        if (static_cast<unsigned char>(*p) != carriage_return) excerpt_.bytes[excerpt_.size++] = *p;
    }
    if (stray_bytes_) return;
    scanner_.scan(begin, end);
    // The token's end is not in the piece, so a scanner that stops inside
    // it has met a byte that the number cannot take.
    stray_bytes_ = scanner_.status() != scan_status::need_more;
}

bool batch_converter::end_scanned_token() {
    in_scanned_token_ = false;
    if (stray_bytes_) return fail(token_problem::not_a_number);
    scanner_.finish();
    if (scanner_.status() != scan_status::complete || scanner_.consumed_past_number()) {
        return fail(token_problem::not_a_number);
    }
    std::optional<double> speed = to_binary64(scanner_.number());
    if (!speed) return fail(token_problem::out_of_range);
    switch (write_level_of(*speed)) {
    case write_status::written:
        return true;
    case write_status::no_level:
        return fail(token_problem::no_level);
    case write_status::write_failed:
        return false;
    }
    return false;
}

bool batch_converter::fail(token_problem problem) {
    result_.outcome = batch_outcome::bad_token;
    result_.problem = problem;
    result_.line = token_line_;
    result_.token = excerpt_;
    return false;
}

}  // namespace

batch_result convert_stream(int fd, output_buffer& out) {
    batch_converter converter(out);
    std::array<char, 65536> buffer;
    for (;;) {
        if (!out.flush()) return {batch_outcome::write_error, {}, 0, {}, out.error()};
        ssize_t count = read(fd, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            return {batch_outcome::read_error, {}, 0, {}, errno};
        }
        if (count == 0) {
            converter.finish();
            break;
        }
        if (!converter.take(buffer.data(), buffer.data() + count)) break;
    }
    return converter.result();
}

}  // namespace droplevel
