#include "fSearsh.h"

#include "Fonts.h"
#include "qt/QtText.h"

#include "images/OperatorTexts.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

TformSearsh::TformSearsh(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("formSearsh"));
    setFixedSize(298, 101);
    setModal(true);

    // Raised outer and lowered inner bevel.
    Panel1 = new QFrame(this);
    Panel1->setGeometry(0, 0, 298, 101);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    auto* inner = new QFrame(Panel1);
    inner->setGeometry(1, 1, 296, 99);
    inner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inner->setLineWidth(1);

    Animate1 = new TAnimate(Panel1);
    Animate1->setGeometry(8, 3, 48, 45);
    Animate1->SetClip(TAnimate::Clip::FindComputer);

    stRezim = new QLabel(Panel1);
    stRezim->setGeometry(64, 16, 193, 17);
    stRezim->setFont(DesignFont(13, true));

    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setGeometry(8, 51, 281, 16);
    ProgressBar1->setRange(0, 512);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    stInfo = new QLabel(Panel1);
    stInfo->setGeometry(8, 73, 201, 20);
    stInfo->setFont(DesignFont(13, true));
    stInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    BtnCancel = new QPushButton(Q(texts::WaitClose), Panel1);
    BtnCancel->setGeometry(216, 72, 75, 21);
    connect(BtnCancel, &QPushButton::clicked, this, &TformSearsh::BtnCancelClick);
}

void TformSearsh::BtnCancelClick() {
    Animate1->Stop();
    QDialog::reject();
}

void TformSearsh::reject() {
    if (BtnCancel->isEnabled()) {
        BtnCancelClick();
    }
}

void TformSearsh::closeEvent(QCloseEvent* event) {
    if (!BtnCancel->isEnabled()) {
        event->ignore();
        return;
    }
    Animate1->Stop();
    QDialog::closeEvent(event);
}
