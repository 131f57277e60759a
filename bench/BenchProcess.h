#pragma once

// Starting the tools as children and measuring them, for the benchmarks.

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

// The 131072-byte program both benchmarks write, different in every sector.
inline void WriteBenchProgram(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 131072; ++i) {
        out.put(static_cast<char>(i * 7 + i / 256));
    }
}

inline pid_t Spawn(const std::vector<std::string>& argv, int stdoutFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (stdoutFd >= 0) {
            dup2(stdoutFd, STDOUT_FILENO);
        }
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

struct Measured {
    double wallS;
    double cpuS;
    long peakKiB;
    int status;
};

inline Measured RunTool(const std::vector<std::string>& argv) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn(argv, open("/dev/null", O_WRONLY));
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                       usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    return {wall, cpu, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

} // namespace bench
