#pragma once

// Saving DeviceImage to a .bin file, for both front ends.

#include "images/ProgramFile.h"

#include <QString>

#include <filesystem>

// Writes the first 131072 bytes of DeviceImage to path. The file there stays
// whole until the new one is complete and on the disk; a symbolic link keeps
// leading to its file, which gets the data and keeps its permissions. A target
// that may not be written, or that is not a regular file, is left untouched.
// The path is the system's own name, which need not be valid text.
SaveOutcome SaveDeviceImage(const ProgramImages& images, const std::filesystem::path& path);
SaveOutcome SaveDeviceImage(const ProgramImages& images, const QString& path);

// Whether a save to path stands a chance: a regular file the user may write,
// or a new name in a folder the user may write. Checked before a long read.
bool CanSaveTo(const std::filesystem::path& path);
