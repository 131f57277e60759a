#include "CliView.h"

#include "images/OperatorTexts.h"
#include "images/ProgramImages.h"

#include <string>

void CliView::SetProgressRange(int, int maximum) {
    maximum_ = maximum;
    start_ = std::chrono::steady_clock::now();
}

void CliView::SetProgressPosition(int position) {
    if (quiet_ || maximum_ <= 0 || position <= 0) {
        return;
    }
    constexpr int PlainLineEvery = 64;
    if (!terminal_) {
        if (position % PlainLineEvery == 0 || position == maximum_) {
            std::fprintf(out_, "%.*s %d/%d\n", static_cast<int>(texts::ProgressSector.size()),
                         texts::ProgressSector.data(), position, maximum_);
            std::fflush(out_);
        }
        return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const int done = position - 1; // the sector in hand is not through yet
    const double rate = seconds > 0 && done > 0 ? done * double(SectorSize) / seconds : 0;
    const int left = rate > 0 ? static_cast<int>((maximum_ - done) * double(SectorSize) / rate) : 0;
    constexpr int Width = 30;
    const int filled = Width * position / maximum_;
    std::fprintf(out_, "\r[%s%s] %.*s %d/%d %3d%% %6.0f B/s %.*s %d:%02d ",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(Width - filled), '.').c_str(),
                 static_cast<int>(texts::ProgressSector.size()), texts::ProgressSector.data(),
                 position, maximum_, 100 * position / maximum_, rate,
                 static_cast<int>(texts::ProgressLeft.size()), texts::ProgressLeft.data(),
                 left / 60, left % 60);
    std::fflush(out_);
    barShown_ = true;
}

void CliView::SetInfo(std::string_view text) {
    // Only the "in progress" texts are shown here; results are the caller's to print.
    if (quiet_ || (text != texts::InfoReading && text != texts::InfoWriting)) {
        return;
    }
    std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
}

void CliView::Finish() {
    if (barShown_) {
        std::fputc('\n', out_);
        barShown_ = false;
    }
}
