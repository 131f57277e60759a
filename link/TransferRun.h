#pragma once

// The read and write runs over all sectors, and the handshake that starts them.

#include "SectorProtocol.h"

#include <string_view>

// Which run the next handshake starts.
inline constexpr int ModeNone = 0;
inline constexpr int ModeRead = 1;
inline constexpr int ModeWrite = 2;
inline constexpr int ModeWriteWithCheck = 3;

// What a run shows while it goes: the wait window, the command line, a test.
class TransferView {
public:
    virtual ~TransferView() = default;
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetInfo(std::string_view text) = 0;
    virtual void SetSaveEnabled(bool enabled) = 0;
};

// The instrument announces itself with 1 to 3 characters, one of them "!".
bool IsHandshake(std::string_view text);

// NotLoaded: a write found no completely loaded program and sent nothing.
enum class RunOutcome { Done, SectorFailed, CheckFailed, NotLoaded };

// Reads sectors 0..511 into DeviceImage; a sector is tried twice.
// A line error ends the run as a failed one and is passed on to the caller.
RunOutcome ReadProgram(SectorProtocol& protocol, TransferView& view);

// Writes sectors 0..min(SectorCount, 506)-1 of FileImage; a sector is tried
// twice. With check, each acknowledged sector is read back and compared.
// Without a completely loaded program it sends nothing and fails.
RunOutcome WriteProgram(SectorProtocol& protocol, TransferView& view, bool check);

// What the handshake does for the armed mode: the state line, then the run.
RunOutcome RunTransfer(int mode, SectorProtocol& protocol, TransferView& view);
