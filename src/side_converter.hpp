// A second thread for large pieces of a batch. While the first thread
// converts the first half of a piece, this one converts the second half into
// text of its own, which the first then writes in order: both cores share
// the decimal conversion, the cost that bounds a batch.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace droplevel {

class side_converter {
public:
    // The longest range it is handed.
    static constexpr std::size_t max_range = std::size_t{1} << 17;

    side_converter();
    ~side_converter();
    side_converter(const side_converter&) = delete;
    side_converter& operator=(const side_converter&) = delete;

    struct share {
        const char* stop;         // the first token it left (end: none)
        std::uint64_t newlines;   // newlines before stop
        const char* text;         // the levels of the tokens before stop, one a line
        std::size_t text_size;
    };

    // Hands over [begin, end), at most max_range bytes, which starts after a
    // separator and ends with one. It converts the common tokens only (from
    // from_chars alone, levels of 32 bits) and stops at the first other one,
    // or at a 0x1A byte, for the first thread to take from there.
    void start(const char* begin, const char* end);
    share wait();

private:
    void run();

    // Every token takes at least two bytes with its separator and gives at
    // most a 10-digit level and a 2-byte line end.
    std::array<char, 6 * max_range> text_;
    std::mutex lock_;
    std::condition_variable changed_;
    enum class state { idle, working, done, quitting } state_ = state::idle;
    const char* begin_ = nullptr;
    const char* end_ = nullptr;
    share share_{};
    std::thread thread_;
};

}  // namespace droplevel
