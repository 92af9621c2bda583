// droplevels: the level of every speed in the files named, or standard input.

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

#include "error_report.hpp"
#include "level_batch.hpp"
#include "output_buffer.hpp"
#include "platform.hpp"
#include "write_all.hpp"

namespace droplevel {
namespace {

constexpr std::string_view program = "droplevels";

constexpr std::string_view usage =
    "Usage: droplevels [FILE]...\n"
    "Write the level of each speed in the FILEs, one line each, in order.\n"
    "With no FILE, or when FILE is -, read standard input.\n"
    "\n"
    "Speeds are separated by white space, and each must be a number in full:\n"
    "an optional sign, decimal digits with at most one '.', and an optional\n"
    "exponent (e or E, an optional sign, digits). 0x0D bytes are dropped and a\n"
    "0x1A byte ends a file, as on a Windows text stream.\n"
    "\n"
    "      --help     display this help and exit\n"
    "      --version  output version information and exit\n"
    "\n"
    "Exit status: 0 when every speed's level was written; 1 when a token has no\n"
    "level (the levels before it are written), a file cannot be read, or the\n"
    "output cannot be written; 2 for an unknown option.\n";

constexpr std::string_view version = "droplevels " DROPLEVEL_VERSION "\n";

std::string_view describe(token_problem problem) {
    switch (problem) {
    case token_problem::not_a_number:
        return "not a number";
    case token_problem::out_of_range:
        return "speed out of range: beyond the largest binary64 value";
    case token_problem::no_level:
        return "speed too large: its level is beyond the binary64 range";
    }
    return "";
}

// The token as a message shows it: control and non-ASCII bytes as \xHH, so
// that no byte of the input reaches a terminal raw.
std::string_view printable(const token_excerpt& token, std::array<char, 4 * token_excerpt::capacity>& text) {
    char* out = text.data();
    for (std::size_t i = 0; i < token.size; ++i) {
        auto c = static_cast<unsigned char>(token.bytes[i]);
        if (c > ' ' && c < 0x7F && c != '\\') {
            *out++ = static_cast<char>(c);
        } else {
            *out++ = '\\';
            *out++ = 'x';
            out = write_hex_byte(out, c);
        }
    }
    return {text.data(), static_cast<std::size_t>(out - text.data())};
}

enum class file_verdict { read, not_read, stop };

file_verdict convert_file(std::string_view name, output_buffer& out) {
    int fd = STDIN_FILENO;
    if (name != "-") {
        fd = open(name.data(), read_only_flags);
        if (fd < 0) {
            report_error(program, {name, ": ", std::strerror(errno)});
            return file_verdict::not_read;
        }
    }
    batch_result result = convert_stream(fd, out);
    if (fd != STDIN_FILENO) close(fd);
    switch (result.outcome) {
    case batch_outcome::done:
        return file_verdict::read;
    case batch_outcome::read_error:
        report_error(program, {name, ": ", std::strerror(result.error_number)});
        return file_verdict::not_read;
    case batch_outcome::write_error:
        report_error(program, {"write error: ", std::strerror(result.error_number)});
        return file_verdict::stop;
    case batch_outcome::bad_token: {
        // The levels before the token come first, on their own stream.
        if (!out.flush()) {
            report_error(program, {"write error: ", std::strerror(out.error())});
            return file_verdict::stop;
        }
        std::array<char, 24> line_text;
        char* line_text_end = std::to_chars(line_text.data(), line_text.data() + line_text.size(), result.line).ptr;
        std::array<char, 4 * token_excerpt::capacity> token_text;
        report_error(program, {name, ":", std::string_view(line_text.data(), line_text_end - line_text.data()), ": ",
                               describe(result.problem), ": ", printable(result.token, token_text)});
        return file_verdict::stop;
    }
    }
    return file_verdict::stop;
}

int run(int argc, char** argv) {
    use_binary_standard_streams();
    int first_file = 1;
    for (; first_file < argc; ++first_file) {
        std::string_view argument = argv[first_file];
        if (argument == "--") {
            ++first_file;
            break;
        }
        if (argument == "--help") {
            return write_all(STDOUT_FILENO, usage.data(), usage.size()) == 0 ? 0 : 1;
        }
        if (argument == "--version") {
            return write_all(STDOUT_FILENO, version.data(), version.size()) == 0 ? 0 : 1;
        }
        if (argument.size() < 2 || argument[0] != '-') break;
        report_error(program, {"unknown option '", argument, "'\nTry 'droplevels --help' for more information."});
        return 2;
    }

    output_buffer out(STDOUT_FILENO);
    int status = 0;
    auto convert = [&](std::string_view name) {
        file_verdict verdict = convert_file(name, out);
        if (verdict != file_verdict::read) status = 1;
        return verdict != file_verdict::stop;
    };
    if (first_file == argc) {
        convert("-");
    } else {
        for (int i = first_file; i < argc && convert(argv[i]); ++i) {
        }
    }
    if (!out.flush() && status == 0) {
        report_error(program, {"write error: ", std::strerror(out.error())});
        status = 1;
    }
    return status;
}

}  // namespace
}  // namespace droplevel

int main(int argc, char** argv) { return droplevel::run(argc, argv); }
