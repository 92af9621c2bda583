#include "error_report.hpp"

#include <algorithm>

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
    std::string_view prefix = "byte 0x";
    char* end = std::copy(prefix.begin(), prefix.end(), description.text.data());
    end = write_hex_byte(end, byte);
    description.size = static_cast<std::size_t>(end - description.text.data());
    return description;
}

char* write_hex_byte(char* out, unsigned char byte) {
    constexpr char hex[] = "0123456789abcdef";
    *out++ = hex[byte >> 4];
    *out++ = hex[byte & 0xF];
    return out;
}

}  // namespace droplevel
