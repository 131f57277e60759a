#include "ProgramFile.h"

#include <algorithm>
#include <fstream>
#include <system_error>

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

LoadResult LoadProgramFile(ProgramImages& images, const std::filesystem::path& path) {
    images.ProgramLoaded = 0;
    LoadResult result;

    // Only a regular file: a pipe or a device would block the open or never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        result.outcome = LoadOutcome::CannotRead;
        return result;
    }
    // Opened for reading only: a read-only file or medium still loads.
    std::ifstream file(path, std::ios::binary);
    const auto size = std::filesystem::file_size(path, ec);
    if (!file.is_open() || ec) {
        result.outcome = LoadOutcome::CannotRead;
        return result;
    }
    if (size > MaxProgramSize) {
        result.outcome = LoadOutcome::TooLarge;
        return result;
    }

    images.ProgramSize = static_cast<std::size_t>(size);
    images.SectorCount = static_cast<int>((images.ProgramSize + SectorSize - 1) / SectorSize);
    std::fill(images.FileImage.begin(), images.FileImage.end(), std::uint8_t{0xFF});
    file.read(reinterpret_cast<char*>(images.FileImage.data()),
              static_cast<std::streamsize>(images.ProgramSize));
    if (static_cast<std::size_t>(file.gcount()) != images.ProgramSize) {
        result.outcome = LoadOutcome::CannotRead;
        return result;
    }

    result.outcome = LoadOutcome::Loaded;
    result.fileName = PathToUtf8(path.filename());
    result.fullPath = PathToUtf8(path);
    result.sizeText = std::to_string(images.ProgramSize);
    result.sectorsText = std::to_string(images.SectorCount);
    images.ProgramLoaded = 1;
    return result;
}

std::span<const std::uint8_t> SavedBytes(const ProgramImages& images) {
    return {images.DeviceImage.data(), MaxProgramSize};
}

CompareResult CompareImages(const ProgramImages& images, std::size_t keepFirst) {
    CompareResult result;
    if (images.ProgramLoaded != 1 || images.DeviceImageValid != 1) {
        result.outcome = CompareOutcome::ImageMissing;
        return result;
    }
    const std::size_t n = std::min(images.ProgramSize, ComparedBytes);
    for (std::size_t i = 0; i < n; ++i) {
        if (images.FileImage[i] != images.DeviceImage[i]) {
            if (result.first.size() < keepFirst) {
                result.first.push_back({i, images.FileImage[i], images.DeviceImage[i]});
            }
            ++result.differences;
        }
    }
    result.outcome = result.differences > 0 ? CompareOutcome::Different : CompareOutcome::Equal;
    return result;
}

ShownMessage CompareMessage(const CompareResult& result) {
    auto shown = [](const texts::OperatorMessage& m, std::string text) {
        return ShownMessage{std::move(text), m.caption, m.icon};
    };
    switch (result.outcome) {
    case CompareOutcome::ImageMissing:
        return shown(texts::ImageMissing, std::string(texts::ImageMissing.text));
    case CompareOutcome::Equal:
        return shown(texts::ImagesEqual, std::string(texts::ImagesEqual.text));
    case CompareOutcome::Different:
        break;
    }
    return shown(texts::DifferencesFound,
                 std::string(texts::DifferencesFound.text) + std::to_string(result.differences));
}
