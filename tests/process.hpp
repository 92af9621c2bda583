// Runs the built programs as real processes, for the end-to-end tests.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace droplevel::testing {

struct finished {
    std::string out;
    std::string err;
    int exit_status;  // -1 when killed by a signal
};

struct run_options {
    std::vector<std::string> arguments;
    std::string input;
    int stdin_fd = -1;   // read from this descriptor instead of `input`
    int stdout_fd = -1;  // write to this descriptor instead of capturing
};

finished run(const std::string& program, const run_options& options);

// Runs the program with `input` and its standard output on /dev/full, where
// every write fails.
finished run_with_full_output(const std::string& program, const std::string& input);

// A running child whose standard input the test writes piece by piece.
class child {
public:
    // Standard output goes to `stdout_fd` when given, else to a pipe.
    explicit child(const std::string& program, std::vector<std::string> arguments = {}, int stdout_fd = -1);
    ~child();
    child(const child&) = delete;
    child& operator=(const child&) = delete;

    void write_input(const std::string& bytes);
    void close_input();
    // Waits up to `milliseconds` for standard output to hold `count` bytes.
    std::string read_output(std::size_t count, int milliseconds);
    // The peak resident memory of the running program, in KiB.
    long peak_memory_kib() const;
    finished wait();

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int error_ = -1;
    std::string out_;
};

}  // namespace droplevel::testing
