// The level computation: the shipped software path beside the x87 unit
// running the same sequence and the plain binary64 formula, for throughput
// (independent calls) and latency (each speed depends on the last level).

#include <droplevel/level.hpp>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "x87_sequence.hpp"

namespace {

std::vector<double> speeds_over_the_level_range() {
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> spread(0.0, 2147483646.0);
    // Many more than a branch predictor can learn by heart.
    std::vector<double> speeds(1 << 20);
    for (double& speed : speeds) speed = std::sqrt(98.0 * spread(random));
    return speeds;
}

std::int32_t software_level(double speed) { return droplevel::level_for_speed(speed); }

#ifdef DROPLEVEL_HAS_X87
std::int32_t x87_level(double speed) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(std::ceil(droplevel::testing::x87_sum(speed))));
}
#endif

std::int32_t binary64_level(double speed) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(std::ceil(speed * speed / 98.0 + 1.0)));
}

template <std::int32_t (*level)(double)>
void throughput(benchmark::State& state) {
    const std::vector<double> speeds = speeds_over_the_level_range();
    for (auto _ : state) {
        for (double speed : speeds) benchmark::DoNotOptimize(level(speed));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(speeds.size()));
}

template <std::int32_t (*level)(double)>
void latency(benchmark::State& state) {
    const std::vector<double> speeds = speeds_over_the_level_range();
    volatile double zero_source = 0;
    const double zero = zero_source;
    std::int32_t carry = 0;
    for (auto _ : state) {
        for (double speed : speeds) {
            // Adds 0 in a way the compiler cannot see through: the next
            // call waits for this one.
            carry = level(speed + carry * zero);
        }
        benchmark::DoNotOptimize(carry);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(speeds.size()));
}

}  // namespace

BENCHMARK(throughput<software_level>)->Name("throughput/software");
BENCHMARK(latency<software_level>)->Name("latency/software");
#ifdef DROPLEVEL_HAS_X87
BENCHMARK(throughput<x87_level>)->Name("throughput/x87");
BENCHMARK(latency<x87_level>)->Name("latency/x87");
#endif
BENCHMARK(throughput<binary64_level>)->Name("throughput/binary64");
BENCHMARK(latency<binary64_level>)->Name("latency/binary64");

BENCHMARK_MAIN();
