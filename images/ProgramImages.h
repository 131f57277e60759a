#pragma once

// The two in-memory images of the instrument's program and their flags.
// One object of this type is owned by the front end and handed to the code
// that loads, saves, compares, reads and writes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t MaxProgramSize = 131072;
inline constexpr std::size_t SectorSize = 256;
inline constexpr int WritableSectors = 506;
inline constexpr int DeviceSectors = 512;
inline constexpr std::size_t ImageBufferSize = 150000;
inline constexpr std::size_t ComparedBytes = WritableSectors * SectorSize;

struct ProgramImages {
    std::array<std::uint8_t, ImageBufferSize> FileImage{};
    std::array<std::uint8_t, ImageBufferSize> DeviceImage{};
    std::size_t ProgramSize = 0;
    int SectorCount = 0;
    int ProgramLoaded = 0;
    int DeviceImageValid = 0;

    std::span<std::uint8_t, SectorSize> deviceSector(int s) {
        return std::span<std::uint8_t, SectorSize>(DeviceImage.data() + s * SectorSize, SectorSize);
    }
    std::span<const std::uint8_t, SectorSize> fileSector(int s) const {
        return std::span<const std::uint8_t, SectorSize>(FileImage.data() + s * SectorSize,
                                                         SectorSize);
    }
};
