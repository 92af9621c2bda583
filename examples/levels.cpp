// Prints the level of a few speeds through the installed library: the same
// program builds with find_package and with pkg-config.
#include <droplevel/level.hpp>

#include <cstdio>

int main() {
    for (double speed : {14.0, 0x1.3cc8a99af5453p+3, 0x1.3cc8a99af5454p+3, 458751.99978637695}) {
        std::printf("%d\n", droplevel::level_for_speed(speed));
    }
    std::optional<double> wide = droplevel::full_level_for_speed(1e6);
    std::printf("%.0f\n", wide ? *wide : -1.0);
    std::printf("%s\n", droplevel::full_level_for_speed(1e200) ? "level" : "no level");
}
