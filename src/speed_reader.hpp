// Reads the first speed of a file descriptor, as it arrives.
#pragma once

#include <optional>

namespace droplevel {

enum class read_outcome {
    speed,         // a number, converted to binary64
    no_number,     // the input ended, or held a byte that cannot begin a number
    out_of_range,  // a number beyond the largest binary64 value
    read_error,    // the descriptor could not be read; see error_number
};

struct speed_reading {
    read_outcome outcome;
    double speed = 0;
    std::optional<unsigned char> offending_byte;  // for no_number; none at end of input
    int error_number = 0;
};

// Reads from `fd` no further than it must: it answers as soon as the byte that
// ends the number has arrived, and on a regular file leaves the offset just
// past the number, for the next reader of the same file.
speed_reading read_speed(int fd);

}  // namespace droplevel
