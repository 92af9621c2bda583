#include "side_converter.hpp"

#include <droplevel/level.hpp>

#include "level_text.hpp"
#include "token_rules.hpp"

namespace droplevel {
namespace {

side_converter::share convert_range(const char* p, const char* end, char* text) {
    char* out = text;
    std::uint64_t newlines = 0;
    for (;;) {
        p = skip_separators(p, end, newlines);
        if (p == end || static_cast<unsigned char>(*p) == end_of_file_mark) break;
        std::optional<direct_speed> token = read_direct_speed(p, end);
        if (!token || !level_fits_32_bits(token->speed)) break;
        out = write_level_line(out, static_cast<std::uint32_t>(level_for_speed(token->speed)));
        p = token->after;
    }
    return {p, newlines, text, static_cast<std::size_t>(out - text)};
}

}  // namespace

side_converter::side_converter() : thread_([this] { run(); }) {}

side_converter::~side_converter() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        state_ = state::quitting;
    }
    changed_.notify_all();
    thread_.join();
}

void side_converter::start(const char* begin, const char* end) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        begin_ = begin;
        end_ = end;
        state_ = state::working;
    }
    changed_.notify_all();
}

side_converter::share side_converter::wait() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return state_ == state::done; });
    state_ = state::idle;
    return share_;
}

void side_converter::run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return state_ == state::working || state_ == state::quitting; });
        if (state_ == state::quitting) return;
        const char* begin = begin_;
        const char* end = end_;
        hold.unlock();
        share result = convert_range(begin, end, text_.data());
        hold.lock();
        share_ = result;
        state_ = state::done;
        changed_.notify_all();
    }
}

}  // namespace droplevel
