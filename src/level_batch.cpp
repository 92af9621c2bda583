#include "level_batch.hpp"

#include <array>
#include <cerrno>
#include <thread>
#include <optional>

#include <unistd.h>

#include <droplevel/level.hpp>

#include "number_scanner.hpp"
#include "side_converter.hpp"
#include "token_rules.hpp"

namespace droplevel {
namespace {

const char* find_token_end(const char* p, const char* end) {
    while (p != end && !ends_token(static_cast<unsigned char>(*p))) ++p;
    return p;
}

class batch_converter {
public:
    explicit batch_converter(output_buffer& out) : out_(out) {}

    // Takes the next piece of input; false once it must stop reading.
    bool take(const char* p, const char* end);
    // The same, with the second half of the piece converted by `side`.
    bool take_shared(const char* begin, const char* end, side_converter& side);
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
    // Records the output's write error; returns false, to stop.
    bool write_failed();

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
        p = skip_separators(p, end, line_);
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

bool batch_converter::take_shared(const char* begin, const char* end, side_converter& side) {
    // The first thread takes up to and including a separator near the
    // middle, so that no token of its own runs past its part; the side
    // thread takes whole tokens from there to the last separator.
    const char* middle = begin + (end - begin) * 2 / 5;  // the first also writes both parts out
    while (middle != end && !is_separator(static_cast<unsigned char>(*middle))) ++middle;
    const char* cut = end;
    while (cut > middle && !is_separator(static_cast<unsigned char>(cut[-1]))) --cut;
    if (middle == end || cut - (middle + 1) < 2) return take(begin, end);
    side.start(middle + 1, cut);
    bool go_on = take(begin, middle + 1);
    side_converter::share shared = side.wait();
    if (!go_on) return false;
    if (!out_.append_text(shared.text, shared.text_size)) return write_failed();
    line_ += shared.newlines;
    return take(shared.stop, end);
}

void batch_converter::finish() {
    if (in_scanned_token_) end_scanned_token();
}

const char* batch_converter::convert_direct(const char* begin, const char* end) {
    std::optional<direct_speed> token = read_direct_speed(begin, end);
    if (!token) return nullptr;
    if (write_level_of(token->speed) == write_status::no_level) return nullptr;  // the scanner reports it
    return token->after;
}

bool batch_converter::convert_scanned(const char* begin, const char* end) {
    start_scanned_token();
    scan_token_piece(begin, end);
    return end_scanned_token();
}

batch_converter::write_status batch_converter::write_level_of(double speed) {
    bool written = false;
    // Most levels fit 32 bits and take the short way through the formatting.
    if (level_fits_32_bits(speed)) {
        written = out_.append_level(static_cast<std::uint32_t>(level_for_speed(speed)));
    } else {
        std::optional<double> level = full_level_for_speed(speed);
        if (!level) return write_status::no_level;
        written = out_.append_level(*level);
    }
    if (written) return write_status::written;
    write_failed();
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

bool batch_converter::write_failed() {
    result_.outcome = batch_outcome::write_error;
    result_.error_number = out_.error();
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
    std::array<char, 1 << 18> buffer;
    static_assert(buffer.size() / 2 <= side_converter::max_range);
    // Pieces this large are split between two threads, where there are two
    // cores; a terminal's or a slow pipe's short pieces stay on one.
    constexpr ssize_t shared_piece = 1 << 16;
    const bool two_cores = std::thread::hardware_concurrency() > 1;
    std::optional<side_converter> side;
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
        const char* begin = buffer.data();
        const char* end = begin + count;
        bool go_on = false;
        if (count >= shared_piece && two_cores) {
            if (!side) side.emplace();
            go_on = converter.take_shared(begin, end, *side);
        } else {
            go_on = converter.take(begin, end);
        }
        if (!go_on) break;
    }
    return converter.result();
}

}  // namespace droplevel
