// Writes COUNT random speeds, one a line, whose levels spread evenly over the
// 32-bit level range: speed = √(98 u) for u uniform in [0, 2^31 − 2].
// With "near", speeds within 4 ulps of level boundaries instead.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_speeds COUNT [near]\n");
        return 2;
    }
    long count = std::atol(argv[1]);
    bool near = argc > 2 && std::strcmp(argv[2], "near") == 0;
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> spread(0.0, 2147483646.0);
    std::uniform_int_distribution<long> level(2, 2147483647);
    std::uniform_int_distribution<int> offset(-4, 4);
    static char out[1 << 16];
    std::size_t size = 0;
    for (long i = 0; i < count; ++i) {
        double speed;
        if (near) {
            speed = std::sqrt(98.0 * static_cast<double>(level(random) - 1));
            for (int k = offset(random); k != 0; k += k < 0 ? 1 : -1) {
                speed = std::nextafter(speed, k < 0 ? 0.0 : INFINITY);
            }
        } else {
            speed = std::sqrt(98.0 * spread(random));
        }
        if (size > sizeof out - 64) {
            std::fwrite(out, 1, size, stdout);
            size = 0;
        }
        size = static_cast<std::size_t>(std::to_chars(out + size, out + sizeof out, speed).ptr - out);
        out[size++] = '\n';
    }
    std::fwrite(out, 1, size, stdout);
    return 0;
}
