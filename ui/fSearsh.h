#pragma once

// The wait window: shown while the tool waits for the instrument and while a
// transfer runs. The arming code and the runs set its texts and progress.

#include "Animate.h"

#include <QDialog>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

class TformSearsh : public QDialog {
    Q_OBJECT
public:
    explicit TformSearsh(QWidget* parent = nullptr);

    QFrame* Panel1;
    TAnimate* Animate1;
    QLabel* stRezim;
    QProgressBar* ProgressBar1;
    QLabel* stInfo;
    QPushButton* BtnCancel;

    void BtnCancelClick();
    // The window cannot be closed while its Close button is disabled (a run is on).
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
};
