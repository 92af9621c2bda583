// Levels collected for standard output and written in large pieces.
#pragma once

#include <array>
#include <cstddef>

#include "level_text.hpp"

namespace droplevel {

class output_buffer {
public:
    explicit output_buffer(int fd) : fd_(fd) {}

    // Adds the level's line; returns false once a write has failed.
    template <typename Level>
    bool append_level(Level level) {
        if (buffer_.size() - size_ < level_line_capacity && !flush()) return false;
        size_ = static_cast<std::size_t>(write_level_line(buffer_.data() + size_, level) - buffer_.data());
        return true;
    }

    // Adds text as it stands; returns false once a write has failed.
    bool append_text(const char* text, std::size_t size);

    // Writes out what is held; returns false once a write has failed.
    bool flush();

    // The errno of the write that failed, or 0.
    int error() const { return error_; }

private:
    // 64 KiB keeps the writes few; a flush always leaves room for one line.
    std::array<char, 65536> buffer_;
    std::size_t size_ = 0;
    int fd_;
    int error_ = 0;
};

}  // namespace droplevel
