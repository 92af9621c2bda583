// Levels for a stream of white-space-separated speeds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "output_buffer.hpp"

namespace droplevel {

enum class batch_outcome {
    done,         // the input ended (end of file or a 0x1A byte), every level written
    bad_token,    // a token without a level; the levels before it are written
    read_error,   // see error_number
    write_error,  // see error_number
};

enum class token_problem {
    not_a_number,  // the token is not a number of the grammar in full
    out_of_range,  // a number beyond the largest binary64 value
    no_level,      // a speed whose level is beyond the binary64 range
};

// The first bytes of a token, for the message; 0x0D bytes are left out, as
// the grammar drops them.
struct token_excerpt {
    static constexpr std::size_t capacity = 40;
    std::array<char, capacity> bytes;
    std::size_t size = 0;
};

struct batch_result {
    batch_outcome outcome = batch_outcome::done;
    token_problem problem = token_problem::not_a_number;
    std::uint64_t line = 0;  // where the bad token starts, from 1
    token_excerpt token;
    int error_number = 0;
};

// Reads `fd` to its end, writing each token's level to `out` in order, and
// stops at the first token without one. The output is flushed before every
// read, so a level is out before the program waits for more input.
batch_result convert_stream(int fd, output_buffer& out);

}  // namespace droplevel
