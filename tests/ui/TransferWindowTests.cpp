#include "MainWindowFixture.h"

#include <QFileDialog>

namespace {

using TransferTest = MainWindowTest;

void FillInstrument(sim::InstrumentModel& instrument) {
    for (std::size_t i = 0; i < instrument.memory.size(); ++i) {
        instrument.memory[i] = static_cast<std::uint8_t>(3 + i * 11 + i / 256);
    }
}

TEST_F(TransferTest, ReadSaveAndCompare) {
    FillInstrument(port.instrument);
    Start();
    QString searching, mode;
    Arm(formMain->BtnRead, [&] {
        searching = formSearsh->stInfo->text();
        mode = formSearsh->stRezim->text();
        EXPECT_EQ(formSearsh->Animate1->CurrentClip(), TAnimate::Clip::FindComputer);
        EXPECT_TRUE(formSearsh->Animate1->Playing());
        port.InstrumentSends("!");
        EXPECT_EQ(formSearsh->stInfo->text(), "Данные считаны");
        EXPECT_EQ(formSearsh->ProgressBar1->maximum(), 512);
        EXPECT_EQ(formSearsh->ProgressBar1->value(), 512);
        EXPECT_EQ(formSearsh->Animate1->CurrentClip(), TAnimate::Clip::None);
        EXPECT_TRUE(formSearsh->BtnCancel->isEnabled());
        EXPECT_TRUE(formSearsh->isVisible()) << "the result stays on view";
    });
    EXPECT_EQ(searching, "Поиск прибора...");
    EXPECT_EQ(mode, "Режим: Чтение данных");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(formMain->BtnSaveAs->isEnabled());
    EXPECT_EQ(formMain->state.images.DeviceImageValid, 1);
    EXPECT_EQ(port.clock.nowMs(), 1 + 512 * 100.0);

    ChooseInDialog(formMain->BtnSaveAs, ""); // cancelled: nothing written, nothing said
    EXPECT_TRUE(driver.boxes.empty());
    EXPECT_EQ(formMain->state.images.DeviceImageValid, 1);

    // The whole memory goes to a file; typed without ".bin", it gets one.
    ChooseInDialog(formMain->BtnSaveAs, dir.filePath("read"));
    QFile saved(dir.filePath("read.bin"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(bytes.size(), 131072);
    EXPECT_TRUE(
        std::equal(bytes.begin(), bytes.end(), port.instrument.memory.begin(),
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));

    ChooseInDialog(formMain->BtnOpen, WriteFile("same.bin", 5000));
    formMain->BtnVerify->click();
    ChooseInDialog(formMain->BtnOpen, dir.filePath("read.bin"));
    formMain->BtnVerify->click();
    EXPECT_EQ(BoxTexts(), (std::vector<QString>{"OK", "OK"}));
    EXPECT_EQ(driver.boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_TRUE(formMain->BtnVerify->isEnabled());
    EXPECT_EQ(formMain->state.images.DeviceImageValid, 1) << "a save keeps the read valid";

    // A read that fails disables the save button again.
    port.instrument.faults = {{sim::Fault::NoReply, 100, 2}};
    Arm(formMain->BtnRead, [&] {
        port.InstrumentSends("!");
        EXPECT_EQ(formSearsh->stInfo->text(), "Ошибка считывания");
        EXPECT_EQ(formSearsh->ProgressBar1->value(), 101);
    });
    EXPECT_FALSE(formMain->BtnSaveAs->isEnabled());
    formMain->BtnVerify->click();
    EXPECT_EQ(BoxTexts().back(), "Один из файлов не загружен");
}

TEST_F(TransferTest, CompareCountsDifferences) {
    FillInstrument(port.instrument);
    Start();
    Arm(formMain->BtnRead, [&] { port.InstrumentSends("!"); });
    const QString path = WriteFile("prog.bin", 1000);
    QFile f(path);
    f.open(QIODevice::ReadWrite);
    f.seek(7);
    f.write("\x00\x00\x00", 3);
    f.close();
    ChooseInDialog(formMain->BtnOpen, path);
    formMain->BtnVerify->click();
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0].text, "Количество обнаруженных ошибок = 3");
    EXPECT_EQ(driver.boxes[0].caption, "Ошибка");
    EXPECT_EQ(driver.boxes[0].icon, QMessageBox::Critical);
}

TEST_F(TransferTest, HandshakeAfterTheWaitWindowWasClosedShowsItAgain) {
    Start();
    ChooseInDialog(formMain->BtnOpen, WriteFile("p.bin", 1024));
    formMain->cbCheck->setChecked(true);
    QString mode;
    Arm(formMain->BtnWrite, [&] { mode = formSearsh->stRezim->text(); });
    EXPECT_EQ(mode, "Режим: Запись данных");
    EXPECT_EQ(formMain->state.TransferMode, ModeWriteWithCheck);
    ASSERT_TRUE(port.IsOpen());

    for (const char* ignored : {"!!!!", "abc"}) {
        port.InstrumentSends(ignored);
        EXPECT_EQ(port.instrument.writePackets, 0) << ignored;
        EXPECT_TRUE(port.IsOpen());
    }
    int dispatches = 0;
    int modalDispatches = 0;
    pump.onDispatch = [&] {
        ++dispatches;
        modalDispatches +=
            formSearsh->isVisible() && QApplication::activeModalWidget() == formSearsh;
    };
    port.InstrumentSends("a!");
    pump.onDispatch = nullptr;
    EXPECT_GT(dispatches, 0);
    EXPECT_EQ(modalDispatches, dispatches) << "the wait window is modal at every dispatch";
    EXPECT_TRUE(formSearsh->isVisible());
    EXPECT_EQ(formSearsh->stInfo->text(), "Данные записаны");
    EXPECT_EQ(port.instrument.writePackets, 4);
    EXPECT_EQ(port.instrument.readRequests, 4) << "the check reads every sector back";
    EXPECT_FALSE(port.IsOpen());
    formSearsh->BtnCancel->click();
    EXPECT_FALSE(formSearsh->isVisible());
}

TEST_F(TransferTest, WaitWindowCannotBeClosedDuringARun) {
    Start();
    ChooseInDialog(formMain->BtnOpen, WriteFile("p.bin", 2048));
    bool closedMidRun = false;
    Arm(formMain->BtnWrite, [&] {
        pump.onDispatch = [&] {
            EXPECT_FALSE(formSearsh->BtnCancel->isEnabled());
            formSearsh->reject();
            formSearsh->close();
            formMain->close();
            closedMidRun = closedMidRun || !formSearsh->isVisible() || !formMain->isVisible();
        };
        port.InstrumentSends("!");
        pump.onDispatch = nullptr;
    });
    EXPECT_FALSE(closedMidRun);
    EXPECT_EQ(port.instrument.writePackets, 8);
}

TEST_F(TransferTest, LineErrorWindsTheRunUp) {
    Start();
    int dispatches = 0;
    Arm(formMain->BtnRead, [&] {
        pump.onDispatch = [&] {
            if (++dispatches == 40) {
                port.line.Unplug();
            }
        };
        port.InstrumentSends("!");
        pump.onDispatch = nullptr;
        EXPECT_EQ(formSearsh->stInfo->text(), "Ошибка считывания");
        EXPECT_TRUE(formSearsh->BtnCancel->isEnabled());
        EXPECT_EQ(formSearsh->Animate1->CurrentClip(), TAnimate::Clip::None);
    });
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0].text, "Read error (5), Input/output error.");
    EXPECT_EQ(driver.boxes[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(formMain->BtnSaveAs->isEnabled());
    EXPECT_EQ(formMain->state.images.DeviceImageValid, 0);
}

TEST_F(TransferTest, ArmedWriteSendsNothingOnceTheProgramIsNoLongerLoaded) {
    Start();
    ChooseInDialog(formMain->BtnOpen, WriteFile("p.bin", 1024));
    Arm(formMain->BtnWrite, [] {}); // closed: the tool stays armed
    ChooseInDialog(formMain->BtnOpen, dir.filePath("missing.bin"));
    ASSERT_EQ(formMain->state.images.ProgramLoaded, 0);
    ASSERT_TRUE(port.IsOpen());

    port.InstrumentSends("!");
    EXPECT_EQ(port.instrument.writePackets, 0);
    EXPECT_TRUE(port.line.hostToInstrument.empty()) << "nothing is sent";
    EXPECT_EQ(formSearsh->stInfo->text(), "Ошибка записи");
    EXPECT_TRUE(formSearsh->BtnCancel->isEnabled());
    EXPECT_EQ(formSearsh->Animate1->CurrentClip(), TAnimate::Clip::None);
    EXPECT_FALSE(port.IsOpen());
    ASSERT_EQ(BoxTexts(), (std::vector<QString>{"Не могу считать файл", "Программа не загружена"}));
    EXPECT_EQ(driver.boxes[1].caption, "Программатор");
    EXPECT_EQ(driver.boxes[1].icon, QMessageBox::Warning);
    formSearsh->BtnCancel->click();
}

TEST_F(TransferTest, ReadDuringTheSaveDialogIsNotSaved) {
    FillInstrument(port.instrument);
    Start();
    Arm(formMain->BtnRead, [&] { port.InstrumentSends("!"); });
    ASSERT_TRUE(formMain->BtnSaveAs->isEnabled());
    const QString path = WriteFile("kept.bin", 10);
    Arm(formMain->BtnRead, [] {}); // armed again, the wait window closed

    // The instrument switches on while the save dialog is open; its read fails at 100.
    port.instrument.faults = {{sim::Fault::NoReply, 100, 2}};
    driver.Handle([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog) {
            return;
        }
        port.InstrumentSends("!");
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->clearFocus();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
    formMain->BtnSaveAs->click();
    driver.Handle(nullptr);
    EXPECT_EQ(formMain->state.images.DeviceImageValid, 0);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Не могу сохранить в файл."});
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.size(), 10) << "nothing written";
}

TEST_F(TransferTest, LineErrorWhileArmedWindsUpAndStaleBytesStartNothing) {
    Start();
    // A "!" left waiting in the device before the port was opened.
    port.line.InstrumentSends("!");
    port.clock.advanceNs(5'000'000);
    Arm(formMain->BtnRead, [&] {
        port.InstrumentSends("x");
        EXPECT_EQ(port.instrument.readRequests, 0) << "the old \"!\" was thrown away";
        EXPECT_EQ(formSearsh->stInfo->text(), "Поиск прибора...");

        port.line.Unplug();
        port.InstrumentSends("!");
        EXPECT_FALSE(port.IsOpen());
        EXPECT_TRUE(formSearsh->BtnCancel->isEnabled());
        EXPECT_EQ(formSearsh->Animate1->CurrentClip(), TAnimate::Clip::None);
        EXPECT_EQ(formSearsh->stInfo->text(), "Ошибка считывания");
    });
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0].text, "Read error (5), Input/output error.");
}

} // namespace
