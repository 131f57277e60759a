// Station benchmark: 1, 4 and 16 simulated instruments written at once by
// vektal-cli station, each with the whole 506 sectors at the fast pace.
//
//   station-bench BUILD_DIR
//
// For each batch: the wall time, its ratio to the time of one instrument
// alone, and the station's processor time as a share of one core, in all and
// per instrument.

#include "BenchProcess.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <signal.h>

namespace fs = std::filesystem;
using namespace bench;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: station-bench BUILD_DIR\n");
        return 2;
    }
    const fs::path build = fs::absolute(argv[1]);
    const fs::path work =
        fs::temp_directory_path() / ("vektal-station-" + std::to_string(getpid()));
    fs::create_directories(work);
    const fs::path program = work / "program.bin";
    WriteBenchProgram(program);

    std::printf("| instruments | wall s | / one alone | CPU share | CPU share per instrument |\n");
    std::printf("|---|---|---|---|---|\n");
    double alone = 0;
    int failures = 0;
    for (const int count : {1, 4, 16}) {
        // Each simulator answers at once, paces its bytes at the line's speed and
        // switches on as soon as the station opens its port.
        std::vector<pid_t> simulators;
        std::vector<std::string> station{(build / "cli" / "vektal-cli").string(),
                                         "station",
                                         "write",
                                         program.string(),
                                         "--pace",
                                         "fast",
                                         "--quiet",
                                         "--count",
                                         std::to_string(count)};
        for (int i = 0; i < count; ++i) {
            int pipeFds[2];
            if (pipe(pipeFds) != 0) {
                return 1;
            }
            simulators.push_back(Spawn({(build / "sim" / "vektal-sim").string(), "--latency", "0",
                                        "--link", "-", "--power-on", "open"},
                                       pipeFds[1]));
            close(pipeFds[1]);
            char device[64] = {};
            const ssize_t n = read(pipeFds[0], device, sizeof device - 1);
            close(pipeFds[0]);
            if (n <= 0) {
                std::fprintf(stderr, "vektal-sim did not start\n");
                return 1;
            }
            station.insert(station.end(),
                           {"--port", std::string(device, std::strcspn(device, "\n"))});
        }
        const Measured m = RunTool(station);
        for (const pid_t s : simulators) {
            kill(s, SIGTERM);
            waitpid(s, nullptr, 0);
        }
        alone = count == 1 ? m.wallS : alone;
        failures += m.status != 0;
        std::printf("| %d | %.2f | %.3f | %.2f %% | %.3f %% |%s\n", count, m.wallS, m.wallS / alone,
                    100 * m.cpuS / m.wallS, 100 * m.cpuS / m.wallS / count,
                    m.status == 0 ? "" : " FAILED");
        std::fflush(stdout);
    }
    fs::remove_all(work);
    return failures == 0 ? 0 : 1;
}
