#include "InstrumentModel.h"

#include "link/WireConstants.h"

#include <algorithm>
#include <numeric>

namespace sim {

namespace {

std::uint8_t Sum(const std::vector<std::uint8_t>& bytes, std::size_t n) {
    return static_cast<std::uint8_t>(
        std::accumulate(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), 0u));
}

bool FaultAppliesTo(Fault fault, bool isRead) {
    switch (fault) {
    case Fault::NoReply:
    case Fault::LateReply:
        return true;
    case Fault::BadAck:
    case Fault::AckWithExtra:
    case Fault::LostWrite:
        return !isRead;
    default:
        return isRead;
    }
}

} // namespace

InstrumentModel::InstrumentModel() {
    memory.fill(0xFF);
}

std::optional<Reply> InstrumentModel::Receive(std::uint8_t byte) {
    if (pending_.empty() && byte != wire::ReadCommand && byte != wire::WriteCommand) {
        return std::nullopt; // not the start of a packet: resynchronise
    }
    pending_.push_back(byte);
    const std::size_t wanted =
        pending_[0] == wire::ReadCommand ? wire::ReadRequestLength : wire::PacketLength;
    if (pending_.size() < wanted) {
        return std::nullopt;
    }
    auto reply = Answer();
    pending_.clear();
    return reply;
}

std::optional<Fault> InstrumentModel::TakeFault(bool isRead, int sector) {
    for (auto& rule : faults) {
        if (rule.times == 0 || !FaultAppliesTo(rule.fault, isRead)) {
            continue;
        }
        if (rule.sector >= 0 && rule.sector != sector) {
            continue;
        }
        if (rule.times > 0) {
            --rule.times;
        }
        return rule.fault;
    }
    return std::nullopt;
}

std::optional<Reply> InstrumentModel::Answer() {
    const int sector = pending_[1] | (pending_[2] << 8);
    const bool intact = Sum(pending_, pending_.size()) == 0;
    lastCommand = static_cast<char>(pending_[0]);
    lastSector = sector;
    if (pending_[0] == wire::ReadCommand) {
        ++readRequests;
        if (!intact || sector >= MemorySectors) {
            return std::nullopt;
        }
        return AnswerRead(sector);
    }
    ++writePackets;
    if (!intact || sector >= MemorySectors) {
        return Reply{{'?'}, latencyMs};
    }
    return AnswerWrite(sector);
}

std::optional<Reply> InstrumentModel::AnswerRead(int sector) {
    const auto fault = TakeFault(true, sector);
    if (fault == Fault::NoReply) {
        return std::nullopt;
    }
    Reply reply;
    reply.latencyMs = fault == Fault::LateReply ? lateLatencyMs : latencyMs;
    auto& b = reply.bytes;
    b.assign(wire::PacketLength, 0);
    b[0] = wire::ReadCommand;
    b[1] = static_cast<std::uint8_t>(sector & 0xFF);
    b[2] = static_cast<std::uint8_t>(sector >> 8);
    if (fault == Fault::WrongHeader) {
        b[0] = 'X';
        b[1] = static_cast<std::uint8_t>(b[1] ^ 0x55);
    }
    std::copy_n(memory.begin() + sector * 256, 256, b.begin() + wire::HeaderLength);
    b[wire::ChecksumOffset] = static_cast<std::uint8_t>(256 - Sum(b, wire::ChecksumOffset));
    if (fault == Fault::BadChecksum) {
        b[wire::ChecksumOffset] = static_cast<std::uint8_t>(b[wire::ChecksumOffset] + 1);
    } else if (fault == Fault::ShortReply) {
        b.pop_back();
    } else if (fault == Fault::LongReply) {
        b.push_back(0);
    } else if (fault == Fault::SplitReply) {
        reply.pauseMs = splitPauseMs;
    }
    return reply;
}

std::optional<Reply> InstrumentModel::AnswerWrite(int sector) {
    const auto fault = TakeFault(false, sector);
    if (fault == Fault::NoReply) {
        return std::nullopt;
    }
    if (fault == Fault::BadAck) {
        return Reply{{'?', '!'}, latencyMs};
    }
    if (fault != Fault::LostWrite) {
        std::copy_n(pending_.begin() + wire::HeaderLength, 256, memory.begin() + sector * 256);
    }
    Reply reply{{static_cast<std::uint8_t>(wire::Acknowledge)}, latencyMs};
    if (fault == Fault::LateReply) {
        reply.latencyMs = lateLatencyMs;
    } else if (fault == Fault::AckWithExtra) {
        reply.bytes.insert(reply.bytes.end(), {'O', 'K', '\r', '\n'});
    }
    return reply;
}

} // namespace sim
