#include "output_buffer.hpp"

#include <algorithm>
#include <cstring>

#include "write_all.hpp"

namespace droplevel {

bool output_buffer::append_text(const char* text, std::size_t size) {
    while (size > 0) {
        if (size_ == buffer_.size() && !flush()) return false;
        std::size_t part = std::min(size, buffer_.size() - size_);
        std::memcpy(buffer_.data() + size_, text, part);
        size_ += part;
        text += part;
        size -= part;
    }
    return error_ == 0;
}

bool output_buffer::flush() {
    if (error_ != 0) return false;
    if (size_ > 0) error_ = write_all(fd_, buffer_.data(), size_);
    size_ = 0;
    return error_ == 0;
}

}  // namespace droplevel
