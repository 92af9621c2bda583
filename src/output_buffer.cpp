#include "output_buffer.hpp"

#include "write_all.hpp"

namespace droplevel {

bool output_buffer::flush() {
    if (error_ != 0) return false;
    if (size_ > 0) error_ = write_all(fd_, buffer_.data(), size_);
    size_ = 0;
    return error_ == 0;
}

}  // namespace droplevel
