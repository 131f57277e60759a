// vektal-cli: the ВЕКТАЛ-7 programmer for scripts, terminals and production lines.
//
//   vektal-cli ports
//   vektal-cli read    --port PORT FILE
//   vektal-cli write   --port PORT [--verify] FILE
//   vektal-cli compare --port PORT FILE
//   vektal-cli station write FILE --port PORT [--port PORT ...] [--count N]
//
// Exit status: 0 done; 1 the run or the check failed, or compare found
// differences; 2 bad usage or a file that cannot be read or written; 3 the
// port cannot be opened; 4 no "!" before --timeout; 130 interrupted.

#include "CliLink.h"
#include "CliView.h"
#include "Console.h"
#include "RunRecord.h"
#include "Station.h"

#include "images/OperatorTexts.h"
#include "images/ProgramFile.h"
#include "link/TransferRun.h"
#include "qt/FileSaving.h"
#include "qt/NativePath.h"
#include "qt/PortList.h"
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
#include <optional>
#include <string>

namespace {

enum ExitStatus {
    ExitDone = 0,
    ExitFailed = 1,
    ExitUsage = 2,
    ExitPort = 3,
    ExitNoInstrument = 4,
    ExitInterrupted = 130
};

struct Arguments {
    std::string command;
    QString port;
    QStringList ports; // the station's
    std::optional<std::filesystem::path> log;
    std::optional<int> count;
    std::filesystem::path file;
    bool verify = false;
    bool quiet = false;
    Pace pace = Pace::Standard;
    std::optional<double> timeoutSeconds;
};

void Say(std::FILE* out, std::string_view text) {
    std::fprintf(out, "%.*s\n", static_cast<int>(text.size()), text.data());
}

const char* const UsageText =
    "usage: vektal-cli ports\n"
    "       vektal-cli read    --port PORT FILE\n"
    "       vektal-cli write   --port PORT [--verify] FILE\n"
    "       vektal-cli compare --port PORT FILE\n"
    "       vektal-cli station write FILE --port PORT [--port PORT ...]\n"
    "                          [--verify] [--count N]\n"
    "options: --timeout SECONDS  --pace standard|fast  --quiet  --log FILE\n"
    "PORT is COM1 to COM8 or a device path\n";

int Usage(const QString& problem) {
    std::fprintf(stderr, "vektal-cli: %s\n%s", qPrintable(problem), UsageText);
    return ExitUsage;
}

// The file as the user named it. On Linux Qt's decoding of the command line
// loses the bytes of a name that is not valid UTF-8, so the name is taken
// from argv as it stands.
// valueOptions are those whose next argument is their value, not the file.
std::filesystem::path FileAsGiven(const QString& decoded, const QStringList& valueOptions, int argc,
                                  char** argv) {
#ifdef Q_OS_WIN
    Q_UNUSED(valueOptions);
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return ToPath(decoded);
#else
    for (int i = argc - 1; i >= 1; --i) {
        const QString before = QString::fromLocal8Bit(argv[i - 1]);
        if (QString::fromLocal8Bit(argv[i]) == decoded &&
            !(before.startsWith(QStringLiteral("--")) && valueOptions.contains(before.mid(2)))) {
            return std::filesystem::path(argv[i]);
        }
    }
    return ToPath(decoded);
#endif
}

// Reads the command line; on a mistake, says what it is.
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
    const QCommandLineOption log(QStringLiteral("log"), Q(texts::HelpLog), QStringLiteral("FILE"));
    const QCommandLineOption count(QStringLiteral("count"), Q(texts::HelpCount),
                                   QStringLiteral("N"));
    parser.setApplicationDescription(QString::fromUtf8(UsageText).trimmed());
    parser.addOptions({port, verify, timeout, pace, quiet, log, count});
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
        a.command != "compare" && a.command != "station") {
        *problem = QStringLiteral("unknown command");
        return std::nullopt;
    }
    const bool station = a.command == "station";
    // The station's only job is "write": "station write FILE".
    const qsizetype fileAt = station ? 2 : 1;
    if (station && (positional.size() < 2 || positional[1] != QStringLiteral("write"))) {
        *problem = QStringLiteral("the station's command is write");
        return std::nullopt;
    }
    if (positional.size() > fileAt + 1 ||
        (parser.isSet(verify) && a.command != "write" && !station) ||
        (parser.isSet(count) && !station)) {
        *problem = QStringLiteral("unexpected argument");
        return std::nullopt;
    }
    if (positional.size() == fileAt + 1) {
        QStringList valueOptions;
        for (const QCommandLineOption& o : {port, timeout, pace, log, count}) {
            valueOptions += o.names();
        }
        a.file = FileAsGiven(positional[fileAt], valueOptions, argc, argv);
    }
    a.ports = parser.values(port);
    if (a.ports.size() > 1 && !station) {
        *problem = QStringLiteral("unexpected argument");
        return std::nullopt;
    }
    a.port = parser.value(port);
    if (parser.isSet(log)) {
        a.log = ToPath(parser.value(log));
    }
    if (parser.isSet(count)) {
        bool ok = false;
        a.count = parser.value(count).toInt(&ok);
        if (!ok || *a.count < 1) {
            *problem = QStringLiteral("--count needs a number of instruments");
            return std::nullopt;
        }
    }
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

// Says how the run ended and gives its exit status; the record learns what
// only the command knows (the read's saved bytes, the comparison).
int Report(const Arguments& a, ProgramImages& images, RunOutcome outcome, RunRecord& record) {
    record.outcome = OutcomeName(outcome);
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
        record.sha256 = Sha256Hex(SavedBytes(images));
        record.size = static_cast<qint64>(MaxProgramSize);
        Say(stdout, texts::InfoReadDone);
        return ExitDone;
    }
    constexpr std::size_t Listed = 16;
    const CompareResult r = CompareImages(images, Listed);
    if (r.outcome == CompareOutcome::Different) {
        record.outcome = QStringLiteral("differences");
    }
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
        if (!LoadOrSay(images, a.file)) {
            return ExitUsage;
        }
    } else if (!CanSaveTo(a.file)) {
        Say(stderr, texts::CannotSaveFile.text); // said now, not after the whole read
        return ExitUsage;
    }
    RecordLog log(QCoreApplication::applicationVersion());
    if (a.log && !log.Open(*a.log)) {
        Say(stderr, texts::CannotSaveFile.text);
        return ExitUsage;
    }
    QtSerialLine line;
    if (!OpenAndPurge(line, DeviceForPortName(a.port))) {
        Say(stderr, texts::CannotOpenPort.text);
        Say(stderr, PortOpenHint());
        return ExitPort;
    }
    CatchInterrupts();

    SleepingPump pump(Interrupted);
    SectorProtocol protocol(images, line, pump);
    protocol.SetPace(a.pace);
    CliView shown(stderr, ErrorIsTerminal(), a.quiet);
    TallyView view(shown);
    RunRecord record = RecordOf(a.port, QString::fromStdString(a.command), a.file, a.verify);
    if (a.command != "read") {
        record.sha256 = Sha256Hex({images.FileImage.data(), images.ProgramSize});
        record.size = static_cast<qint64>(images.ProgramSize);
    }
    auto start = std::chrono::steady_clock::now();
    // Every run that began is recorded, however it ended.
    auto recordRun = [&](bool done) {
        view.Into(record, done);
        record.retries = protocol.SectorsRetried;
        record.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        log.Append(record);
    };
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
        record.started = QDateTime::currentDateTimeUtc();
        start = std::chrono::steady_clock::now();
        const RunOutcome outcome = RunTransfer(mode, protocol, view);
        shown.Finish();
        line.Close();
        const int status = Report(a, images, outcome, record);
        recordRun(outcome == RunOutcome::Done);
        return status;
    } catch (const InterruptedError&) {
        shown.Finish();
        line.Close();
        if (record.started.isValid()) {
            record.outcome = QStringLiteral("interrupted");
            recordRun(false);
        }
        Say(stderr, texts::Interrupted);
        return ExitInterrupted;
    } catch (const SerialError& e) {
        shown.Finish();
        line.Close();
        if (record.started.isValid()) {
            record.outcome = QStringLiteral("line-error");
            recordRun(false);
        }
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
    const Arguments& a = *arguments;
    if (a.command == "station") {
        return RunStation({a.file, a.ports, a.verify, a.pace, a.log, a.count, a.quiet,
                           QCoreApplication::applicationVersion()});
    }
    return a.command == "ports" ? ListPortsCommand() : Transfer(a);
}
