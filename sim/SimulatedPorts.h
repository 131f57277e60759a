#pragma once

// Where a simulated instrument announces its device, so that the tools can
// list it among the ports: a folder of symbolic links, each named after the
// instrument it leads to. It is the user's own, so that nobody else can plant
// a port there: in the user's runtime folder where there is one, otherwise a
// folder named for the user in the temporary folder.

#include <cstdlib>
#include <filesystem>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

inline std::filesystem::path SimulatedPortsFolder() {
#ifdef _WIN32
    return std::filesystem::temp_directory_path() / "vektal-ports";
#else
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        return std::filesystem::path(runtime) / "vektal-ports";
    }
    return std::filesystem::temp_directory_path() / ("vektal-ports-" + std::to_string(::getuid()));
#endif
}
