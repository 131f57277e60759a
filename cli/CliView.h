#pragma once

// Progress of a run on standard error: a bar on a terminal, a plain line every
// 64 sectors otherwise, nothing when quiet.

#include "link/TransferRun.h"

#include <chrono>
#include <cstdio>

class CliView : public TransferView {
public:
    CliView(std::FILE* out, bool terminal, bool quiet)
        : out_(out), terminal_(terminal), quiet_(quiet) {}

    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPosition(int position) override;
    void SetInfo(std::string_view text) override;
    void SetSaveEnabled(bool) override {}
    // Ends the bar's line.
    void Finish();

private:
    std::FILE* out_;
    bool terminal_;
    bool quiet_;
    int maximum_ = 0;
    bool barShown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};
