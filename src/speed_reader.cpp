#include "speed_reader.hpp"

#include <array>
#include <cerrno>
#include <cstdint>

#include <sys/stat.h>
#include <unistd.h>

#include "number_scanner.hpp"

namespace droplevel {
namespace {

bool can_seek(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

speed_reading read_speed(int fd) {
    number_scanner scanner;
    // A pipe or terminal hands over what has arrived, so any size answers at
    // once; this one keeps the system calls few on a long run of white space.
    std::array<char, 16384> buffer;
    std::uint64_t bytes_read = 0;
    while (scanner.status() == scan_status::need_more) {
        ssize_t count = read(fd, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            return {read_outcome::read_error, 0, std::nullopt, errno};
        }
        if (count == 0) {
            scanner.finish();
            break;
        }
        bytes_read += static_cast<std::uint64_t>(count);
        scanner.scan(buffer.data(), buffer.data() + count);
    }

    bool complete = scanner.status() == scan_status::complete;
    std::uint64_t keep = complete ? scanner.number_end() : scanner.consumed();
    if (bytes_read > keep && can_seek(fd)) {
        // Best effort: the answer stands even if the offset cannot be restored.
        (void)lseek(fd, -static_cast<off_t>(bytes_read - keep), SEEK_CUR);
    }

    if (!complete) return {read_outcome::no_number, 0, scanner.offending_byte(), 0};
    std::optional<double> speed = to_binary64(scanner.number());
    if (!speed) return {read_outcome::out_of_range, 0, std::nullopt, 0};
    return {read_outcome::speed, *speed, std::nullopt, 0};
}

}  // namespace droplevel
