#pragma once

// Where a simulated instrument announces its device, so that the tools can
// list it among the ports: a folder of symbolic links in the system's
// temporary folder, each named after the instrument it leads to.

#include <filesystem>

inline std::filesystem::path SimulatedPortsFolder() {
    return std::filesystem::temp_directory_path() / "vektal-ports";
}
