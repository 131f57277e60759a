#include "MainWindowFixture.h"

#include "sim/SimulatedPorts.h"
#include "ui/MessageBoxes.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Points the user's runtime folder, where the simulated ports are listed, at
// a folder of the test's own for as long as it lives.
class OwnRuntimeFolder {
public:
    OwnRuntimeFolder() : saved_(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", folder_.path().toLocal8Bit());
    }
    ~OwnRuntimeFolder() {
        if (saved_.isNull()) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            qputenv("XDG_RUNTIME_DIR", saved_);
        }
    }

private:
    QTemporaryDir folder_;
    QByteArray saved_;
};

using StartupTest = MainWindowTest;

TEST_F(StartupTest, FirstStartWithNothingStored) {
    Start();
    EXPECT_EQ(formMain->windowTitle(), "Программатор ВЕКТАЛ-7  v1.0");
    EXPECT_EQ(formMain->size(), QSize(258, 236));
    EXPECT_EQ(formMain->pos(), QPoint(433, 301));
    EXPECT_EQ(formMain->cbPort->currentText(), "COM1");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(formMain->cbPort->itemText(i), QStringLiteral("COM%1").arg(i + 1));
    }
    EXPECT_FALSE(formMain->cbCheck->isChecked());
    EXPECT_FALSE(formMain->BtnSaveAs->isEnabled());
    for (QLabel* l : {formMain->stNameFile, formMain->stSizeFile, formMain->stKolSect}) {
        EXPECT_TRUE(l->text().isEmpty());
    }
    EXPECT_TRUE(formMain->stNameFile->toolTip().isEmpty());
    EXPECT_EQ(formMain->state.images.ProgramLoaded, 0);
    EXPECT_TRUE(driver.boxes.empty());
}

TEST_F(StartupTest, StoredPortCheckBoxAndFileAreRestored) {
    const QString program = WriteFile("прошивка.bin", 1000);
    Store({{"FormVersion", "0"},
           {"cbCheck_Checked", " tRuE "},
           {"cbPort_Tag", "2"},
           {"OpenDialog1_FileName", "  " + program + "\t"}});
    Start();
    EXPECT_EQ(formMain->cbPort->currentText(), "COM3");
    EXPECT_TRUE(formMain->cbCheck->isChecked());
    EXPECT_EQ(formMain->stNameFile->text(), "прошивка.bin");
    EXPECT_EQ(formMain->stNameFile->toolTip(), program);
    EXPECT_EQ(formMain->stSizeFile->text(), "1000");
    EXPECT_EQ(formMain->stKolSect->text(), "4");
    EXPECT_EQ(formMain->state.images.ProgramLoaded, 1);
}

TEST_F(StartupTest, UnusableStoredValues) {
    struct Case {
        const char* name;
        std::map<QString, QString> stored;
        int portIndex;
        bool checked;
    };
    const Case cases[] = {
        {"port not a number", {{"cbPort_Tag", "abc"}, {"cbCheck_Checked", "yes"}}, 0, false},
        {"port outside the list", {{"cbPort_Tag", "9"}}, -1, false},
        {"negative version reads nothing",
         {{"FormVersion", "-1"}, {"cbPort_Tag", "3"}, {"cbCheck_Checked", "True"}},
         0,
         false},
        {"version not a number counts as 0",
         {{"FormVersion", "x"}, {"cbPort_Tag", "3"}, {"cbCheck_Checked", "TRUE"}},
         3,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(Settings().fileName());
        Store(c.stored);
        Start();
        EXPECT_EQ(formMain->cbPort->currentIndex(), c.portIndex);
        EXPECT_EQ(formMain->cbCheck->isChecked(), c.checked);
        EXPECT_TRUE(driver.boxes.empty());
        formMain->close();
    }
}

TEST_F(StartupTest, PortOutsideTheListFailsToOpen) {
    Store({{"cbPort_Tag", "9"}});
    Start();
    formMain->BtnRead->click();
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0].text, "Не могу открыть порт");
    EXPECT_EQ(driver.boxes[0].caption, "Ошибка");
    EXPECT_EQ(driver.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(port.opens, 0);
    EXPECT_EQ(formMain->state.TransferMode, ModeNone);
    EXPECT_FALSE(formSearsh->isVisible());
}

TEST_F(StartupTest, RememberedFileMissingOrGrown) {
    Store({{"OpenDialog1_FileName", dir.filePath("gone.bin")}});
    Start();
    EXPECT_TRUE(driver.boxes.empty());
    EXPECT_TRUE(formMain->stNameFile->text().isEmpty());
    EXPECT_TRUE(formMain->stNameFile->toolTip().isEmpty());
    formMain->close();

    Store({{"OpenDialog1_FileName", WriteFile("big.bin", 131073)}});
    Start();
    ASSERT_EQ(BoxTexts(), std::vector<QString>{"Размер файла превышает максимально допустимый"});
    EXPECT_EQ(driver.boxes[0].caption, "Ошибка");
    EXPECT_EQ(formMain->state.images.ProgramLoaded, 0);
    EXPECT_TRUE(formMain->stSizeFile->text().isEmpty());
    formMain->close();

    // A folder is no file to load; a pipe is refused at once instead of blocking.
    Store({{"OpenDialog1_FileName", dir.path()}});
    Start();
    EXPECT_EQ(BoxTexts().size(), 1u);
    EXPECT_TRUE(formMain->stNameFile->text().isEmpty());
    formMain->close();
    const QString pipe = dir.filePath("pipe.bin");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    Store({{"OpenDialog1_FileName", pipe}});
    Start();
    EXPECT_EQ(BoxTexts().back(), "Не могу считать файл");
    EXPECT_EQ(formMain->state.images.ProgramLoaded, 0);
}

TEST_F(StartupTest, ClosingSavesTheSettingsBeforeThePortCloses) {
    const QString program = WriteFile("p.bin", 300);
    Store({{"OpenDialog1_FileName", program}});
    Start();
    formMain->cbPort->setCurrentIndex(2);
    emit formMain->cbPort->activated(2);
    formMain->cbCheck->setChecked(true);
    EXPECT_EQ(Stored("cbPort_Tag"), "") << "nothing is saved before the close";

    Arm(formMain->BtnRead, [] {});
    ASSERT_EQ(port.openedDevice, "COM3") << "closing the wait window leaves the port open";

    std::map<QString, QString> atClosing;
    port.onClose = [&] {
        for (const char* name :
             {"FormVersion", "cbCheck_Checked", "cbPort_Tag", "OpenDialog1_FileName"}) {
            atClosing[name] = Stored(name);
        }
    };
    formMain->close();
    EXPECT_FALSE(port.IsOpen());
    const std::map<QString, QString> expected{{"FormVersion", "0"},
                                              {"cbCheck_Checked", "True"},
                                              {"cbPort_Tag", "2"},
                                              {"OpenDialog1_FileName", program}};
    EXPECT_EQ(atClosing, expected);

    Start();
    EXPECT_EQ(formMain->cbPort->currentText(), "COM3");
    EXPECT_TRUE(formMain->cbCheck->isChecked());
}

TEST_F(StartupTest, VersionOfAnotherTypeIsReportedAndNothingIsSaved) {
    // An INI value with a comma reads back as a list, not a string.
    Store({{"cbPort_Tag", "4"}});
    Settings().setValue("FormVersion", QStringList{"0", "1"});
    Start();
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0].text, "Invalid data type for 'FormVersion'");
    EXPECT_EQ(driver.boxes[0].caption, ApplicationTitle(QCoreApplication::applicationFilePath()));
    EXPECT_EQ(formMain->cbPort->currentIndex(), 0);
    formMain->cbCheck->setChecked(true);
    formMain->close();
    EXPECT_EQ(Stored("cbPort_Tag"), "4");
    EXPECT_EQ(Stored("cbCheck_Checked"), "");
}

TEST_F(StartupTest, FailedSaveIsReportedAndTheWindowStillCloses) {
    Start();
    const QString ini = Settings().fileName();
    QFile::remove(ini);
    QDir().mkpath(ini); // a folder where the file should go
    formMain->close();
    QDir(ini).removeRecursively();
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0].text, "Failed to set data for 'FormVersion'");
    EXPECT_EQ(driver.boxes[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(formMain->isVisible());
}

TEST_F(StartupTest, PortPastTheEighthIsFoundAgainByName) {
    namespace fs = std::filesystem;
    const OwnRuntimeFolder runtime;
    fs::create_directories(SimulatedPortsFolder());
    const fs::path link = SimulatedPortsFolder() / "ui-test";
    fs::create_symlink("/dev/null", link);
    const QString name = QString::fromStdString(link.filename().string());

    Start();
    const int index = formMain->cbPort->findText(name);
    ASSERT_GE(index, 8);
    EXPECT_TRUE(formMain->cbPort->itemData(index, Qt::ToolTipRole)
                    .toString()
                    .startsWith("Имитатор прибора ВЕКТАЛ-7"));
    formMain->cbPort->setCurrentIndex(index);
    emit formMain->cbPort->activated(index);
    formMain->close();
    EXPECT_EQ(Stored("cbPort_Tag"), QString::number(index));
    EXPECT_EQ(Stored("cbPort_Name"), name);

    // Stored under another index, the port is still found by its name.
    Store({{"cbPort_Tag", "40"}});
    Start();
    EXPECT_EQ(formMain->cbPort->currentText(), name);
    formMain->close();
    EXPECT_EQ(Stored("cbPort_Tag"), QString::number(index));

    fs::remove(link);
    Start();
    EXPECT_EQ(formMain->cbPort->currentIndex(), -1) << "a port that is gone is not chosen";
}

TEST_F(StartupTest, OnlyTheUsersOwnSimulatedPortsAreListed) {
    namespace fs = std::filesystem;
    const OwnRuntimeFolder runtime;
    const fs::path folder = SimulatedPortsFolder();
    fs::create_directories(folder);
    fs::create_symlink("/dev/null", folder / "mine");
    fs::create_symlink("/dev/null", folder / "planted");
    auto listed = [](const char* name) {
        const auto ports = ListPorts();
        return std::any_of(ports.begin(), ports.end(),
                           [&](const PortEntry& p) { return p.name == name; });
    };
    EXPECT_TRUE(listed("mine"));
    if (::geteuid() == 0) { // only root can give a link away
        ASSERT_EQ(::lchown((folder / "planted").c_str(), 65534, 65534), 0);
        EXPECT_FALSE(listed("planted")) << "a link someone else made";
    }
    fs::permissions(folder, fs::perms::others_write, fs::perm_options::add);
    EXPECT_FALSE(listed("mine")) << "a folder anyone can write";
}

TEST(ErrorBoxTest, TitleAndTextRules) {
    EXPECT_EQ(ApplicationTitle("C:/Tools/ProgVektal.exe"), "Progvektal");
    EXPECT_EQ(ApplicationTitle("/usr/bin/ProgVektal"), "Progvektal");
    EXPECT_EQ(ApplicationTitle("/x/PROG.vektal.exe"), "Prog");
    EXPECT_EQ(DefaultErrorText("Read error (5), Input/output error"),
              "Read error (5), Input/output error.");
    EXPECT_EQ(DefaultErrorText("Done."), "Done.");
    EXPECT_EQ(DefaultErrorText("Invalid data type for 'FormVersion'"),
              "Invalid data type for 'FormVersion'");
    EXPECT_EQ(DefaultErrorText("Ошибка"), "Ошибка.");
}

} // namespace
