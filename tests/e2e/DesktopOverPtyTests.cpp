// The desktop tool with its real serial line, over a pseudo-terminal, against
// the simulated instrument running in real time.

#include "MainWindowFixture.h"

#include "qt/QtEventPump.h"
#include "qt/QtSerialLine.h"
#include "sim/PtyInstrument.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <atomic>

namespace {

class DesktopOverPty : public MainWindowTest {
protected:
    void StartOnPty() {
        formMain = std::make_unique<TformMain>(
            serial, realPump, ExecutableName,
            TformMain::Setup{[this](int) { return QString::fromStdString(pty.DevicePath()); },
                             SettingsFile()});
        formSearsh = new TformSearsh(formMain.get());
        formHelp = new TformHelp(formMain.get());
        formMain->SetWindows(formSearsh, formHelp);
        for (QFileDialog* d : {formMain->OpenDialog1, formMain->SaveDialog1}) {
            d->setOption(QFileDialog::DontUseNativeDialog);
        }
        formMain->show();
        QApplication::processEvents();
    }

    // Lets the windows run until the wait window's Close button is enabled again.
    bool RunUntilTheRunEnds(int timeoutMs) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            QEventLoop loop;
            QTimer::singleShot(5, &loop, &QEventLoop::quit);
            loop.exec();
            // The run happens inside one of these loops, started by the "!".
            if (formSearsh->stInfo->text() != "Поиск прибора..." &&
                formSearsh->BtnCancel->isEnabled()) {
                return true;
            }
        }
        return false;
    }

    static std::string WritePacket(int s, const QByteArray& program) {
        std::string p{'W', static_cast<char>(s & 0xFF), static_cast<char>(s >> 8)};
        for (int i = 0; i < 256; ++i) {
            const int at = s * 256 + i;
            p.push_back(at < program.size() ? program[at] : '\xFF');
        }
        unsigned sum = 0;
        for (char c : p) {
            sum += static_cast<std::uint8_t>(c);
        }
        p.push_back(static_cast<char>((256 - sum % 256) % 256));
        return p;
    }

    sim::InstrumentModel instrument;
    // Unpaced, a reply is in about 1 ms after its request instead of 46 ms, which
    // leaves the 100 ms wait room for a busy machine's scheduling; the line's
    // own timing is tested on the simulated clock and by the command-line tests.
    sim::PtyInstrument pty{instrument, UnpacedLine()};
    static sim::PtyOptions UnpacedLine() {
        sim::PtyOptions o;
        o.paceLine = false;
        return o;
    }
    QtSerialLine serial;
    QtEventPump realPump;
};

TEST_F(DesktopOverPty, WriteReadSaveCompare) {
    StartOnPty();
    const QString program = WriteFile("small.bin", 700, 9);
    ChooseInDialog(formMain->BtnOpen, program);
    QFile f(program);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();

    Arm(formMain->BtnWrite, [&] {
        pty.PowerOn();
        ASSERT_TRUE(RunUntilTheRunEnds(10000));
        EXPECT_EQ(formSearsh->stInfo->text(), "Данные записаны");
    });
    EXPECT_EQ(pty.Received(),
              WritePacket(0, bytes) + WritePacket(1, bytes) + WritePacket(2, bytes));
    pty.WithModel([&](sim::InstrumentModel& m) {
        EXPECT_TRUE(
            std::equal(bytes.begin(), bytes.end(), m.memory.begin(),
                       [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
        EXPECT_EQ(m.memory[700], 0xFF);
        EXPECT_EQ(m.memory[768], 0xFF);
    });

    QElapsedTimer took;
    Arm(formMain->BtnRead, [&] {
        took.start();
        pty.PowerOn();
        ASSERT_TRUE(RunUntilTheRunEnds(120000));
        EXPECT_EQ(formSearsh->stInfo->text(), "Данные считаны");
    });
    EXPECT_GE(took.elapsed(), 512 * 100);
    EXPECT_TRUE(formMain->BtnSaveAs->isEnabled());
    const std::string wire = pty.Received().substr(3 * 260);
    ASSERT_EQ(wire.size(), 512u * 4);
    EXPECT_EQ(wire.substr(300 * 4, 4), std::string("\x52\x2C\x01\x81"));

    ChooseInDialog(formMain->BtnSaveAs, dir.filePath("back.bin"));
    EXPECT_EQ(QFileInfo(dir.filePath("back.bin")).size(), 131072);
    formMain->BtnVerify->click();
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"OK"});
}

TEST_F(DesktopOverPty, InstrumentVanishesMidRun) {
    StartOnPty();
    std::atomic<int> packets{0};
    pty.onPacket = [&](char, int) {
        if (++packets == 10) {
            pty.Vanish();
        }
    };
    Arm(formMain->BtnRead, [&] {
        pty.PowerOn();
        ASSERT_TRUE(RunUntilTheRunEnds(10000));
        EXPECT_EQ(formSearsh->stInfo->text(), "Ошибка считывания");
        EXPECT_EQ(formSearsh->Animate1->CurrentClip(), TAnimate::Clip::None);
        EXPECT_TRUE(formSearsh->BtnCancel->isEnabled()) << "the window can be closed";
    });
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(driver.boxes[0].text,
              QStringLiteral("Потеряна связь с портом %1. Read error (5), Input/output error.")
                  .arg(QString::fromStdString(pty.DevicePath())));
    EXPECT_FALSE(serial.IsOpen());
    EXPECT_FALSE(formMain->BtnSaveAs->isEnabled());
    EXPECT_FALSE(formSearsh->isVisible());
}

} // namespace
