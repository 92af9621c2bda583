#include "error_report.hpp"

#include <unistd.h>

#include "write_all.hpp"

namespace droplevel {

void report_error(std::string_view program, std::initializer_list<std::string_view> parts) {
    std::array<char, 1024> line;
    std::size_t size = 0;
    auto append = [&](std::string_view text) {
        for (char c : text) {
            if (size + 1 < line.size()) line[size++] = c;
        }
    };
    append(program);
    append(": ");
    for (std::string_view part : parts) append(part);
    line[size++] = '\n';
    // Nothing sensible remains to be done if standard error fails too.
    (void)write_all(STDERR_FILENO, line.data(), size);
}

byte_description describe_byte(unsigned char byte) {
    byte_description description{};
    if (byte > ' ' && byte < 0x7F) {
        description.text = {'\'', static_cast<char>(byte), '\''};
        description.size = 3;
        return description;
    }
    constexpr char hex[] = "0123456789abcdef";
    std::string_view prefix = "byte 0x";
    std::size_t size = 0;
    for (char c : prefix) description.text[size++] = c;
    description.text[size++] = hex[byte >> 4];
    description.text[size++] = hex[byte & 0xF];
    description.size = size;
    return description;
}

}  // namespace droplevel
