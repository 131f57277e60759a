#pragma once

// Answers the tool's modal windows while a test drives it: every message box
// is recorded and closed with OK, and other modal windows (the wait window,
// the file dialogs) are handed to the test's own handler, once per showing.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

struct SeenBox {
    QString text;
    QString caption;
    QMessageBox::Icon icon;
};

class ModalDriver {
public:
    ModalDriver() {
        // Two timers: a Qt timer does not fire again while its own handler runs,
        // and a handler may run a whole transfer during which boxes still need answers.
        boxTimer_.setInterval(2);
        QObject::connect(&boxTimer_, &QTimer::timeout, [this] { AnswerBox(); });
        boxTimer_.start();
        windowTimer_.setInterval(2);
        QObject::connect(&windowTimer_, &QTimer::timeout, [this] { HandleWindow(); });
        windowTimer_.start();
    }

    std::vector<SeenBox> boxes;

    // The handler for the modal windows shown from now on.
    void Handle(std::function<void(QWidget*)> handler) {
        onModal = std::move(handler);
        handled_ = nullptr;
    }

private:
    void AnswerBox() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.push_back({box->text(), box->windowTitle(), box->icon()});
            box->button(QMessageBox::Ok)->click();
        }
    }
    void HandleWindow() {
        QWidget* modal = QApplication::activeModalWidget();
        if (qobject_cast<QMessageBox*>(modal) || modal == handled_) {
            return;
        }
        handled_ = modal;
        if (modal && onModal) {
            onModal(modal);
        }
    }

    std::function<void(QWidget*)> onModal;
    QTimer boxTimer_;
    QTimer windowTimer_;
    QPointer<QWidget> handled_;
};
