// What differs on Windows, in one place: its text streams end a line with
// CR LF, and its standard descriptors translate bytes unless set to binary.
#pragma once

#include <string_view>

#include <fcntl.h>

namespace droplevel {

#ifdef _WIN32
inline constexpr std::string_view line_end = "\r\n";
inline constexpr int read_only_flags = O_RDONLY | O_BINARY;
#else
inline constexpr std::string_view line_end = "\n";
inline constexpr int read_only_flags = O_RDONLY | O_CLOEXEC;
#endif

// Lets standard input and output carry bytes untranslated, so that the
// programs apply the text rules themselves, the same on every platform.
void use_binary_standard_streams();

}  // namespace droplevel
