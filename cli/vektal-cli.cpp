// vektal-cli: the ВЕКТАЛ-7 programmer for scripts and terminals.
//
//   vektal-cli ports
//   vektal-cli read    --port PORT FILE
//   vektal-cli write   --port PORT [--verify] FILE
//   vektal-cli compare --port PORT FILE
//
// Exit status: 0 done; 1 the run or the check failed, or compare found
// differences; 2 bad usage or a file that cannot be read or written; 3 the
// port cannot be opened; 4 no "!" before --timeout; 130 interrupted.

#include "CliView.h"
#include "Console.h"

#include "images/OperatorTexts.h"
#include "images/ProgramFile.h"
#include "link/TransferRun.h"
#include "qt/FileSaving.h"
#include "qt/PortList.h"
#include "qt/QtEventPump.h"
#include "qt/QtSerialLine.h"
#include "qt/QtText.h"
#include "qt/Translation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <thread>

namespace {

enum ExitStatus {
    ExitDone = 0,
    ExitFailed = 1,
    ExitUsage = 2,
    ExitPort = 3,
    ExitNoInstrument = 4,
    ExitInterrupted = 130
};

struct InterruptedError {};

// The command line's pump has no windows to keep alive. Its fixed delays
// dispatch what is pending once (the port's queued writes) and then sleep
// through the rest, so that the bytes a reply brings do not wake it one burst
// at a time; only WaitFor wakes on arriving data. Ctrl-C ends any wait.
class SleepingPump : public QtEventPump {
public:
    void DelayWithMessages(int ms) override {
        Check();
        WaitWithMessages(ms, {[this] { return TickMs(NowMs()); },
                              [] { QCoreApplication::processEvents(); },
                              [](std::int64_t left) {
                                  std::this_thread::sleep_for(std::chrono::milliseconds(left));
                              }});
        Check();
    }
    void ProcessMessages() override {
        Check();
        QtEventPump::ProcessMessages();
    }
    bool WaitFor(int ms, const std::function<bool()>& ready) override {
        Check();
        const bool done = QtEventPump::WaitFor(ms, [&] { return Interrupted() || ready(); });
        Check();
        return done;
    }

private:
    static void Check() {
        if (Interrupted()) {
            throw InterruptedError{};
        }
    }
};

struct Arguments {
    std::string command;
    QString port;
    std::filesystem::path file;
    bool verify = false;
    bool quiet = false;
    Pace pace = Pace::Standard;
    std::optional<double> timeoutSeconds;
};

void Say(std::FILE* out, std::string_view text) {
    std::fprintf(out, "%.*s\n", static_cast<int>(text.size()), text.data());
}

const char* const UsageText = "usage: vektal-cli ports\n"
                              "       vektal-cli read    --port PORT FILE\n"
                              "       vektal-cli write   --port PORT [--verify] FILE\n"
                              "       vektal-cli compare --port PORT FILE\n"
                              "options: --timeout SECONDS  --pace standard|fast  --quiet\n"
                              "PORT is COM1 to COM8 or a device path\n";

int Usage(const QString& problem) {
    std::fprintf(stderr, "vektal-cli: %s\n%s", qPrintable(problem), UsageText);
    return ExitUsage;
}

// Reads the command line; on a mistake, says what it is.
// The file as the user named it. On Linux Qt's decoding of the command line
// loses the bytes of a name that is not valid UTF-8, so the name is taken
// from argv as it stands.
std::filesystem::path FileAsGiven(const QString& decoded, int argc, char** argv) {
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return std::filesystem::path(decoded.toStdWString());
#else
    for (int i = argc - 1; i >= 1; --i) {
        const std::string_view before = argv[i - 1];
        if (QString::fromLocal8Bit(argv[i]) == decoded && before != "--port" &&
            before != "--timeout" && before != "--pace") {
            return std::filesystem::path(argv[i]);
        }
    }
    return std::filesystem::path(QFile::encodeName(decoded).toStdString());
#endif
}

std::optional<Arguments> Parse(QCommandLineParser& parser, int argc, char** argv,
                               QString* problem) {
    const QStringList args = QCoreApplication::arguments();
    const QCommandLineOption port(QStringLiteral("port"), Q(texts::HelpPort),
                                  QStringLiteral("PORT"));
    const QCommandLineOption verify(QStringLiteral("verify"), Q(texts::HelpVerify));
    const QCommandLineOption timeout(QStringLiteral("timeout"), Q(texts::HelpTimeout),
                                     QStringLiteral("SECONDS"));
    const QCommandLineOption pace(QStringLiteral("pace"), Q(texts::HelpPace),
                                  QStringLiteral("PACE"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), Q(texts::HelpQuiet));
    parser.setApplicationDescription(QString::fromUtf8(UsageText).trimmed());
    parser.addOptions({port, verify, timeout, pace, quiet});
    parser.addPositionalArgument(QStringLiteral("command"), Q(texts::HelpCommand));
    parser.addPositionalArgument(QStringLiteral("file"), Q(texts::HelpFile));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(args)) {
        *problem = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        parser.showHelp(ExitDone);
    }
    if (parser.isSet(version)) {
        parser.showVersion();
    }

    Arguments a;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        *problem = QStringLiteral("no command");
        return std::nullopt;
    }
    a.command = positional[0].toStdString();
    if (a.command != "ports" && a.command != "read" && a.command != "write" &&
        a.command != "compare") {
        *problem = QStringLiteral("unknown command");
        return std::nullopt;
    }
    if (positional.size() > 2 || (parser.isSet(verify) && a.command != "write")) {
        *problem = QStringLiteral("unexpected argument");
        return std::nullopt;
    }
    if (positional.size() == 2) {
        a.file = FileAsGiven(positional[1], argc, argv);
    }
    a.port = parser.value(port);
    a.verify = parser.isSet(verify);
    a.quiet = parser.isSet(quiet);
    if (parser.isSet(timeout)) {
        bool ok = false;
        const double seconds = parser.value(timeout).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0) {
            *problem = QStringLiteral("--timeout needs a number of seconds");
            return std::nullopt;
        }
        a.timeoutSeconds = seconds;
    }
    if (parser.isSet(pace)) {
        const QString v = parser.value(pace);
        if (v != QStringLiteral("fast") && v != QStringLiteral("standard")) {
            *problem = QStringLiteral("--pace is standard or fast");
            return std::nullopt;
        }
        a.pace = v == QStringLiteral("fast") ? Pace::Fast : Pace::Standard;
    }
    if (a.command != "ports" && (a.port.isEmpty() || a.file.empty())) {
        *problem = QStringLiteral("a port and a file are needed");
        return std::nullopt;
    }
    return a;
}

int ListPortsCommand() {
    for (const PortEntry& p : ListPorts()) {
        std::printf("%s\t%s\t%s\n", qPrintable(p.name), qPrintable(p.device),
                    qPrintable(p.description));
    }
    return ExitDone;
}

// The instrument announces itself with "!": waits for it for ever or until the
// time limit. A burst is judged whole, once the line has fallen silent.
bool AwaitHandshake(SerialLine& line, EventPump& pump, std::optional<double> timeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto msLeft = [&] {
        return timeoutSeconds
                   ? *timeoutSeconds * 1000 -
                         std::chrono::duration<double, std::milli>(Clock::now() - start).count()
                   : std::numeric_limits<double>::infinity();
    };
    constexpr double Slice = 100;
    for (;;) {
        const double left = msLeft();
        if (left <= 0) {
            return false;
        }
        if (!pump.WaitFor(static_cast<int>(std::min(Slice, left + 1)),
                          [&] { return line.BytesWaiting() > 0; })) {
            continue;
        }
        // A burst longer than a handshake is dropped at once, so that a line
        // that never falls silent keeps nothing and the time limit holds.
        for (std::size_t seen = 0; seen != line.BytesWaiting();) {
            seen = line.BytesWaiting();
            if (seen > wire::HandshakeMaxLength || msLeft() <= 0) {
                break;
            }
            pump.DelayWithMessages(wire::QuietLineGap);
        }
        if (IsHandshake(line.ReadText())) {
            return true;
        }
    }
}

// Opens the port and throws away what was waiting in the device from before,
// so that an old "!" cannot start the run.
bool OpenAndPurge(QtSerialLine& line, const QString& device) {
    if (!line.Open(device)) {
        return false;
    }
    try {
        line.Purge();
        return true;
    } catch (const SerialError&) {
        line.Close();
        return false;
    }
}

int Load(ProgramImages& images, const std::filesystem::path& file) {
    switch (LoadProgramFile(images, file).outcome) {
    case LoadOutcome::Loaded:
        return ExitDone;
    case LoadOutcome::TooLarge:
        Say(stderr, texts::FileTooLarge.text);
        return ExitUsage;
    case LoadOutcome::CannotRead:
        break;
    }
    Say(stderr, texts::CannotReadFile.text);
    return ExitUsage;
}

int Report(const Arguments& a, ProgramImages& images, RunOutcome outcome) {
    if (a.command == "write") {
        Say(stdout, outcome == RunOutcome::Done          ? texts::InfoWriteDone
                    : outcome == RunOutcome::CheckFailed ? texts::InfoCheckFailed
                                                         : texts::InfoWriteFailed);
        return outcome == RunOutcome::Done ? ExitDone : ExitFailed;
    }
    if (outcome != RunOutcome::Done) {
        Say(stdout, texts::InfoReadFailed);
        return ExitFailed;
    }
    if (a.command == "read") {
        if (SaveDeviceImage(images, a.file) != SaveOutcome::Saved) {
            Say(stderr, texts::CannotSaveFile.text);
            return ExitUsage;
        }
        Say(stdout, texts::InfoReadDone);
        return ExitDone;
    }
    constexpr std::size_t Listed = 16;
    const CompareResult r = CompareImages(images, Listed);
    Say(stdout, CompareMessage(r).text);
    for (const ByteDifference& d : r.first) {
        std::printf("0x%05zX: %.*s 0x%02X, %.*s 0x%02X\n", d.offset,
                    static_cast<int>(texts::CompareFileByte.size()), texts::CompareFileByte.data(),
                    d.fileByte, static_cast<int>(texts::CompareDeviceByte.size()),
                    texts::CompareDeviceByte.data(), d.deviceByte);
    }
    return r.outcome == CompareOutcome::Equal ? ExitDone : ExitFailed;
}

int Transfer(const Arguments& a) {
    ProgramImages images;
    if (a.command != "read") {
        if (const int status = Load(images, a.file); status != ExitDone) {
            return status;
        }
    } else if (!CanSaveTo(a.file)) {
        Say(stderr, texts::CannotSaveFile.text); // said now, not after the whole read
        return ExitUsage;
    }
    QtSerialLine line;
    if (!OpenAndPurge(line, DeviceForPortName(a.port))) {
        Say(stderr, texts::CannotOpenPort.text);
        Say(stderr, PortOpenHint());
        return ExitPort;
    }
    CatchInterrupts();

    SleepingPump pump;
    SectorProtocol protocol(images, line, pump);
    protocol.SetPace(a.pace);
    CliView view(stderr, ErrorIsTerminal(), a.quiet);
    try {
        if (!a.quiet) {
            Say(stderr, texts::InfoSearching);
        }
        if (!AwaitHandshake(line, pump, a.timeoutSeconds)) {
            line.Close();
            Say(stderr, texts::NoInstrument);
            return ExitNoInstrument;
        }
        const int mode = a.command != "write" ? ModeRead
                         : a.verify           ? ModeWriteWithCheck
                                              : ModeWrite;
        const RunOutcome outcome = RunTransfer(mode, protocol, view);
        view.Finish();
        line.Close();
        return Report(a, images, outcome);
    } catch (const InterruptedError&) {
        view.Finish();
        line.Close();
        Say(stderr, texts::Interrupted);
        return ExitInterrupted;
    } catch (const SerialError& e) {
        view.Finish();
        line.Close();
        Say(stderr, e.what());
        Say(stdout, a.command == "write" ? texts::InfoWriteFailed : texts::InfoReadFailed);
        return ExitFailed;
    }
}

} // namespace

int main(int argc, char** argv) {
    // Qt's own event dispatcher wakes more cheaply than GLib's for every
    // burst of bytes from the port.
    qputenv("QT_NO_GLIB", "1");
    PrepareConsole();
    QCoreApplication app(argc, argv);
    LoadQtRussian(app);
    QCoreApplication::setApplicationName(QStringLiteral("vektal-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEKTAL_VERSION));
    QCommandLineParser parser;
    QString problem;
    const auto arguments = Parse(parser, argc, argv, &problem);
    if (!arguments) {
        return Usage(problem);
    }
    return arguments->command == "ports" ? ListPortsCommand() : Transfer(*arguments);
}
