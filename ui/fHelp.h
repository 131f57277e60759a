#pragma once

// The help window: the operating instructions, editable until the tool exits.

#include <QDialog>

class QPlainTextEdit;

class TformHelp : public QDialog {
    Q_OBJECT
public:
    explicit TformHelp(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;
};
