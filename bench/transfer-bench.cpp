// Transfer benchmark: a whole read of 512 sectors and a whole write of 506
// sectors through vektal-cli against vektal-sim, at both paces.
//
//   transfer-bench BUILD_DIR
//
// For each run: the wall time; its ratio to the waits' bound (512 x 100 ms for
// a read, 506 x 120 ms for a write) and to the line's bound (every byte of every
// request and reply at 57600 baud, 10 bits a byte); the tool's processor time
// as a share of the wall time; and its peak memory.

#include "BenchProcess.h"

#include "link/WireConstants.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

using namespace bench;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: transfer-bench BUILD_DIR\n");
        return 2;
    }
    const fs::path build = fs::absolute(argv[1]);
    const fs::path work = fs::temp_directory_path() / ("vektal-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    const fs::path program = work / "program.bin";
    WriteBenchProgram(program);

    // The simulator answers at once (no added latency) and paces its bytes at the line's speed.
    const fs::path link = work / "instrument";
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return 1;
    }
    const pid_t simulator = Spawn({(build / "sim" / "vektal-sim").string(), "--latency", "0",
                                   "--link", link.string(), "--memory", program.string()},
                                  pipeFds[1]);
    char first[64];
    if (read(pipeFds[0], first, sizeof first) <= 0) {
        std::fprintf(stderr, "vektal-sim did not start\n");
        return 1;
    }

    const auto lineS = [](double bytes) { return bytes * wire::BitsPerByte / wire::BaudRate; };
    struct Job {
        const char* name;
        const char* command;
        const char* pace;
        double waitsS;
        double lineS;
    };
    const Job jobs[] = {
        {"read 512", "read", "standard", 512 * 0.100, lineS(512.0 * (4 + 260))},
        {"read 512", "read", "fast", 512 * 0.100, lineS(512.0 * (4 + 260))},
        {"write 506", "write", "standard", 506 * 0.120, lineS(506.0 * (260 + 1))},
        {"write 506", "write", "fast", 506 * 0.120, lineS(506.0 * (260 + 1))},
    };
    std::printf(
        "| run | pace | wall s | / waits' bound | / line's bound | CPU share | peak MiB |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    int failures = 0;
    for (const Job& j : jobs) {
        const fs::path file = work / (std::string(j.command) + ".bin");
        const Measured m = RunTool({(build / "cli" / "vektal-cli").string(), j.command, "--port",
                                    link.string(), "--pace", j.pace, "--quiet",
                                    (std::string(j.command) == "read" ? file : program).string()});
        failures += m.status != 0;
        std::printf("| %s | %s | %.2f | %.3f | %.3f | %.2f %% | %.1f |%s\n", j.name, j.pace,
                    m.wallS, m.wallS / j.waitsS, m.wallS / j.lineS, 100 * m.cpuS / m.wallS,
                    m.peakKiB / 1024.0, m.status == 0 ? "" : " FAILED");
        std::fflush(stdout);
    }
    kill(simulator, SIGTERM);
    waitpid(simulator, nullptr, 0);
    fs::remove_all(work);
    return failures == 0 ? 0 : 1;
}
