#include "fMain.h"

#include "Fonts.h"
#include "MessageBoxes.h"
#include "Placement.h"
#include "fHelp.h"
#include "fSearsh.h"
#include "qt/QtText.h"

#include "images/OperatorTexts.h"
#include "images/ProgramFile.h"
#include "qt/FileSaving.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include <optional>

namespace {

// The wait window and the save button, as the runs see them.
class WaitWindowView : public TransferView {
public:
    WaitWindowView(TformSearsh& window, QToolButton& save) : window_(window), save_(save) {}
    void SetProgressRange(int minimum, int maximum) override {
        // An empty range would turn the bar into a busy indicator.
        window_.ProgressBar1->setRange(minimum, std::max(maximum, minimum + 1));
    }
    void SetProgressPosition(int position) override { window_.ProgressBar1->setValue(position); }
    void SetInfo(std::string_view text) override { window_.stInfo->setText(Q(text)); }
    void SetSaveEnabled(bool enabled) override { save_.setEnabled(enabled); }

private:
    TformSearsh& window_;
    QToolButton& save_;
};

// Runs the given step when the scope ends, however it ends.
template <class F> struct AtScopeEnd {
    F f;
    ~AtScopeEnd() { f(); }
};
template <class F> AtScopeEnd(F) -> AtScopeEnd<F>;

} // namespace

TformMain::TformMain(PortConnection& port, EventPump& pump, const QString& executableName,
                     Setup setup)
    : VaComm1(port), FormStorage1(executableName, setup.settingsFile),
      deviceForPort_(std::move(setup.deviceForPort)), protocol_(state.images, port, pump) {
    if (!deviceForPort_) {
        deviceForPort_ = [this](int number) {
            const auto& ports = cbPort->Ports();
            return number >= 1 && number <= ports.size() ? ports[number - 1].device : QString();
        };
    }
    setObjectName(QStringLiteral("formMain"));
    BuildControls();
    connect(&VaComm1, &PortConnection::RxChar, this, [this] { VaComm1RxChar(); });
}

TformMain::~TformMain() {
    // A save that failed at the close request is tried once more on the way out.
    if (saveFailed_) {
        FormStorage1.Save(nullptr, CurrentSettings());
    }
}

void TformMain::SetWindows(TformSearsh* searsh, TformHelp* help) {
    formSearsh_ = searsh;
    formHelp_ = help;
}

void TformMain::BuildControls() {
    setWindowTitle(Q(texts::MainCaption));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(DesignFont(11));
    setFixedSize(258, 236);
    move(433, 301);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(0, 0, 258, 31);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);

    auto toolButton = [this](int left, QStyle::StandardPixmap glyph, std::string_view hint) {
        auto* b = new QToolButton(Panel1);
        b->setGeometry(left, 5, 23, 22);
        b->setAutoRaise(true);
        b->setIcon(style()->standardIcon(glyph));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(Q(hint));
        return b;
    };
    BtnOpen = toolButton(5, QStyle::SP_DirOpenIcon, texts::HintOpen);
    BtnSaveAs = toolButton(29, QStyle::SP_DialogSaveButton, texts::HintSaveAs);
    BtnRead = toolButton(53, QStyle::SP_ArrowDown, texts::HintRead);
    BtnVerify = toolButton(77, QStyle::SP_BrowserReload, texts::HintVerify);
    btnHelp = toolButton(229, QStyle::SP_MessageBoxQuestion, texts::HintHelp);
    BtnSaveAs->setEnabled(false);

    cbPort = new PortComboBox(Panel1);
    cbPort->setGeometry(104, 5, 121, 21);
    cbPort->setEditable(false);
    cbPort->Fill(ListPorts());

    auto label = [](QWidget* parent, int left, int top, const QString& text,
                    std::string_view hint) {
        auto* l = new QLabel(text, parent);
        l->move(left, top);
        l->setToolTip(Q(hint));
        l->adjustSize();
        return l;
    };
    GroupBox2 = new QGroupBox(Q(texts::GroupProgramInfo), this);
    GroupBox2->setGeometry(0, 40, 257, 97);
    StaticText1 = label(GroupBox2, 8, 24, Q(texts::LabelFileName), texts::HintFileName);
    StaticText2 = label(GroupBox2, 8, 48, Q(texts::LabelFileSize), texts::HintFileSize);
    StaticText3 = label(GroupBox2, 8, 72, Q(texts::LabelSectors), texts::HintSectors);
    stNameFile = label(GroupBox2, 96, 24, {}, texts::HintFileName);
    stSizeFile = label(GroupBox2, 96, 48, {}, texts::HintFileSize);
    stKolSect = label(GroupBox2, 96, 72, {}, texts::HintSectors);

    GroupBox1 = new QGroupBox(Q(texts::GroupWrite), this);
    GroupBox1->setGeometry(0, 152, 257, 81);
    cbCheck = new QCheckBox(Q(texts::CheckWithVerify), GroupBox1);
    // Where the font is wider than the one the layout was drawn for, the box
    // grows into the free space to its right so that its text stays whole.
    cbCheck->setGeometry(8, 24, std::max(145, cbCheck->sizeHint().width()), 17);
    cbCheck->setToolTip(Q(texts::HintCheckWithVerify));
    BtnWrite = new QPushButton(Q(texts::ButtonWrite), GroupBox1);
    BtnWrite->setGeometry(8, 48, 241, 25);
    BtnWrite->setToolTip(Q(texts::HintWrite));

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setNameFilter(Q(texts::FileFilter));
    OpenDialog1->setFileMode(QFileDialog::AnyFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setNameFilter(Q(texts::FileFilter));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setDefaultSuffix(QStringLiteral("bin"));
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);

    auto handle = [this](auto* sender, auto signal, void (TformMain::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { Guarded(this, [&] { (this->*handler)(); }); });
    };
    handle(BtnOpen, &QToolButton::clicked, &TformMain::BtnOpenClick);
    handle(BtnSaveAs, &QToolButton::clicked, &TformMain::BtnSaveAsClick);
    handle(BtnRead, &QToolButton::clicked, &TformMain::BtnReadClick);
    handle(BtnVerify, &QToolButton::clicked, &TformMain::BtnVerifyClick);
    handle(btnHelp, &QToolButton::clicked, &TformMain::btnHelpClick);
    handle(BtnWrite, &QPushButton::clicked, &TformMain::BtnWriteClick);
    handle(cbPort, &QComboBox::activated, &TformMain::cbPortChange);
}

RememberedSettings TformMain::CurrentSettings() const {
    return {cbCheck->isChecked(), cbPortTag, OpenDialog1FileName, cbPortName};
}

void TformMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    Guarded(this, [this] {
        RememberedSettings s = CurrentSettings();
        FormStorage1.Restore(this, s);
        cbCheck->setChecked(s.cbCheckChecked);
        cbPortTag = s.cbPortTag;
        cbPortName = s.cbPortName;
        OpenDialog1FileName = s.openDialogFileName;
        FormShow();
    });
}

void TformMain::closeEvent(QCloseEvent* event) {
    if (running_) { // a run ends by itself; the wait window shows its result
        event->ignore();
        return;
    }
    Guarded(this, [this] { saveFailed_ = !FormStorage1.Save(this, CurrentSettings()); });
    FormClose();
    event->accept();
}

void TformMain::FormShow() {
    state.images.ProgramLoaded = 0;
    if (cbPortTag >= FixedPortCount) {
        // Past the fixed entries the list's order can change: the name finds the port.
        const int found = cbPort->findText(cbPortName);
        cbPortTag = found >= FixedPortCount ? found : cbPortTag;
        cbPort->setCurrentIndex(found >= FixedPortCount ? found : -1);
    } else {
        cbPort->setCurrentIndex(cbPortTag >= 0 ? cbPortTag : -1);
    }
    const QString remembered = OpenDialog1FileName;
    // A folder is not a file to load; anything else there is tried, and refused if it is no file.
    if (!remembered.isEmpty() && QFileInfo::exists(remembered) && !QFileInfo(remembered).isDir()) {
        LoadProgram(remembered);
        return;
    }
    for (QLabel* l : {stNameFile, stSizeFile, stKolSect}) {
        l->clear();
    }
    stNameFile->setToolTip({});
}

void TformMain::LoadProgram(const QString& path) {
    for (QLabel* l : {stNameFile, stSizeFile, stKolSect}) {
        l->clear();
    }
    const LoadResult r = LoadProgramFile(state.images, PathFromUtf8(U8(path)));
    switch (r.outcome) {
    case LoadOutcome::Loaded:
        stNameFile->setText(Q(r.fileName));
        stNameFile->setToolTip(QDir::toNativeSeparators(Q(r.fullPath)));
        stSizeFile->setText(Q(r.sizeText));
        stKolSect->setText(Q(r.sectorsText));
        for (QLabel* l : {stNameFile, stSizeFile, stKolSect}) {
            l->adjustSize();
        }
        break;
    case LoadOutcome::TooLarge:
        ShowMessage(this, texts::FileTooLarge);
        break;
    case LoadOutcome::CannotRead:
        stNameFile->setToolTip({});
        ShowMessage(this, texts::CannotReadFile);
        break;
    }
}

void TformMain::BtnOpenClick() {
    OpenDialog1->selectFile(OpenDialog1FileName);
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) {
        return;
    }
    // Shown and kept as the system writes paths: "C:\..." on Windows.
    const QString path = QDir::toNativeSeparators(OpenDialog1->selectedFiles().constFirst());
    OpenDialog1FileName = path;
    LoadProgram(path);
}

void TformMain::BtnSaveAsClick() {
    SaveDialog1->selectFile(lastSavePath_);
    const int readRunsBefore = state.readRuns;
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty()) {
        return; // a cancelled save changes nothing and says nothing
    }
    lastSavePath_ = SaveDialog1->selectedFiles().constFirst();
    // A read that ran while the dialog was open may have left a mixed image.
    if (state.images.DeviceImageValid != 1 || state.readRuns != readRunsBefore) {
        ShowMessage(this, texts::CannotSaveFile);
        return;
    }
    if (SaveDeviceImage(state.images, lastSavePath_) != SaveOutcome::Saved) {
        ShowMessage(this, texts::CannotSaveFile);
    }
}

void TformMain::BtnVerifyClick() {
    ShowMessage(this, CompareMessage(CompareImages(state.images)));
}

void TformMain::cbPortChange() {
    cbPortTag = cbPort->currentIndex();
    cbPortName = cbPort->currentText();
}

void TformMain::btnHelpClick() {
    CentreOver(*formHelp_, *this);
    formHelp_->exec();
}

bool TformMain::OpenPort() {
    VaComm1.Close();
    if (VaComm1.Open(deviceForPort_(cbPort->currentIndex() + 1))) {
        // A "!" left in the device from before must not start the run.
        try {
            VaComm1.Purge();
            return true;
        } catch (const SerialError&) {
        }
    }
    ShowMessage(this, texts::CannotOpenPort);
    VaComm1.Close();
    return false;
}

void TformMain::ShowWaitWindow(std::string_view mode) {
    CentreOver(*formSearsh_, *this);
    formSearsh_->Animate1->Stop();
    formSearsh_->Animate1->SetClip(TAnimate::Clip::FindComputer);
    formSearsh_->Animate1->Play();
    formSearsh_->stInfo->setText(Q(texts::InfoSearching));
    formSearsh_->stRezim->setText(Q(mode));
    formSearsh_->exec();
}

void TformMain::BtnReadClick() {
    formSearsh_->ProgressBar1->setValue(0);
    if (!OpenPort()) {
        return;
    }
    state.TransferMode = ModeRead;
    ShowWaitWindow(texts::ModeRead);
}

void TformMain::BtnWriteClick() {
    formSearsh_->ProgressBar1->setValue(0);
    if (state.images.ProgramLoaded != 1) {
        ShowMessage(this, texts::ProgramNotLoaded);
        return;
    }
    if (!OpenPort()) {
        return;
    }
    state.TransferMode = cbCheck->isChecked() ? ModeWriteWithCheck : ModeWrite;
    ShowWaitWindow(texts::ModeWrite);
}

void TformMain::VaComm1RxChar() {
    // Bytes that arrive while a run is on stay queued for the run.
    if (inHandshake_ || !VaComm1.IsOpen()) {
        return;
    }
    inHandshake_ = true;
    AtScopeEnd leaveHandshake{[this] { inHandshake_ = false; }};
    Guarded(formSearsh_, [this] {
        WaitWindowView view(*formSearsh_, *BtnSaveAs);
        std::string text;
        try {
            text = VaComm1.ReadText();
        } catch (const SerialError& e) {
            // The line failed while armed: wound up as a run that failed on its line.
            EndRun();
            view.SetInfo(state.TransferMode == ModeRead ? texts::InfoReadFailed
                                                        : texts::InfoWriteFailed);
            ShowDefaultError(formSearsh_, Q(e.what()));
            return;
        }
        if (!IsHandshake(text)) {
            return;
        }
        // A run always has the wait window on view, so nothing can touch the port meanwhile.
        if (!formSearsh_->isVisible()) {
            CentreOver(*formSearsh_, *this);
            formSearsh_->setWindowModality(Qt::ApplicationModal);
            formSearsh_->show();
        }
        TAnimate& animation = *formSearsh_->Animate1;
        animation.Stop();
        animation.SetClip(TAnimate::Clip::FindFile);
        animation.Play();
        formSearsh_->BtnCancel->setEnabled(false);

        std::optional<QString> lineError;
        RunOutcome outcome = RunOutcome::Done;
        {
            running_ = true;
            AtScopeEnd windUp{[this] { EndRun(); }};
            try {
                if (state.TransferMode == ModeRead) {
                    ++state.readRuns;
                }
                outcome = RunTransfer(state.TransferMode, protocol_, view);
            } catch (const SerialError& e) {
                lineError = Q(e.what());
            }
        }
        if (lineError) {
            ShowDefaultError(formSearsh_, *lineError);
        } else if (outcome == RunOutcome::NotLoaded) {
            ShowMessage(formSearsh_, texts::ProgramNotLoaded);
        }
    });
}

void TformMain::EndRun() {
    VaComm1.Close();
    formSearsh_->Animate1->Stop();
    formSearsh_->Animate1->SetClip(TAnimate::Clip::None);
    formSearsh_->BtnCancel->setEnabled(true);
    running_ = false;
}

void TformMain::FormClose() {
    VaComm1.Close();
}
