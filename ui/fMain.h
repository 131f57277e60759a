#pragma once

// The main window: the tool bar, the program's information, the write group,
// the remembered settings, and the handlers that arm and run the transfers.

#include "FormStorage.h"
#include "PortComboBox.h"
#include "qt/PortConnection.h"

#include "link/TransferRun.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;
class TformHelp;
class TformSearsh;

// What the tool keeps for the whole of its run.
struct ProgramState {
    ProgramImages images;
    int TransferMode = ModeNone;
    int readRuns = 0; // how many read runs have started
};

class TformMain : public QWidget {
    Q_OBJECT
public:
    // The device behind a port number (1 for the list's first entry).
    using DeviceForPort = std::function<QString(int number)>;
    // What a test chooses instead of the operator's own.
    struct Setup {
        DeviceForPort deviceForPort; // by default the one the port list found
        QString settingsFile;        // by default the operator's store (the registry on Windows)
    };

    TformMain(PortConnection& port, EventPump& pump, const QString& executableName,
              Setup setup = {});
    ~TformMain() override;

    // The wait and help windows, created after this one.
    void SetWindows(TformSearsh* searsh, TformHelp* help);

    QFrame* Panel1;
    QToolButton* BtnOpen;
    QToolButton* BtnSaveAs;
    QToolButton* BtnRead;
    QToolButton* BtnVerify;
    PortComboBox* cbPort;
    QToolButton* btnHelp;
    QGroupBox* GroupBox2;
    QLabel* StaticText1;
    QLabel* StaticText2;
    QLabel* StaticText3;
    QLabel* stNameFile;
    QLabel* stSizeFile;
    QLabel* stKolSect;
    QGroupBox* GroupBox1;
    QCheckBox* cbCheck;
    QPushButton* BtnWrite;
    QFileDialog* OpenDialog1;
    QFileDialog* SaveDialog1;
    PortConnection& VaComm1;
    FormStorage FormStorage1;

    ProgramState state;
    int cbPortTag = 0;           // the port list's remembered index
    QString cbPortName;          // and, past the eighth entry, its name
    QString OpenDialog1FileName; // the last path chosen in the open dialog

    void FormShow();
    void BtnOpenClick();
    void BtnSaveAsClick();
    void BtnReadClick();
    void BtnVerifyClick();
    void cbPortChange();
    void btnHelpClick();
    void BtnWriteClick();
    void VaComm1RxChar();
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void LoadProgram(const QString& path);
    bool OpenPort();
    void ShowWaitWindow(std::string_view mode);
    RememberedSettings CurrentSettings() const;
    // The end of a run, however it ended: port closed, no clip, Close enabled.
    void EndRun();

    DeviceForPort deviceForPort_;
    SectorProtocol protocol_;
    TformSearsh* formSearsh_ = nullptr;
    TformHelp* formHelp_ = nullptr;
    bool shown_ = false;
    bool running_ = false;
    bool inHandshake_ = false;
    bool saveFailed_ = false;
    QString lastSavePath_;
};
