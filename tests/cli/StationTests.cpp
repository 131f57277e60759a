// vektal-cli station against several vektal-sims, each on a pseudo-terminal
// of its own: every instrument written and recorded, each port on its own.

#include "Process.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vektal-station-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        for (auto& s : sims_) {
            s->Signal(SIGTERM);
            s->Wait(5s);
        }
        fs::remove_all(dir_);
    }

    // A simulated instrument that switches on when Enter is typed; its memory
    // is saved as memN.bin when it ends.
    std::string AddInstrument(std::vector<std::string> options = {}) {
        std::vector<std::string> argv{
            VEKTAL_SIM_PATH,
            "--link",
            "-",
            "--power-on",
            "enter",
            "--save",
            (dir_ / ("mem" + std::to_string(sims_.size()) + ".bin")).string()};
        argv.insert(argv.end(), options.begin(), options.end());
        sims_.push_back(std::make_unique<Process>(argv));
        devices_.push_back(sims_.back()->FirstLine(5s));
        return devices_.back();
    }
    std::vector<std::uint8_t> Memory(std::size_t i) {
        sims_[i]->Signal(SIGTERM);
        sims_[i]->Wait(5s);
        std::ifstream in(dir_ / ("mem" + std::to_string(i) + ".bin"), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::unique_ptr<Process> Station(std::vector<std::string> extra) {
        std::vector<std::string> argv{VEKTAL_CLI_PATH, "station", "write", program_.string(),
                                      "--pace",        "fast",    "--log", log_.string()};
        for (const auto& d : devices_) {
            argv.insert(argv.end(), {"--port", d});
        }
        argv.insert(argv.end(), extra.begin(), extra.end());
        return std::make_unique<Process>(argv);
    }
    void MakeProgram(std::size_t size) {
        program_ = dir_ / "prog.bin";
        std::ofstream out(program_, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) {
            bytes_.push_back(static_cast<char>(i * 7 + i / 256));
        }
        out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    }
    // The records, one JSON object per line, by port.
    std::map<std::string, QJsonObject> Records() const {
        std::map<std::string, QJsonObject> byPort;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) {
            QJsonParseError error{};
            const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
            byPort[doc.object().value("port").toString().toStdString()] = doc.object();
        }
        return byPort;
    }
    std::size_t RecordCount() const {
        std::ifstream in(log_);
        return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
    }
    bool Written(std::size_t i) {
        const auto memory = Memory(i);
        return memory.size() == 131072 &&
               std::equal(bytes_.begin(), bytes_.end(), memory.begin(),
                          [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
    }

    fs::path dir_;
    fs::path program_;
    fs::path log_ = fs::temp_directory_path() / "unused";
    std::vector<char> bytes_;
    std::vector<std::unique_ptr<Process>> sims_;
    std::vector<std::string> devices_;
};

TEST_F(StationTest, InstrumentsAnnouncingAtDifferentMomentsAreAllWrittenAndRecorded) {
    MakeProgram(1000);
    log_ = dir_ / "record.jsonl";
    for (int i = 0; i < 3; ++i) {
        AddInstrument();
    }
    auto station = Station({"--count", "3", "--verify"});
    for (int i : {2, 0, 1}) {
        std::this_thread::sleep_for(400ms);
        sims_[static_cast<std::size_t>(i)]->Type("\n");
    }
    const Finished f = station->Wait(30s);
    EXPECT_EQ(f.status, 0) << f.err;
    EXPECT_NE(f.err.find("Итого: записано 3, ошибок 0"), std::string::npos) << f.err;

    const auto records = Records();
    ASSERT_EQ(records.size(), 3u);
    const QByteArray sha =
        QCryptographicHash::hash(QByteArray(bytes_.data(), 1000), QCryptographicHash::Sha256)
            .toHex();
    for (const auto& device : devices_) {
        SCOPED_TRACE(device);
        const QJsonObject r = records.at(device);
        EXPECT_EQ(r.value("command").toString(), "write");
        EXPECT_EQ(r.value("file").toString().toStdString(), program_.string());
        EXPECT_EQ(r.value("sha256").toString().toLatin1(), sha);
        EXPECT_EQ(r.value("size").toInt(), 1000);
        EXPECT_EQ(r.value("sectors").toInt(), 4);
        EXPECT_TRUE(r.value("verify").toBool());
        EXPECT_EQ(r.value("outcome").toString(), "done");
        EXPECT_TRUE(r.value("failed_sector").isNull());
        EXPECT_EQ(r.value("retries").toInt(), 0);
        EXPECT_GT(r.value("seconds").toDouble(), 0.0);
        EXPECT_LT(r.value("seconds").toDouble(), 10.0);
        EXPECT_EQ(r.value("tool_version").toString(), "1.0");
        const QDateTime time = QDateTime::fromString(r.value("time").toString(), Qt::ISODateWithMs);
        EXPECT_TRUE(time.isValid());
        EXPECT_EQ(time.timeSpec(), Qt::UTC);
        EXPECT_LT(std::abs(time.secsTo(QDateTime::currentDateTimeUtc())), 60);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(Written(i)) << i;
    }
}

TEST_F(StationTest, FailingAndVanishingInstrumentsDisturbNoOtherPort) {
    MakeProgram(60 * 256); // long enough to pull a cable mid-run
    log_ = dir_ / "record.jsonl";
    AddInstrument({"--fault", "no-reply@3x2"});
    AddInstrument();
    AddInstrument();
    auto station = Station({"--count", "3"});
    std::this_thread::sleep_for(300ms);
    for (auto& s : sims_) {
        s->Type("\n");
    }
    std::this_thread::sleep_for(800ms);
    sims_[2]->Signal(SIGKILL); // the third instrument vanishes mid-run
    const Finished f = station->Wait(60s);
    EXPECT_EQ(f.status, 1) << f.err;

    const auto records = Records();
    ASSERT_EQ(records.size(), 3u) << f.err;
    EXPECT_EQ(records.at(devices_[0]).value("outcome").toString(), "sector-failed");
    EXPECT_EQ(records.at(devices_[0]).value("failed_sector").toInt(), 3);
    EXPECT_EQ(records.at(devices_[0]).value("sectors").toInt(), 3);
    EXPECT_EQ(records.at(devices_[1]).value("outcome").toString(), "done");
    EXPECT_EQ(records.at(devices_[1]).value("sectors").toInt(), 60);
    EXPECT_EQ(records.at(devices_[2]).value("outcome").toString(), "line-error");
    EXPECT_FALSE(records.at(devices_[2]).value("failed_sector").isNull());
    EXPECT_TRUE(Written(1));
}

TEST_F(StationTest, CtrlCStopsRunsInProgressAndRecordsThem) {
    MakeProgram(200 * 256);
    log_ = dir_ / "record.jsonl";
    AddInstrument();
    AddInstrument();
    auto station = Station({});
    std::this_thread::sleep_for(300ms);
    for (auto& s : sims_) {
        s->Type("\n");
    }
    std::this_thread::sleep_for(1500ms);
    station->Signal(SIGINT);
    const Finished f = station->Wait(10s);
    EXPECT_EQ(f.status, 130) << f.err;
    const auto records = Records();
    ASSERT_EQ(records.size(), 2u);
    for (const auto& [port, r] : records) {
        EXPECT_EQ(r.value("outcome").toString(), "interrupted") << port;
        EXPECT_GT(r.value("sectors").toInt(), 0) << port;
    }
    // No port was left open: a single transfer can open each one at once.
    for (const auto& device : devices_) {
        Process again({VEKTAL_CLI_PATH, "read", "--port", device, "--timeout", "0.2",
                       (dir_ / "r.bin").string()});
        EXPECT_EQ(again.Wait(10s).status, 4) << device;
    }
}

TEST_F(StationTest, NothingIsWrittenWhenAPortCannotBeOpened) {
    MakeProgram(512);
    AddInstrument();
    devices_.push_back((dir_ / "no-such-port").string());
    auto station = Station({});
    std::this_thread::sleep_for(300ms);
    sims_[0]->Type("\n");
    const Finished f = station->Wait(10s);
    EXPECT_EQ(f.status, 3);
    EXPECT_NE(f.err.find("Не могу открыть порт " + devices_[1]), std::string::npos) << f.err;
    EXPECT_FALSE(Written(0));

    // A file that cannot be loaded ends the command before any port is opened.
    program_ = dir_ / "missing.bin";
    const Finished missing = Station({})->Wait(10s);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err.rfind("Не могу считать файл", 0), 0u) << missing.err;
}

TEST_F(StationTest, TerminalShowsALinePerPortRedrawnInPlace) {
    MakeProgram(512);
    AddInstrument();
    std::vector<std::string> argv{VEKTAL_CLI_PATH, "station",  "write",   program_.string(),
                                  "--pace",        "fast",     "--count", "1",
                                  "--port",        devices_[0]};
    Process station(argv, true);
    std::this_thread::sleep_for(300ms);
    sims_[0]->Type("\n");
    const Finished f = station.Wait(20s);
    EXPECT_EQ(f.status, 0) << f.err;
    EXPECT_NE(f.err.find("\x1b[1A"), std::string::npos) << "the line is redrawn in place";
    EXPECT_NE(f.err.find(devices_[0] + "  Данные записаны  записано 1, ошибок 0"),
              std::string::npos)
        << f.err;
    EXPECT_NE(f.err.find("Итого: записано 1, ошибок 0"), std::string::npos);
}

} // namespace
