// Whole-process cost of a program against a baseline, side by side: both run
// alternately, many times, with the same standard input; prints the median
// time from exec to exit of each, and the peak resident memory of each as
// the kernel reports it when the process exits.
//
//   startup PROGRAM BASELINE INPUT_FILE RUNS

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

pid_t start(const char* program, int input, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program, &actions, nullptr, argv, environ) != 0) {
        std::perror(program);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

double run_once(const char* program, int input, int output) {
    lseek(input, 0, SEEK_SET);
    auto begin = std::chrono::steady_clock::now();
    pid_t pid = start(program, input, output);
    int status = 0;
    waitpid(pid, &status, 0);
    std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - begin;
    if (!WIFEXITED(status)) {
        std::fprintf(stderr, "%s did not exit normally\n", program);
        std::exit(1);
    }
    return took.count();
}

// The peak of the process image itself: read from /proc while the process,
// stopped by ptrace on its way out, still has its memory.
long peak_kib(const char* program, int input, int output) {
    lseek(input, 0, SEEK_SET);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(input, 0);
        dup2(output, 1);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);  // stopped at the exec
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACEEXIT));
    ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    long peak = -1;
    while (waitpid(pid, &status, 0) == pid && !WIFEXITED(status) && !WIFSIGNALED(status)) {
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            std::ifstream file("/proc/" + std::to_string(pid) + "/status");
            std::string key;
            while (file >> key) {
                if (key == "VmHWM:") file >> peak;
            }
        }
        ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    }
    return peak;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: startup PROGRAM BASELINE INPUT_FILE RUNS\n");
        return 2;
    }
    const char* program = argv[1];
    const char* baseline = argv[2];
    int input = open(argv[3], O_RDONLY);
    int output = open("/dev/null", O_WRONLY);
    int runs = std::atoi(argv[4]);
    if (input < 0 || output < 0 || runs < 1) {
        std::fprintf(stderr, "startup: bad arguments\n");
        return 2;
    }
    std::vector<double> program_times, baseline_times;
    for (int i = 0; i < 50; ++i) {  // warm the page cache and the predictors
        run_once(program, input, output);
        run_once(baseline, input, output);
    }
    for (int i = 0; i < runs; ++i) {
        program_times.push_back(run_once(program, input, output));
        baseline_times.push_back(run_once(baseline, input, output));
    }
    std::printf("time_us\t%.1f\t%.1f\n", median(program_times), median(baseline_times));
    std::printf("peak_kib\t%ld\t%ld\n", peak_kib(program, input, output), peak_kib(baseline, input, output));
    return 0;
}
