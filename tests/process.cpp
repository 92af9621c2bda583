#include "process.hpp"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <csignal>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace droplevel::testing {
namespace {

void must(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

pid_t spawn(const std::string& program, const std::vector<std::string>& arguments, int in, int out, int err) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    must(pid >= 0, "fork");
    if (pid == 0) {
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (int fd = 3; fd < 256; ++fd) close(fd);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int exit_status_of(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) must(errno == EINTR, "waitpid");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads both pipes to their ends without letting either fill up.
void drain(int out, int err, std::string& out_text, std::string& err_text) {
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    int open = (out >= 0) + (err >= 0);
    if (out < 0) fds[0].fd = -1;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            must(errno == EINTR, "poll");
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? out_text : err_text).append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
}

}  // namespace

finished run(const std::string& program, const run_options& options) {
    signal(SIGPIPE, SIG_IGN);
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2];
    if (options.stdin_fd < 0) must(pipe2(in, O_CLOEXEC) == 0, "pipe");
    if (options.stdout_fd < 0) must(pipe2(out, O_CLOEXEC) == 0, "pipe");
    must(pipe2(err, O_CLOEXEC) == 0, "pipe");
    pid_t pid = spawn(program, options.arguments, options.stdin_fd >= 0 ? options.stdin_fd : in[0],
                      options.stdout_fd >= 0 ? options.stdout_fd : out[1], err[1]);
    if (in[0] >= 0) close(in[0]);
    if (out[1] >= 0) close(out[1]);
    close(err[1]);
    std::thread writer;
    if (in[1] >= 0) {
        writer = std::thread([fd = in[1], &input = options.input] {
            std::size_t at = 0;
            while (at < input.size()) {
                ssize_t n = write(fd, input.data() + at, input.size() - at);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;  // the program stopped reading
                at += static_cast<std::size_t>(n);
            }
            close(fd);
        });
    }
    finished result;
    drain(out[0], err[0], result.out, result.err);
    if (out[0] >= 0) close(out[0]);
    close(err[0]);
    if (writer.joinable()) writer.join();
    result.exit_status = exit_status_of(pid);
    return result;
}

finished run_with_full_output(const std::string& program, const std::string& input) {
    int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    must(full >= 0, "open /dev/full");
    finished result = run(program, {{}, input, -1, full});
    close(full);
    return result;
}

child::child(const std::string& program, std::vector<std::string> arguments, int stdout_fd) {
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2] = {-1, -1}, err[2];
    must(pipe2(in, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0, "pipe");
    if (stdout_fd < 0) must(pipe2(out, O_CLOEXEC) == 0, "pipe");
    pid_ = spawn(program, arguments, in[0], stdout_fd >= 0 ? stdout_fd : out[1], err[1]);
    close(in[0]);
    if (out[1] >= 0) close(out[1]);
    close(err[1]);
    input_ = in[1];
    output_ = out[0];
    error_ = err[0];
}

child::~child() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        exit_status_of(pid_);
    }
    for (int fd : {input_, output_, error_}) {
        if (fd >= 0) close(fd);
    }
}

void child::write_input(const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        ssize_t n = write(input_, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR) continue;
        must(n > 0, "write to child");
        at += static_cast<std::size_t>(n);
    }
}

void child::close_input() {
    close(input_);
    input_ = -1;
}

std::string child::read_output(std::size_t count, int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (out_.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd fd{output_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0) break;
        out_.append(buffer, static_cast<std::size_t>(n));
    }
    return out_;
}

long child::peak_memory_kib() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

finished child::wait() {
    if (input_ >= 0) close_input();
    finished result;
    result.out = out_;
    drain(output_, error_, result.out, result.err);
    if (output_ >= 0) close(output_);
    close(error_);
    output_ = error_ = -1;
    result.exit_status = exit_status_of(pid_);
    pid_ = -1;
    return result;
}

}  // namespace droplevel::testing
