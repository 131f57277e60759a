#include "TransferRun.h"

#include "images/OperatorTexts.h"

#include <algorithm>
#include <array>

bool IsHandshake(std::string_view text) {
    return !text.empty() && text.size() <= wire::HandshakeMaxLength &&
           text.find(wire::Handshake) != std::string_view::npos;
}

namespace {

int ReadWithRetry(SectorProtocol& protocol, int s, std::span<std::uint8_t, SectorSize> dest) {
    if (protocol.ReadSectorInto(s, dest) == 0) {
        return 0;
    }
    ++protocol.SectorsRetried;
    protocol.DrainReceiveQueue();
    return protocol.ReadSectorInto(s, dest);
}

int WriteWithRetry(SectorProtocol& protocol, int s) {
    if (protocol.WriteSector(s) == 0) {
        return 0;
    }
    ++protocol.SectorsRetried;
    return protocol.WriteSector(s);
}

bool ReadsBackSame(SectorProtocol& protocol, int s) {
    std::array<std::uint8_t, SectorSize> scratch{};
    // Whatever followed the acknowledgement must not count as the reply.
    protocol.line().Purge();
    if (ReadWithRetry(protocol, s, scratch) != 0) {
        return false;
    }
    const auto sent = protocol.images().fileSector(s);
    return std::equal(sent.begin(), sent.end(), scratch.begin());
}

void MarkReadFailed(ProgramImages& images, TransferView& view) {
    view.SetInfo(texts::InfoReadFailed);
    images.DeviceImageValid = 0;
    view.SetSaveEnabled(false);
}

} // namespace

RunOutcome ReadProgram(SectorProtocol& protocol, TransferView& view) {
    ProgramImages& images = protocol.images();
    images.DeviceImageValid = 0;
    view.SetProgressRange(0, DeviceSectors);
    view.SetProgressPosition(0);
    try {
        for (int k = 1; k <= DeviceSectors; ++k) {
            protocol.pump().ProcessMessages();
            view.SetProgressPosition(k);
            if (ReadWithRetry(protocol, k - 1, images.deviceSector(k - 1)) != 0) {
                MarkReadFailed(images, view);
                return RunOutcome::SectorFailed;
            }
        }
    } catch (...) {
        MarkReadFailed(images, view);
        throw;
    }
    view.SetInfo(texts::InfoReadDone);
    view.SetSaveEnabled(true);
    images.DeviceImageValid = 1;
    return RunOutcome::Done;
}

RunOutcome WriteProgram(SectorProtocol& protocol, TransferView& view, bool check) {
    // A load that failed after the write was armed leaves old bytes behind.
    if (protocol.images().ProgramLoaded != 1) {
        view.SetInfo(texts::InfoWriteFailed);
        return RunOutcome::NotLoaded;
    }
    const int n = std::min(protocol.images().SectorCount, WritableSectors);
    view.SetProgressRange(0, n);
    try {
        for (int s = 0; s < n; ++s) {
            view.SetProgressPosition(s + 1);
            if (WriteWithRetry(protocol, s) != 0) {
                view.SetInfo(texts::InfoWriteFailed);
                return RunOutcome::SectorFailed;
            }
            if (check && !ReadsBackSame(protocol, s)) {
                view.SetInfo(texts::InfoCheckFailed);
                return RunOutcome::CheckFailed;
            }
        }
    } catch (...) {
        view.SetInfo(texts::InfoWriteFailed);
        throw;
    }
    view.SetInfo(texts::InfoWriteDone);
    return RunOutcome::Done;
}

RunOutcome RunTransfer(int mode, SectorProtocol& protocol, TransferView& view) {
    if (mode == ModeRead) {
        view.SetInfo(texts::InfoReading);
        return ReadProgram(protocol, view);
    }
    if (mode == ModeWrite || mode == ModeWriteWithCheck) {
        view.SetInfo(texts::InfoWriting);
        return WriteProgram(protocol, view, mode == ModeWriteWithCheck);
    }
    return RunOutcome::Done; // nothing armed
}
