// vektal-sim: the ВЕКТАЛ-7 instrument, simulated behind a pseudo-terminal.
// The first line of output is the device path to open.

#include "FaultNames.h"
#include "PtyInstrument.h"

#include "SimulatedPorts.h"
#include "images/ProgramFile.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    stopRequested = true;
}

struct Options {
    std::string memoryFile;
    std::string saveFile;
    std::string link;
    bool linkGiven = false;
    bool powerOnEnter = false;
    int repeatAfterMs = -1; // announce again this long after a run, for benches
    bool pace = true;
    double latencyMs = 1.0;
    std::vector<sim::FaultRule> faults;
};

void Usage(std::ostream& out) {
    out << "usage: vektal-sim [options]\n"
           "  --memory FILE     start with this program (.bin) instead of an erased memory\n"
           "  --save FILE       write the memory (131072 bytes) to FILE on exit\n"
           "  --link PATH       make a symbolic link to the device at PATH; a NAME without\n"
           "                    a slash goes where the tools list it among the ports\n"
           "                    (default: "
        << (SimulatedPortsFolder() / "vektal-sim").string()
        << "; --link - for none)\n"
           "  --power-on open   send \"!\" by itself each time a program opens the port (default)\n"
           "  --power-on enter  send \"!\" each time Enter is pressed (a line typed\n"
           "                    before Enter is sent instead)\n"
           "  --repeat-after MS announce again MS after a run has ended, as a bench\n"
           "                    where the next unit is plugged in\n"
           "  --latency MS      how soon the instrument begins to answer (default 1)\n"
           "  --no-pace         send replies at once instead of at 57600 baud\n"
           "  --fault F         misbehave; F is NAME[@SECTOR][xTIMES], NAME one of\n"
           "                    "
        << sim::FaultNameList() << "\n";
}

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--no-pace") {
            o.pace = false;
        } else if (a == "--help" || a == "-h") {
            Usage(std::cout);
            std::exit(0);
        } else if (!(v = value())) {
            std::cerr << "vektal-sim: " << a << " needs a value\n";
            return false;
        } else if (a == "--memory") {
            o.memoryFile = v;
        } else if (a == "--save") {
            o.saveFile = v;
        } else if (a == "--link") {
            o.link = v;
            o.linkGiven = true;
        } else if (a == "--power-on" &&
                   (std::strcmp(v, "open") == 0 || std::strcmp(v, "enter") == 0)) {
            o.powerOnEnter = std::strcmp(v, "enter") == 0;
        } else if (a == "--repeat-after") {
            o.repeatAfterMs = std::atoi(v);
        } else if (a == "--latency") {
            o.latencyMs = std::atof(v);
        } else if (a == "--fault") {
            const auto rule = sim::ParseFaultRule(v);
            if (!rule) {
                std::cerr << "vektal-sim: unknown fault " << v << "\n";
                return false;
            }
            o.faults.push_back(*rule);
        } else {
            std::cerr << "vektal-sim: unknown option " << a << "\n";
            return false;
        }
    }
    return true;
}

bool LoadMemory(const std::string& file, sim::InstrumentModel& model) {
    ProgramImages images;
    if (LoadProgramFile(images, PathFromUtf8(file)).outcome != LoadOutcome::Loaded) {
        std::cerr << "vektal-sim: cannot load " << file << "\n";
        return false;
    }
    std::copy_n(images.FileImage.begin(), sim::MemorySize, model.memory.begin());
    return true;
}

// The memory as the instrument ends with it, for a test or a person to look at.
bool SaveMemory(const std::string& file, const sim::InstrumentModel& model) {
    std::ofstream out(PathFromUtf8(file), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(model.memory.data()),
              static_cast<std::streamsize>(model.memory.size()));
    out.close();
    return !out.fail();
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        Usage(std::cerr);
        return 2;
    }
    sim::InstrumentModel model;
    model.latencyMs = o.latencyMs;
    model.faults = o.faults;
    if (!o.memoryFile.empty() && !LoadMemory(o.memoryFile, model)) {
        return 2;
    }

    sim::PtyOptions ptyOptions;
    ptyOptions.paceLine = o.pace;
    ptyOptions.holdFarEnd = o.powerOnEnter;
    ptyOptions.powerOnWhenOpened = !o.powerOnEnter;
    sim::PtyInstrument pty(model, ptyOptions);
    pty.onOpenChange = [](bool opened) {
        std::cerr << (opened ? "Порт открыт, прибор включается\n"
                             : "Порт закрыт, прибор выключен\n");
    };

    // A name alone goes into the folder where the tools look.
    const bool listed = !o.linkGiven || o.link.find('/') == std::string::npos;
    std::filesystem::path link = !o.linkGiven ? SimulatedPortsFolder() / "vektal-sim"
                                 : listed     ? SimulatedPortsFolder() / o.link
                                              : std::filesystem::path(o.link);
    std::error_code ec;
    if (o.link != "-") {
        std::filesystem::create_directories(link.parent_path(), ec);
        if (listed) { // the tools list only a folder that nobody else may write
            std::filesystem::permissions(link.parent_path(), std::filesystem::perms::owner_all, ec);
        }
        std::filesystem::remove(link, ec);
        std::filesystem::create_symlink(pty.DevicePath(), link, ec);
        if (ec) {
            std::cerr << "vektal-sim: cannot make " << link.string() << ": " << ec.message()
                      << "\n";
            link.clear();
        }
    } else {
        link.clear();
    }

    // A bench announces the next unit once the last run has been quiet for a while.
    using Clock = std::chrono::steady_clock;
    std::atomic<Clock::rep> lastPacket{0};
    std::atomic<bool> packetsSinceAnnounce{false};
    pty.onPacket = [&](char, int) {
        lastPacket = Clock::now().time_since_epoch().count();
        packetsSinceAnnounce = true;
    };
    auto announceAgainIfDue = [&] {
        const auto quiet = Clock::now() - Clock::time_point(Clock::duration(lastPacket.load()));
        if (o.repeatAfterMs >= 0 && packetsSinceAnnounce &&
            quiet >= std::chrono::milliseconds(o.repeatAfterMs)) {
            packetsSinceAnnounce = false;
            pty.PowerOn();
            std::cerr << "Прибор включен\n";
        }
    };

    std::cout << pty.DevicePath() << std::endl;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);

    // Standard input is read in small pieces, and only the start of a line is
    // kept, so that endless input neither grows the simulator nor stops a signal.
    constexpr std::size_t LongestLine = 64;
    std::string line;
    while (!stopRequested) {
        announceAgainIfDue();
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int pollMs = o.repeatAfterMs >= 0 ? 10 : 100;
        const int ready = o.powerOnEnter ? ::poll(&in, 1, pollMs) : (::usleep(pollMs * 1000), 0);
        if (ready <= 0) {
            continue;
        }
        char piece[256];
        const ssize_t n = ::read(STDIN_FILENO, piece, sizeof piece);
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (piece[i] != '\n') {
                if (line.size() < LongestLine) {
                    line.push_back(piece[i]);
                }
                continue;
            }
            // A line of text is sent as the greeting instead of "!".
            pty.Send(line.empty() ? sim::InstrumentModel::PowerOnText() : line);
            std::cerr << "Прибор включен\n";
            line.clear();
        }
    }

    if (!link.empty()) {
        std::filesystem::remove(link, ec);
    }
    int status = 0;
    if (!o.saveFile.empty()) {
        bool saved = false;
        pty.WithModel([&](sim::InstrumentModel& m) { saved = SaveMemory(o.saveFile, m); });
        if (!saved) {
            std::cerr << "vektal-sim: cannot save " << o.saveFile << "\n";
            status = 1;
        }
    }
    return status;
}
