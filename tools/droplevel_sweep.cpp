// droplevel-sweep [FIRST LAST]: checks the level computation at every level
// boundary from FIRST to LAST (default 2 to 2147483647). For each level N it
// takes the binary64 speeds within 4 units in the last place of the boundary
// speed √(98 (N − 1)), on either side, and checks that the shipped
// computation agrees with an independent reference (the x87 unit where the
// platform has one, else MPFR), and that across the window the level steps
// from N to N + 1 exactly once and never decreases.

#include <droplevel/level.hpp>

#include <atomic>
#include <bit>
#include <cfloat>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "mpfr_oracle.hpp"
#include "x87_sequence.hpp"

namespace {

constexpr int window = 4;  // units in the last place on either side
constexpr std::int64_t chunk = 1 << 16;

#ifdef DROPLEVEL_HAS_X87
double reference_level(double speed) { return *droplevel::testing::x87_level(speed); }
const char* reference_name = "the x87 unit";
#else
double reference_level(double speed) { return *droplevel::oracle::level(speed); }
const char* reference_name = "MPFR";
#endif

struct tally {
    std::uint64_t speeds = 0;
    std::uint64_t boundaries = 0;
    std::uint64_t mismatches = 0;
};

std::mutex report_lock;
int reported = 0;

void report(const char* what, std::int64_t level, double speed, double got, double expected) {
    std::lock_guard<std::mutex> hold(report_lock);
    if (++reported > 10) return;
    std::printf("mismatch at level %" PRId64 ": speed %a (%.17g): %s: got %.0f, expected %.0f\n", level, speed, speed,
                what, got, expected);
}

void sweep_level(std::int64_t level, tally& counts) {
    double boundary = std::sqrt(98.0 * static_cast<double>(level - 1));
    std::uint64_t centre = std::bit_cast<std::uint64_t>(boundary);
    double previous = 0;
    bool stepped = false;
    for (int offset = -window; offset <= window; ++offset) {
        double speed = std::bit_cast<double>(centre + static_cast<std::uint64_t>(static_cast<std::int64_t>(offset)));
        std::optional<double> got = droplevel::full_level_for_speed(speed);
        double expected = reference_level(speed);
        double value = got ? *got : -1;
        ++counts.speeds;
        if (value != expected) {
            ++counts.mismatches;
            report("differs from the reference", level, speed, value, expected);
        }
        double low = static_cast<double>(level);
        if (offset == -window && value != low) {
            ++counts.mismatches;
            report("the window does not start at level N", level, speed, value, low);
        } else if (offset == window && value != low + 1) {
            ++counts.mismatches;
            report("the window does not end at level N + 1", level, speed, value, low + 1);
        } else if (offset > -window && value != previous) {
            if (value != low + 1 || previous != low || stepped) {
                ++counts.mismatches;
                report("the level does not step once from N to N + 1", level, speed, value, previous);
            }
            stepped = true;
        }
        previous = value;
    }
    ++counts.boundaries;
}

bool parse_level(const char* text, std::int64_t& level) {
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 2 || value > 2147483647) return false;
    level = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t first = 2, last = 2147483647;
    if (argc == 3) {
        if (!parse_level(argv[1], first) || !parse_level(argv[2], last) || first > last) {
            std::fprintf(stderr, "droplevel-sweep: levels must satisfy 2 <= FIRST <= LAST <= 2147483647\n");
            return 2;
        }
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: droplevel-sweep [FIRST LAST]\n");
        return 2;
    }

    std::atomic<std::int64_t> next{first};
    std::atomic<std::int64_t> done{0};
    unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    std::vector<tally> tallies(workers);
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            for (;;) {
                std::int64_t begin = next.fetch_add(chunk);
                if (begin > last) break;
                std::int64_t end = std::min(begin + chunk - 1, last);
                for (std::int64_t level = begin; level <= end; ++level) sweep_level(level, tallies[w]);
                done += end - begin + 1;
            }
        });
    }

    // Progress: in place on a terminal, a line every ten seconds elsewhere.
    const std::int64_t total = last - first + 1;
    const bool terminal = isatty(STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    auto last_line = start;
    while (done.load() < total) {
        std::this_thread::sleep_for(std::chrono::milliseconds(terminal ? 500 : 250));
        auto now = std::chrono::steady_clock::now();
        if (!terminal && now - last_line < std::chrono::seconds(10)) continue;
        last_line = now;
        double seconds = std::chrono::duration<double>(now - start).count();
        double finished = static_cast<double>(done.load());
        double rate = finished / std::max(seconds, 1e-9);
        double left = rate > 0 ? (static_cast<double>(total) - finished) / rate : 0;
        std::fprintf(stderr, "%s%5.1f%% done, %.2f M levels/s, %.0f s left%s", terminal ? "\r" : "",
                     100.0 * finished / static_cast<double>(total), rate / 1e6, left, terminal ? "" : "\n");
    }
    for (std::thread& thread : threads) thread.join();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (terminal) std::fprintf(stderr, "\n");
    std::fprintf(stderr, "droplevel-sweep: levels %" PRId64 " to %" PRId64 " against %s, %u threads, %.0f s\n", first,
                 last, reference_name, workers, seconds);

    tally all;
    for (const tally& t : tallies) {
        all.speeds += t.speeds;
        all.boundaries += t.boundaries;
        all.mismatches += t.mismatches;
    }
    std::printf("%" PRIu64 " speeds at %" PRIu64 " boundaries: %" PRIu64 " mismatches\n", all.speeds, all.boundaries,
                all.mismatches);
    return all.mismatches == 0 ? 0 : 1;
}
