#pragma once

#include "ModalDriver.h"
#include "SimPortConnection.h"

#include "ui/fHelp.h"
#include "ui/fMain.h"
#include "ui/fSearsh.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>
#include <memory>

class MainWindowTest : public ::testing::Test {
protected:
    static inline const QString ExecutableName = QStringLiteral("ProgVektalTest");

    void SetUp() override { QFile::remove(SettingsFile()); }
    void TearDown() override {
        if (formMain && formMain->isVisible()) {
            formMain->close();
        }
    }

    // The test's own store: never the operator's settings or registry.
    QString SettingsFile() const { return dir.filePath(QStringLiteral("TformMain.ini")); }
    QSettings Settings() const { return QSettings(SettingsFile(), QSettings::IniFormat); }
    void Store(const std::map<QString, QString>& values) {
        QSettings s = Settings();
        for (const auto& [k, v] : values) {
            s.setValue(k, v);
        }
    }
    QString Stored(const QString& name) const { return Settings().value(name).toString(); }

    void Start() {
        formMain = std::make_unique<TformMain>(
            port, pump, ExecutableName,
            TformMain::Setup{
                [](int n) { return n > 0 ? QStringLiteral("COM%1").arg(n) : QString(); },
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

    QString WriteFile(const QString& name, qint64 size, int seed = 3) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QByteArray bytes(size, '\0');
        for (qint64 i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(seed + i * 11 + i / 256);
        }
        f.write(bytes);
        return path;
    }

    // Clicks an arming button and runs the script while the wait window is up;
    // the window is closed afterwards if the script left it open.
    void Arm(QAbstractButton* button, const std::function<void()>& insideWaitWindow) {
        driver.Handle([&](QWidget* w) {
            if (w != formSearsh) {
                return;
            }
            insideWaitWindow();
            if (formSearsh->isVisible() && formSearsh->BtnCancel->isEnabled()) {
                formSearsh->BtnCancel->click();
            }
        });
        button->click();
        driver.Handle(nullptr);
    }

    // Answers the next file dialog with the path, or cancels it for an empty one.
    void ChooseInDialog(QAbstractButton* button, const QString& path) {
        driver.Handle([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog) {
                return;
            }
            if (path.isEmpty()) {
                dialog->reject();
            } else {
                // The dialog leaves a focused name box alone.
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->clearFocus();
                dialog->selectFile(path);
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        button->click();
        driver.Handle(nullptr);
    }

    std::vector<QString> BoxTexts() const {
        std::vector<QString> t;
        for (const auto& b : driver.boxes) {
            t.push_back(b.text);
        }
        return t;
    }

    QTemporaryDir dir;
    SimPortConnection port;
    SimQtPump pump{port.clock};
    ModalDriver driver;
    std::unique_ptr<TformMain> formMain;
    TformSearsh* formSearsh = nullptr;
    TformHelp* formHelp = nullptr;
};
