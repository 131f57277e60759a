#include "MessageBoxes.h"

#include "qt/QtText.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <exception>

QString ApplicationTitle(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    if (const auto dot = name.indexOf(QLatin1Char('.')); dot >= 0) {
        name.truncate(dot);
    }
    return name.left(1) + name.mid(1).toLower();
}

QString DefaultErrorText(const QString& message) {
    if (!message.isEmpty() && message.back() <= QLatin1Char('.')) {
        return message;
    }
    return message + QLatin1Char('.');
}

namespace {

QMessageBox::Icon IconOf(texts::MessageIcon icon) {
    switch (icon) {
    case texts::MessageIcon::Error:
        return QMessageBox::Critical;
    case texts::MessageIcon::Warning:
        return QMessageBox::Warning;
    case texts::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void ShowDefaultError(QWidget* parent, const QString& message) {
    ShowBox(parent, QMessageBox::Critical,
            ApplicationTitle(QCoreApplication::applicationFilePath()), DefaultErrorText(message));
}

void ShowMessage(QWidget* parent, const texts::OperatorMessage& message) {
    ShowBox(parent, IconOf(message.icon), Q(message.caption), Q(message.text));
}

void ShowMessage(QWidget* parent, const ShownMessage& message) {
    ShowBox(parent, IconOf(message.icon), Q(message.caption), Q(message.text));
}

void Guarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowDefaultError(parent, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowDefaultError(parent, QStringLiteral("Unknown error"));
    }
}
