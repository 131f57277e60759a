#pragma once

// vektal-cli station: one program written into many instruments, each port on
// a thread of its own, every instrument recorded.

#include "link/SectorProtocol.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>

struct StationArguments {
    std::filesystem::path file;
    QStringList ports; // as given: COM1..COM8 or device paths
    bool verify = false;
    Pace pace = Pace::Standard;
    std::optional<std::filesystem::path> log;
    std::optional<int> count; // instruments in all, then stop
    bool quiet = false;
    QString toolVersion;
};

// Runs until Ctrl-C or --count; returns the exit status: 0 every recorded run
// ended well, 1 any failed, 130 interrupted with every run before it good,
// 2 the file cannot be loaded or the log written, 3 a port cannot be opened.
int RunStation(const StationArguments& arguments);
