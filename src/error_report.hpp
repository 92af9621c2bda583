// Error lines on standard error, in the form "program: what is wrong".
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace droplevel {

// Writes "program: " and the parts, then a newline, to standard error in one
// write, so that lines from concurrent processes do not interleave. A line
// longer than 1 KiB is cut.
void report_error(std::string_view program, std::initializer_list<std::string_view> parts);

// A byte as a message shows it: 'a' when printable, else byte 0x1b.
struct byte_description {
    std::array<char, 12> text;
    std::size_t size;
    std::string_view view() const { return {text.data(), size}; }
};
byte_description describe_byte(unsigned char byte);

// Writes a byte as two lowercase hexadecimal digits; returns the end.
char* write_hex_byte(char* out, unsigned char byte);

}  // namespace droplevel
