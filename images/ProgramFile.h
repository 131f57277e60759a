#pragma once

// Loading a .bin program into FileImage, saving DeviceImage, comparing the two.
// Each operation returns what happened; the front ends decide how to show it.

#include "OperatorTexts.h"
#include "ProgramImages.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

enum class LoadOutcome { Loaded, TooLarge, CannotRead };

struct LoadResult {
    LoadOutcome outcome = LoadOutcome::CannotRead;
    // Label texts, filled only when loaded: file name without folder, full path
    // (the name label's tool tip), size and sector count in decimal.
    std::string fileName;
    std::string fullPath;
    std::string sizeText;
    std::string sectorsText;
};

LoadResult LoadProgramFile(ProgramImages& images, const std::filesystem::path& path);

enum class SaveOutcome { Saved, Failed };

// What a save writes: the first MaxProgramSize bytes of DeviceImage.
std::span<const std::uint8_t> SavedBytes(const ProgramImages& images);

enum class CompareOutcome { ImageMissing, Equal, Different };

struct ByteDifference {
    std::size_t offset;
    std::uint8_t fileByte;
    std::uint8_t deviceByte;
};

struct CompareResult {
    CompareOutcome outcome = CompareOutcome::ImageMissing;
    std::size_t differences = 0;
    std::vector<ByteDifference> first; // the first differences, up to the limit asked for
};

CompareResult CompareImages(const ProgramImages& images, std::size_t keepFirst = 0);

// A message box whose text may carry a number.
struct ShownMessage {
    std::string text;
    std::string_view caption;
    texts::MessageIcon icon;
};

// The message box that reports a comparison, e.g. "Количество обнаруженных ошибок = 3".
ShownMessage CompareMessage(const CompareResult& result);

// UTF-8 text to a path and back, the same on every platform.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string PathToUtf8(const std::filesystem::path& path);
