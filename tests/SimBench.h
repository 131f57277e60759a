#pragma once

// The simulated instrument on a simulated line, with the core wired to it.

#include "link/TransferRun.h"
#include "sim/SimulatedLine.h"

#include <string>
#include <vector>

struct RecordingView : TransferView {
    int rangeMin = -1, rangeMax = -1, position = -1;
    std::vector<std::string> infos;
    int saveEnabled = -1; // -1 untouched, 0 disabled, 1 enabled

    void SetProgressRange(int minimum, int maximum) override {
        rangeMin = minimum;
        rangeMax = maximum;
    }
    void SetProgressPosition(int p) override { position = p; }
    void SetInfo(std::string_view text) override { infos.emplace_back(text); }
    void SetSaveEnabled(bool enabled) override { saveEnabled = enabled ? 1 : 0; }
    std::string info() const { return infos.empty() ? "" : infos.back(); }
};

struct SimBench {
    ProgramImages images;
    sim::InstrumentModel instrument;
    sim::SimClock clock;
    sim::SimulatedLine line{instrument, clock};
    sim::SimPump pump{clock};
    SectorProtocol protocol{images, line, pump};
    RecordingView view;

    // Fills the instrument's memory with a pattern that differs in every sector.
    void FillInstrument() {
        for (std::size_t i = 0; i < instrument.memory.size(); ++i) {
            instrument.memory[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
        }
    }
    // Pretends a program of size bytes was loaded.
    void LoadProgram(std::size_t size) {
        images.FileImage.fill(0xFF);
        for (std::size_t i = 0; i < size; ++i) {
            images.FileImage[i] = static_cast<std::uint8_t>(i * 13 + 5);
        }
        images.ProgramSize = size;
        images.SectorCount = static_cast<int>((size + 255) / 256);
        images.ProgramLoaded = 1;
    }
};
