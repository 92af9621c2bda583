// The floor for a batch converter: the bytes of a file, already in memory,
// split at white space and converted with std::from_chars, nothing else.
// Prints the best time of several passes in seconds.

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: convert_loop FILE [PASSES]\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    int passes = argc > 2 ? std::atoi(argv[2]) : 5;
    double best = 1e30, sum = 0;
    for (int pass = 0; pass < passes; ++pass) {
        auto start = std::chrono::steady_clock::now();
        const char* p = text.data();
        const char* end = p + text.size();
        while (p != end) {
            while (p != end && (*p == ' ' || *p == '\n')) ++p;
            if (p == end) break;
            double value = 0;
            auto result = std::from_chars(p, end, value);
            sum += value;
            p = result.ptr == p ? p + 1 : result.ptr;
        }
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    std::printf("%.6f\n", best);
    std::fprintf(stderr, "checksum %g\n", sum);
    return 0;
}
