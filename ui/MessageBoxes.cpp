#include "MessageBoxes.h"

#include "qt/QtText.h"

#include <QApplication>
#include <QFileInfo>
#include <QGridLayout>
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

// How much wider than its caption's text a message box is at least: room for
// the title bar's icon and buttons.
constexpr int CaptionRoom = 120;

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
    // At least wide enough for the caption and the title bar's buttons: a
    // box as short as "OK" would cut its caption off.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int width = box.fontMetrics().horizontalAdvance(caption) + CaptionRoom;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
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
        ShowDefaultError(parent, Q(e.what())); // our error texts are UTF-8 everywhere
    } catch (...) {
        ShowDefaultError(parent, QStringLiteral("Unknown error"));
    }
}
