#pragma once

#include <cstddef>

namespace droplevel {

// Writes all `size` bytes to `fd`, through short writes and interruptions.
// Returns 0, or the errno of the write that failed.
int write_all(int fd, const char* data, std::size_t size);

}  // namespace droplevel
