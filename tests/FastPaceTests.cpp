// The fast pace against instruments that answer late or in pieces: a run may
// fail, but it never ends well with data that is not the instrument's.

#include "SimBench.h"

#include <gtest/gtest.h>

namespace {

using sim::Fault;

bool SameSectors(const std::uint8_t* a, const std::uint8_t* b, int sectors) {
    return std::equal(a, a + sectors * SectorSize, b);
}

TEST(FastPaceTest, LateAcknowledgementOfAnEarlierAttemptIsNotTaken) {
    SimBench b;
    b.LoadProgram(1024);
    b.protocol.SetPace(Pace::Fast);
    // The first packet's "!" comes after the limit, while the second is on the line.
    b.instrument.faults = {{Fault::LateReply, 1, 1}, {Fault::NoReply, 1, 1}};
    EXPECT_EQ(b.protocol.WriteSector(1), 1);
    EXPECT_NE(b.protocol.WriteSector(1), 0);
    EXPECT_EQ(b.instrument.writePackets, 2);
}

TEST(FastPaceTest, ReadReplyMustNameTheSectorAskedFor) {
    SimBench b;
    b.FillInstrument();
    b.protocol.SetPace(Pace::Fast);
    b.instrument.faults = {{Fault::WrongHeader, 5, 1}};
    EXPECT_EQ(b.protocol.ReadSector(5), 2);
    EXPECT_EQ(b.images.DeviceImage[5 * 256], 0) << "nothing stored";
    EXPECT_EQ(b.protocol.ReadSector(5), 0);
    EXPECT_TRUE(SameSectors(b.images.DeviceImage.data() + 5 * 256,
                            b.instrument.memory.data() + 5 * 256, 1));
}

TEST(FastPaceTest, ReplyAlreadyWaitingIsNotTaken) {
    SimBench b;
    b.FillInstrument();
    b.protocol.SetPace(Pace::Fast);
    // A whole right reply to sector 9 that was there before the request.
    b.instrument.faults = {{Fault::NoReply, 9}};
    std::string stale(260, '\0');
    stale[0] = 'R';
    stale[1] = 9;
    std::uint8_t sum = 'R' + 9;
    for (int i = 0; i < 256; ++i) {
        stale[3 + i] = static_cast<char>(0x5A);
        sum = static_cast<std::uint8_t>(sum + 0x5A);
    }
    stale[259] = static_cast<char>(256 - sum);
    b.line.InstrumentSends(stale);
    b.clock.advanceNs(50'000'000);
    EXPECT_EQ(b.protocol.ReadSector(9), 1);
    EXPECT_EQ(b.images.DeviceImage[9 * 256], 0);
}

TEST(FastPaceTest, LateOrBrokenInstrumentsNeverEndWellWithWrongData) {
    struct Case {
        const char* name;
        int mode;
        std::vector<sim::FaultRule> faults;
        double latencyMs;
    };
    const Case cases[] = {
        {"every reply 120 ms late", ModeRead, {}, 120},
        {"every reply split after its first byte", ModeRead, {{Fault::SplitReply}}, 1},
        {"one late reply", ModeRead, {{Fault::LateReply, 100, 1}}, 1},
        {"late, then refused", ModeWrite, {{Fault::LateReply, 100, 1}, {Fault::BadAck, 300, 1}}, 1},
        {"late twice", ModeWrite, {{Fault::LateReply, 100, 2}}, 1},
        {"every reply 120 ms late", ModeWrite, {}, 120},
        {"late with check", ModeWriteWithCheck, {{Fault::LateReply, 100, 1}}, 1},
    };
    for (const Case& c : cases) {
        // A purge takes back unsent bytes of a serial port, not of a USB adapter.
        for (const bool adapter : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (c.mode == ModeRead ? " (read)" : " (write)") +
                         (adapter ? " through an adapter" : ""));
            SimBench b;
            b.line.purgeTakesBackOutput = !adapter;
            b.FillInstrument();
            b.LoadProgram(MaxProgramSize);
            b.protocol.SetPace(Pace::Fast);
            b.instrument.faults = c.faults;
            b.instrument.latencyMs = c.latencyMs;
            const RunOutcome outcome = RunTransfer(c.mode, b.protocol, b.view);
            if (outcome != RunOutcome::Done) {
                continue; // failing is allowed
            }
            if (c.mode == ModeRead) {
                EXPECT_EQ(b.view.info(), "Данные считаны");
                EXPECT_TRUE(SameSectors(b.images.DeviceImage.data(), b.instrument.memory.data(),
                                        DeviceSectors));
            } else {
                EXPECT_EQ(b.view.info(), "Данные записаны");
                EXPECT_TRUE(SameSectors(b.instrument.memory.data(), b.images.FileImage.data(),
                                        WritableSectors));
            }
        }
    }
}

} // namespace
