// Checks the computation against the golden cases, without a test framework
// or MPFR, so that it runs on any target the library is built for (under
// qemu-user or Wine too): each speed text is read by the program's own reader
// and its level written as the program writes it.
//
//   golden_check FILE
//
// Prints "N passed, M failed" and exits 0 only when nothing failed.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "level_of_text.hpp"


int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: golden_check FILE\n");
        return 2;
    }
    std::ifstream file(argv[1]);
    if (!file) {
        std::fprintf(stderr, "golden_check: %s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    long passed = 0, failed = 0;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::size_t tab = line.find('\t');
        std::string text = line.substr(0, tab), expected = line.substr(tab + 1);
        std::string got = droplevel::testing::level_of_text(text);
        if (got == expected) {
            ++passed;
        } else if (++failed <= 10) {
            std::printf("golden_check: %.60s: got %s, expected %s\n", text.c_str(), got.c_str(), expected.c_str());
        }
    }
    std::printf("%ld passed, %ld failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
