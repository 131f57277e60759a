#include "SimBench.h"

#include <gtest/gtest.h>

namespace {

using sim::Fault;
using Bytes = std::vector<std::uint8_t>;

TEST(PacketChecksumTest, IsTheTwosComplementOfTheSum) {
    SimBench b;
    auto& p = b.protocol.SectorPacket;
    p.fill(0);
    EXPECT_EQ(b.protocol.PacketChecksum(0), 0);
    EXPECT_EQ(b.protocol.PacketChecksum(-3), 0);
    p[0] = 0x52;
    p[1] = 0x2C;
    p[2] = 0x01;
    EXPECT_EQ(b.protocol.PacketChecksum(3), 0x81);
    // 259 bytes adding up to 0x134 carry 0xCC.
    p.fill(0);
    p[0] = 0x57;
    p[10] = 0xFF;
    p[258] = 0x134 - 0x57 - 0xFF;
    EXPECT_EQ(b.protocol.PacketChecksum(259), 0xCC);
    p[259] = 0xCC;
    EXPECT_EQ(b.protocol.PacketChecksum(260), 0);
}

TEST(ReadSectorTest, RequestsAndStoresTheSector) {
    SimBench b;
    b.FillInstrument();
    ASSERT_EQ(b.protocol.ReadSector(300), 0);
    EXPECT_EQ(b.line.hostToInstrument, (Bytes{0x52, 0x2C, 0x01, 0x81}));
    ASSERT_EQ(b.line.instrumentToHost.size(), 260u);
    EXPECT_EQ(b.line.instrumentToHost[0], 'R');
    EXPECT_EQ(b.line.instrumentToHost[1], 0x2C);
    EXPECT_EQ(b.line.instrumentToHost[2], 0x01);
    EXPECT_TRUE(std::equal(b.instrument.memory.begin() + 300 * 256,
                           b.instrument.memory.begin() + 301 * 256,
                           b.images.DeviceImage.begin() + 300 * 256));
    EXPECT_EQ(b.images.DeviceImage[299 * 256 + 255], 0);
    EXPECT_EQ(b.images.DeviceImage[301 * 256], 0);
    EXPECT_EQ(b.clock.nowMs(), 100.0);
    EXPECT_EQ(b.pump.delays, (std::vector<int>{100}));
    EXPECT_EQ(b.line.purges, 0) << "nothing is discarded before a read request";
}

TEST(ReadSectorTest, BadRepliesFail) {
    struct Case {
        const char* name;
        Fault fault;
        int result;
        std::size_t leftWaiting;
    };
    const Case cases[] = {
        {"no reply", Fault::NoReply, 1, 0},           {"259 bytes", Fault::ShortReply, 1, 259},
        {"261 bytes", Fault::LongReply, 1, 261},      {"late reply", Fault::LateReply, 1, 0},
        {"wrong checksum", Fault::BadChecksum, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimBench b;
        b.FillInstrument();
        b.instrument.faults = {{c.fault}};
        EXPECT_EQ(b.protocol.ReadSector(7), c.result);
        EXPECT_TRUE(std::all_of(b.images.DeviceImage.begin(), b.images.DeviceImage.end(),
                                [](std::uint8_t x) { return x == 0; }));
        if (c.fault != Fault::LateReply) {
            EXPECT_EQ(b.line.BytesWaiting(), c.leftWaiting);
        } else {
            EXPECT_GT(b.line.BytesWaiting(), 0u);
            EXPECT_LT(b.line.BytesWaiting(), 260u);
        }
    }
}

TEST(ReadSectorTest, WrongHeaderWithRightChecksumIsAccepted) {
    SimBench b;
    b.FillInstrument();
    b.instrument.faults = {{Fault::WrongHeader}};
    ASSERT_EQ(b.protocol.ReadSector(5), 0);
    EXPECT_EQ(b.images.DeviceImage[5 * 256 + 10], b.instrument.memory[5 * 256 + 10]);
}

TEST(ReadSectorTest, ReplyMustBeInWithinTheWait) {
    // The reply takes 45.1 ms on the line after the 0.7 ms request: an answer
    // that starts 54 ms late is still in at 100 ms, one at 55 ms is not.
    for (auto [latency, result] : {std::pair{54.0, 0}, {55.0, 1}}) {
        SimBench b;
        b.instrument.latencyMs = latency;
        EXPECT_EQ(b.protocol.ReadSector(0), result) << latency;
    }
}

TEST(WriteSectorTest, SendsThePacketAndJudgesTheReply) {
    struct Case {
        const char* name;
        std::vector<sim::FaultRule> faults;
        int result;
        std::string reply;
    };
    const Case cases[] = {
        {"acknowledged", {}, 0, "!"},
        {"acknowledged with more", {{Fault::AckWithExtra}}, 0, "!OK\r\n"},
        {"other first character", {{Fault::BadAck}}, 2, "?!"},
        {"no reply", {{Fault::NoReply}}, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimBench b;
        b.LoadProgram(1024);
        b.instrument.faults = c.faults;
        EXPECT_EQ(b.protocol.WriteSector(2), c.result);
        EXPECT_EQ(b.protocol.LastReply, c.reply);
        ASSERT_EQ(b.line.hostToInstrument.size(), 260u);
        const Bytes& sent = b.line.hostToInstrument;
        EXPECT_EQ(sent[0], 'W');
        EXPECT_EQ(sent[1], 2);
        EXPECT_EQ(sent[2], 0);
        EXPECT_TRUE(
            std::equal(sent.begin() + 3, sent.begin() + 259, b.images.FileImage.begin() + 512));
        std::uint8_t sum = 0;
        for (auto x : sent) {
            sum = static_cast<std::uint8_t>(sum + x);
        }
        EXPECT_EQ(sum, 0);
        EXPECT_EQ(b.line.purges, 1);
        EXPECT_EQ(b.clock.nowMs(), 120.0);
    }
}

TEST(WriteSectorTest, SectorNumberGoesLowByteFirst) {
    SimBench b;
    b.LoadProgram(131072);
    EXPECT_EQ(b.protocol.WriteSector(505), 0);
    EXPECT_EQ(b.line.hostToInstrument[1], 505 & 0xFF);
    EXPECT_EQ(b.line.hostToInstrument[2], 505 >> 8);
    EXPECT_TRUE(std::equal(b.instrument.memory.begin() + 505 * 256,
                           b.instrument.memory.begin() + 506 * 256,
                           b.images.FileImage.begin() + 505 * 256));
}

} // namespace

namespace {

TEST(PaceTest, FastPaceGoesOnAsSoonAsTheReplyIsIn) {
    // The line's share of each exchange: a read's 4-byte request and 260-byte
    // reply, a write's 260-byte packet and its acknowledgement.
    const double readLineMs = (4 + 260) * wire::ByteTimeMs;
    const double writeLineMs = (260 + 1) * wire::ByteTimeMs;
    for (const double latency : {0.0, 1.0, 30.0}) {
        SCOPED_TRACE(latency);
        SimBench b;
        b.FillInstrument();
        b.LoadProgram(512);
        b.instrument.latencyMs = latency;
        b.protocol.SetPace(Pace::Fast);
        ASSERT_EQ(b.protocol.ReadSector(3), 0);
        EXPECT_GE(b.clock.nowMs(), readLineMs + latency);
        EXPECT_LE(b.clock.nowMs(), readLineMs + latency + 2) << "goes on once the reply is in";
        EXPECT_EQ(b.images.DeviceImage[3 * 256 + 9], b.instrument.memory[3 * 256 + 9]);
        const double before = b.clock.nowMs();
        ASSERT_EQ(b.protocol.WriteSector(1), 0);
        EXPECT_GE(b.clock.nowMs() - before, writeLineMs + latency);
        EXPECT_LE(b.clock.nowMs() - before, writeLineMs + latency + 2);
    }
}

TEST(PaceTest, FastPaceStillGivesUpAtTheLimit) {
    SimBench b;
    b.protocol.SetPace(Pace::Fast);
    b.instrument.faults = {{Fault::NoReply}};
    EXPECT_EQ(b.protocol.ReadSector(0), 1);
    EXPECT_EQ(b.clock.nowMs(), 100.0);
    EXPECT_EQ(b.protocol.WriteSector(0), 1);
    EXPECT_EQ(b.clock.nowMs(), 220.0);
}

} // namespace
