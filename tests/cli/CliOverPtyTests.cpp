// vektal-cli against vektal-sim, each a program of its own, over a pseudo-terminal.

#include "Process.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vektal-cli-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        StopInstrument();
        fs::remove_all(dir_);
    }

    // Starts the simulated instrument; it switches on when the port is opened,
    // unless it waits for Enter. It answers at the line's speed: the fast pace
    // takes nothing sooner than the line could have carried it.
    void StartInstrument(std::vector<std::string> options = {}) {
        std::vector<std::string> argv{VEKTAL_SIM_PATH, "--link", "-", "--save",
                                      (dir_ / "memory.bin").string()};
        argv.insert(argv.end(), options.begin(), options.end());
        sim_ = std::make_unique<Process>(argv);
        device_ = sim_->FirstLine(5s);
        ASSERT_EQ(device_.rfind("/dev/", 0), 0u) << device_;
    }
    // Ends the instrument; its memory is then in memory.bin.
    std::vector<std::uint8_t> StopInstrument() {
        if (!sim_) {
            return {};
        }
        sim_->Signal(SIGTERM);
        EXPECT_EQ(sim_->Wait(5s).status, 0);
        sim_.reset();
        return Read(dir_ / "memory.bin");
    }

    Finished Cli(std::vector<std::string> args, std::chrono::milliseconds limit = 60s) {
        args.insert(args.begin(), VEKTAL_CLI_PATH);
        Process cli(args);
        return cli.Wait(limit);
    }
    std::vector<std::string> Fast(const std::string& command, const fs::path& file) {
        return {command, "--port", device_, "--pace", "fast", file.string()};
    }

    fs::path Program(const std::string& name, std::size_t size, int seed = 5) {
        const fs::path p = dir_ / name;
        std::ofstream out(p, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) {
            out.put(static_cast<char>(seed + i * 3 + i / 256));
        }
        return p;
    }
    static std::vector<std::uint8_t> Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir_;
    std::unique_ptr<Process> sim_;
    std::string device_;
};

TEST_F(CliTest, WriteReadBackAndCompare) {
    StartInstrument();
    // Names that are not valid UTF-8 are used as the bytes given.
    const fs::path program = Program("prog\xff.bin", 1000);
    Finished w = Cli({"write", "--port", device_, "--verify", "--pace", "fast", program.string()});
    EXPECT_EQ(w.status, 0) << w.err;
    EXPECT_EQ(w.out, "Данные записаны\n");
    EXPECT_NE(w.err.find("Поиск прибора..."), std::string::npos);

    auto logged = Fast("read", dir_ / "back\xfe.bin");
    logged.insert(logged.end(), {"--log", (dir_ / "record.jsonl").string()});
    Finished r = Cli(logged);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Данные считаны\n");
    const auto back = Read(dir_ / "back\xfe.bin");
    const auto sent = Read(program);
    ASSERT_EQ(back.size(), 131072u);
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), back.begin()));
    EXPECT_TRUE(std::all_of(back.begin() + 1024, back.end(), [](auto b) { return b == 0xFF; }));
    EXPECT_NE(r.err.find("сектор 512/512"), std::string::npos) << "plain progress lines";
    {
        std::ifstream in(dir_ / "record.jsonl");
        std::string line;
        ASSERT_TRUE(std::getline(in, line));
        const QJsonObject record =
            QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        EXPECT_EQ(record.value("command").toString(), "read");
        EXPECT_EQ(record.value("outcome").toString(), "done");
        EXPECT_EQ(record.value("sectors").toInt(), 512);
        EXPECT_EQ(record.value("size").toInt(), 131072);
        EXPECT_EQ(
            record.value("sha256").toString().toLatin1(),
            QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(back.data()), 131072),
                                     QCryptographicHash::Sha256)
                .toHex());
    }

    Finished same = Cli(Fast("compare", program));
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, "OK\n");

    std::fstream edit(program, std::ios::in | std::ios::out | std::ios::binary);
    edit.seekp(0x12);
    edit.put('\x00');
    edit.seekp(0x3E7);
    edit.put('\x01');
    edit.close();
    Finished differ = Cli(Fast("compare", program));
    EXPECT_EQ(differ.status, 1);
    char first[64], second[64];
    std::snprintf(first, sizeof first, "0x00012: файл 0x00, прибор 0x%02X\n", sent[0x12]);
    std::snprintf(second, sizeof second, "0x003E7: файл 0x01, прибор 0x%02X\n", sent[0x3E7]);
    EXPECT_EQ(differ.out, std::string("Количество обнаруженных ошибок = 2\n") + first + second);

    const auto memory = StopInstrument();
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), memory.begin()));
}

TEST_F(CliTest, FaultsOfTheInstrument) {
    struct Case {
        const char* name;
        std::string fault;
        std::string command;
        bool verify;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {"read fails once", "no-reply@5x1", "read", false, 0, "Данные считаны\n"},
        {"read fails twice", "bad-checksum@5x2", "read", false, 1, "Ошибка считывания\n"},
        {"reply too long once", "long-reply@7x1", "read", false, 0, "Данные считаны\n"},
        {"write fails once", "bad-ack@2x1", "write", false, 0, "Данные записаны\n"},
        {"write fails twice", "no-reply@2x2", "write", false, 1, "Ошибка записи\n"},
        {"write not kept", "lost-write@1x1", "write", true, 1, "Ошибка проверки\n"},
    };
    const fs::path program = Program("p.bin", 4 * 256);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartInstrument({"--fault", c.fault});
        const fs::path target = c.command == "read" ? dir_ / "read.bin" : program;
        std::vector<std::string> args = Fast(c.command, target);
        if (c.verify) {
            args.push_back("--verify");
        }
        // A read's file, if it already exists, survives a failed read untouched.
        const auto before = Read(program);
        if (c.command == "read") {
            fs::copy_file(program, target, fs::copy_options::overwrite_existing);
        }
        const Finished f = Cli(args);
        EXPECT_EQ(f.status, c.status) << f.err;
        EXPECT_EQ(f.out, c.out);
        if (c.command == "read") {
            EXPECT_EQ(Read(target).size(), c.status == 0 ? 131072u : before.size());
        }
        StopInstrument();
    }
}

TEST_F(CliTest, HandshakeOfFourIsIgnoredAndATimeoutEndsTheWait) {
    StartInstrument({"--power-on", "enter"});
    Process cli({VEKTAL_CLI_PATH, "read", "--port", device_, "--pace", "fast", "--timeout", "1",
                 (dir_ / "r.bin").string()});
    std::this_thread::sleep_for(300ms);
    sim_->Type("!!!!\n");
    const Finished waited = cli.Wait(10s);
    EXPECT_EQ(waited.status, 4);
    EXPECT_NE(waited.err.find("Прибор не ответил"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "r.bin"));

    Process again({VEKTAL_CLI_PATH, "write", "--port", device_, "--pace", "fast",
                   Program("p.bin", 300).string()});
    std::this_thread::sleep_for(300ms);
    sim_->Type("!!!!\n");
    std::this_thread::sleep_for(300ms);
    sim_->Type("\n");
    const Finished f = again.Wait(10s);
    EXPECT_EQ(f.status, 0) << f.err;
    EXPECT_EQ(f.out, "Данные записаны\n");
}

TEST_F(CliTest, InterruptedReadLeavesNoFile) {
    StartInstrument();
    const fs::path kept = Program("kept.bin", 100);
    const auto before = Read(kept);
    for (const fs::path& target : {dir_ / "new.bin", kept}) {
        Process cli({VEKTAL_CLI_PATH, "read", "--port", device_, target.string()});
        std::this_thread::sleep_for(1500ms);
        cli.Signal(SIGINT);
        const Finished f = cli.Wait(10s);
        EXPECT_EQ(f.status, 130);
        EXPECT_NE(f.err.find("Прервано"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir_ / "new.bin"));
    EXPECT_EQ(Read(kept), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1) << "no temporary file left";
    // The port was let go: another run can open it.
    EXPECT_EQ(Cli(Fast("read", dir_ / "after.bin")).status, 0);
}

TEST_F(CliTest, BadPortFileAndUsage) {
    StartInstrument();
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string errorStart;
    };
    const Case cases[] = {
        {"no such port",
         {"read", "--port", (dir_ / "none").string(), "x.bin"},
         3,
         "Не могу открыть порт\n"},
        {"file too large", Fast("write", Program("big.bin", 131073)), 2,
         "Размер файла превышает максимально допустимый\n"},
        {"file missing", Fast("compare", dir_ / "missing.bin"), 2, "Не могу считать файл\n"},
        {"no command", {}, 2, "vektal-cli: no command\n"},
        {"no port", {"read", "x.bin"}, 2, "vektal-cli: a port and a file are needed\n"},
        {"bad pace",
         {"read", "--port", device_, "--pace", "slow", "x.bin"},
         2,
         "vektal-cli: --pace is standard or fast\n"},
        {"endless timeout",
         {"read", "--port", device_, "--timeout", "inf", "x.bin"},
         2,
         "vektal-cli: --timeout needs a number of seconds\n"},
        {"timeout not a number",
         {"read", "--port", device_, "--timeout", "nan", "x.bin"},
         2,
         "vektal-cli: --timeout needs a number of seconds\n"},
        {"unknown option",
         {"read", "--speed", "9"},
         2,
         "vektal-cli: Неизвестный параметр «speed».\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Finished f = Cli(c.args, 10s);
        EXPECT_EQ(f.status, c.status);
        EXPECT_EQ(f.err.substr(0, c.errorStart.size()), c.errorStart);
        EXPECT_TRUE(f.out.empty());
    }
    const Finished version = Cli({"--version"}, 10s);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vektal-cli 1.0\n");
    const Finished help = Cli({"--help"}, 10s);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--pace"), std::string::npos) << help.out;
}

TEST_F(CliTest, StandardPaceKeepsTheWaits) {
    StartInstrument();
    const fs::path program = Program("p.bin", 5 * 256);
    auto timed = [&](const std::string& pace) {
        const auto start = std::chrono::steady_clock::now();
        const Finished f =
            Cli({"write", "--port", device_, "--pace", pace, "--quiet", program.string()});
        EXPECT_EQ(f.status, 0);
        EXPECT_EQ(f.out, "Данные записаны\n");
        return std::chrono::steady_clock::now() - start;
    };
    // The instrument switches on 100 ms after the port opens.
    EXPECT_GE(timed("standard"), 100ms + 5 * 120ms);
    EXPECT_LT(timed("fast"), 100ms + 5 * 120ms);
}

TEST_F(CliTest, ProgressBarOnATerminal) {
    StartInstrument();
    Process cli({VEKTAL_CLI_PATH, "write", "--port", device_, "--pace", "fast",
                 Program("p.bin", 64 * 256).string()},
                true);
    const Finished f = cli.Wait(30s);
    EXPECT_EQ(f.status, 0);
    EXPECT_NE(f.err.find("\r["), std::string::npos);
    EXPECT_NE(f.err.find("сектор 64/64 100%"), std::string::npos) << f.err;
    EXPECT_NE(f.err.find("B/s"), std::string::npos);
    EXPECT_NE(f.err.find("осталось 0:00"), std::string::npos);
}

TEST_F(CliTest, HostileUse) {
    StartInstrument({"--power-on", "enter"});
    const fs::path program = Program("p.bin", 2 * 256);

    // A "!" sent before the port was opened waits in the device; it starts nothing.
    sim_->Type("\n");
    std::this_thread::sleep_for(300ms);
    const Finished stale =
        Cli({"read", "--port", device_, "--timeout", "1", (dir_ / "r.bin").string()}, 10s);
    EXPECT_EQ(stale.status, 4) << stale.err;

    // A target that cannot be written is reported before the port is touched.
    const Finished unwritable = Cli(Fast("read", dir_ / "no-such-folder" / "r.bin"), 10s);
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.err, "Не могу сохранить в файл.\n");

    // The device is locked for every name it has, also for root.
    const fs::path alias = dir_ / "alias";
    fs::create_symlink(device_, alias);
    Process holder({VEKTAL_CLI_PATH, "read", "--port", device_, (dir_ / "r.bin").string()});
    std::this_thread::sleep_for(500ms);
    const Finished second = Cli(Fast("write", program), 10s);
    EXPECT_EQ(second.status, 3) << second.err;
    const Finished third = Cli({"write", "--port", alias.string(), program.string()}, 10s);
    EXPECT_EQ(third.status, 3) << third.err;
    holder.Signal(SIGINT);
    EXPECT_EQ(holder.Wait(10s).status, 130);

    // A closed standard output changes no result.
    Process piped({"/bin/bash", "-c",
                   std::string(VEKTAL_CLI_PATH) + " write --pace fast --port " + device_ + " " +
                       program.string() + " | true; exit ${PIPESTATUS[0]}"});
    std::this_thread::sleep_for(500ms);
    sim_->Type("\n");
    EXPECT_EQ(piped.Wait(20s).status, 0);

    // Endless input without a newline neither grows the simulator nor stops
    // it from ending on SIGTERM (which StopInstrument checks).
    sim_->Type(std::string(4 << 20, 'x'));
}

TEST_F(CliTest, TimeoutHoldsOnALineThatNeverFallsSilent) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string line = ptsname(master);
    std::atomic<bool> stop{false};
    std::thread talker([&] {
        while (!stop) {
            [[maybe_unused]] const auto n = ::write(master, "x", 1);
            std::this_thread::sleep_for(2ms);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const Finished f =
        Cli({"read", "--port", line, "--timeout", "1", (dir_ / "r.bin").string()}, 10s);
    const auto took = std::chrono::steady_clock::now() - start;
    stop = true;
    talker.join();
    ::close(master);
    EXPECT_EQ(f.status, 4) << f.err;
    EXPECT_LT(took, 5s);
}

} // namespace
