#include "SimBench.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using sim::Fault;

// Which sectors the instrument was asked for, in order, from what crossed the wire.
std::vector<int> Requests(const std::vector<std::uint8_t>& wire, std::uint8_t command) {
    std::vector<int> sectors;
    for (std::size_t i = 0; i < wire.size();) {
        const std::size_t length = wire[i] == 'R' ? 4 : 260;
        if (wire[i] == command) {
            sectors.push_back(wire[i + 1] | (wire[i + 2] << 8));
        }
        i += length;
    }
    return sectors;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> v;
    for (int s = from; s < to; ++s) {
        v.push_back(s);
    }
    return v;
}

TEST(HandshakeTest, OneToThreeCharactersWithAnExclamationMark) {
    for (const char* yes : {"!", "!!", "!!!", "a!", "!\r", "x!y"}) {
        EXPECT_TRUE(IsHandshake(yes)) << yes;
    }
    for (const char* no : {"", "!!!!", "abc", "a", "\r\n", "ab!c"}) {
        EXPECT_FALSE(IsHandshake(no)) << no;
    }
}

TEST(ReadProgramTest, ReadsAllSectorsIntoTheDeviceImage) {
    SimBench b;
    b.FillInstrument();
    b.view.SetSaveEnabled(false);
    EXPECT_EQ(RunTransfer(ModeRead, b.protocol, b.view), RunOutcome::Done);
    EXPECT_EQ(b.view.infos, (std::vector<std::string>{"Идет считывание...", "Данные считаны"}));
    EXPECT_EQ(b.view.rangeMax, 512);
    EXPECT_EQ(b.view.position, 512);
    EXPECT_EQ(b.view.saveEnabled, 1);
    EXPECT_EQ(b.images.DeviceImageValid, 1);
    EXPECT_TRUE(std::equal(b.instrument.memory.begin(), b.instrument.memory.end(),
                           b.images.DeviceImage.begin()));
    EXPECT_EQ(Requests(b.line.hostToInstrument, 'R'), Range(0, 512));
    EXPECT_EQ(b.clock.nowMs(), 512 * 100.0);
    EXPECT_GE(b.pump.dispatches, 1024) << "messages dispatched before and during each sector";
}

TEST(ReadProgramTest, SectorThatFailsTwiceStopsTheRun) {
    SimBench b;
    b.FillInstrument();
    b.images.DeviceImageValid = 1;
    b.view.SetSaveEnabled(true);
    b.instrument.faults = {{Fault::NoReply, 100, 2}};
    EXPECT_EQ(ReadProgram(b.protocol, b.view), RunOutcome::SectorFailed);
    EXPECT_EQ(b.view.info(), "Ошибка считывания");
    EXPECT_EQ(b.view.saveEnabled, 0);
    EXPECT_EQ(b.view.position, 101);
    EXPECT_EQ(b.images.DeviceImageValid, 0);
    auto expected = Range(0, 101);
    expected.push_back(100);
    EXPECT_EQ(Requests(b.line.hostToInstrument, 'R'), expected);
    // What was read before the failure stays in the image.
    EXPECT_EQ(b.images.DeviceImage[99 * 256 + 1], b.instrument.memory[99 * 256 + 1]);
}

TEST(ReadProgramTest, OneFailedAttemptIsRetried) {
    // Every fault that spoils one reply, including a late one whose tail would
    // otherwise land in the retry's answer.
    for (Fault f : {Fault::NoReply, Fault::ShortReply, Fault::LongReply, Fault::BadChecksum,
                    Fault::LateReply}) {
        SCOPED_TRACE(static_cast<int>(f));
        SimBench b;
        b.FillInstrument();
        b.instrument.faults = {{f, 37, 1}};
        EXPECT_EQ(ReadProgram(b.protocol, b.view), RunOutcome::Done);
        EXPECT_EQ(b.view.info(), "Данные считаны");
        EXPECT_TRUE(std::equal(b.instrument.memory.begin(), b.instrument.memory.end(),
                               b.images.DeviceImage.begin()));
        EXPECT_EQ(b.instrument.readRequests, 513);
    }
}

TEST(ReadProgramTest, LineErrorEndsTheRunAsFailed) {
    SimBench b;
    b.images.DeviceImageValid = 1;
    b.view.SetSaveEnabled(true);
    int dispatches = 0;
    b.pump.onDispatch = [&] {
        if (++dispatches == 50) {
            b.line.Unplug();
        }
    };
    EXPECT_THROW(ReadProgram(b.protocol, b.view), SerialError);
    EXPECT_EQ(b.view.info(), "Ошибка считывания");
    EXPECT_EQ(b.view.saveEnabled, 0);
    EXPECT_EQ(b.images.DeviceImageValid, 0);
}

TEST(WriteProgramTest, WritesTheProgramsSectorsUpTo506) {
    struct Case {
        std::size_t size;
        int sectors;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{1000, 4}, Case{131072, 506}}) {
        SCOPED_TRACE(c.size);
        SimBench b;
        b.LoadProgram(c.size);
        EXPECT_EQ(RunTransfer(ModeWrite, b.protocol, b.view), RunOutcome::Done);
        EXPECT_EQ(b.view.infos, (std::vector<std::string>{"Идет запись...", "Данные записаны"}));
        EXPECT_EQ(b.view.rangeMax, c.sectors);
        EXPECT_EQ(Requests(b.line.hostToInstrument, 'W'), Range(0, c.sectors));
        EXPECT_EQ(b.instrument.readRequests, 0) << "a plain write reads nothing back";
        const std::size_t written = static_cast<std::size_t>(c.sectors) * 256;
        EXPECT_TRUE(std::equal(b.images.FileImage.begin(), b.images.FileImage.begin() + written,
                               b.instrument.memory.begin()));
        EXPECT_EQ(b.instrument.memory[written], 0xFF);
        EXPECT_EQ(b.clock.nowMs(), c.sectors * 120.0);
    }
}

TEST(WriteProgramTest, RetriesOnceThenStops) {
    SimBench ok;
    ok.LoadProgram(4096);
    ok.instrument.faults = {{Fault::BadAck, 3, 1}};
    EXPECT_EQ(WriteProgram(ok.protocol, ok.view, false), RunOutcome::Done);
    EXPECT_EQ(Requests(ok.line.hostToInstrument, 'W').size(), 17u);

    SimBench bad;
    bad.LoadProgram(4096);
    bad.instrument.faults = {{Fault::NoReply, 3, 2}};
    EXPECT_EQ(WriteProgram(bad.protocol, bad.view, false), RunOutcome::SectorFailed);
    EXPECT_EQ(bad.view.info(), "Ошибка записи");
    EXPECT_EQ(bad.view.position, 4);
    EXPECT_EQ(Requests(bad.line.hostToInstrument, 'W'), (std::vector<int>{0, 1, 2, 3, 3}));
}

TEST(WriteProgramTest, CheckReadsEachSectorBackWithoutTouchingTheDeviceImage) {
    SimBench b;
    b.LoadProgram(2000);
    b.instrument.faults = {{Fault::AckWithExtra}, {Fault::NoReply, 2, 1}};
    b.images.DeviceImage.fill(0x5A);
    EXPECT_EQ(RunTransfer(ModeWriteWithCheck, b.protocol, b.view), RunOutcome::Done);
    EXPECT_EQ(b.view.info(), "Данные записаны");
    EXPECT_EQ(Requests(b.line.hostToInstrument, 'R'),
              (std::vector<int>{0, 1, 2, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(std::all_of(b.images.DeviceImage.begin(), b.images.DeviceImage.end(),
                            [](std::uint8_t x) { return x == 0x5A; }));
}

TEST(WriteProgramTest, CheckStopsOnASectorThatReadsBackWrongOrNotAtAll) {
    struct Case {
        const char* name;
        sim::FaultRule fault;
    };
    for (const Case& c : {Case{"kept old bytes", {Fault::LostWrite, 5, 1}},
                          Case{"no read-back", {Fault::NoReply, 5, -1}}}) {
        SCOPED_TRACE(c.name);
        SimBench b;
        b.LoadProgram(4096);
        b.instrument.faults = {c.fault};
        // A NoReply rule also hits the write packets; let the writes through.
        if (c.fault.fault == Fault::NoReply) {
            b.instrument.faults.insert(b.instrument.faults.begin(), {Fault::AckWithExtra, 5, 1});
        }
        EXPECT_EQ(WriteProgram(b.protocol, b.view, true), RunOutcome::CheckFailed);
        EXPECT_EQ(b.view.info(), "Ошибка проверки");
        EXPECT_EQ(b.view.position, 6);
        EXPECT_EQ(Requests(b.line.hostToInstrument, 'W'), Range(0, 6));
    }
}

TEST(WriteProgramTest, LineErrorEndsTheRunAsFailed) {
    SimBench b;
    b.LoadProgram(4096);
    b.pump.onDispatch = [&] {
        if (b.instrument.writePackets == 3) {
            b.line.Unplug();
        }
    };
    EXPECT_THROW(WriteProgram(b.protocol, b.view, false), SerialError);
    EXPECT_EQ(b.view.info(), "Ошибка записи");
}

TEST(RunTransferTest, ReadAfterWriteShowsItsOwnRange) {
    SimBench b;
    b.LoadProgram(1000);
    RunTransfer(ModeWrite, b.protocol, b.view);
    EXPECT_EQ(b.view.rangeMax, 4);
    RunTransfer(ModeRead, b.protocol, b.view);
    EXPECT_EQ(b.view.rangeMin, 0);
    EXPECT_EQ(b.view.rangeMax, 512);
    EXPECT_EQ(b.view.info(), "Данные считаны");
}

} // namespace
