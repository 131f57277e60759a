#include "FormStorage.h"

#include "MessageBoxes.h"

#include "qt/PortNames.h"

#include <QSettings>
#include <QVariant>

namespace {

const QString FormVersion = QStringLiteral("FormVersion");
const QString CheckedValue = QStringLiteral("cbCheck_Checked");
const QString PortTagValue = QStringLiteral("cbPort_Tag");
const QString FileNameValue = QStringLiteral("OpenDialog1_FileName");
const QString PortNameValue = QStringLiteral("cbPort_Name");

bool IsString(const QVariant& v) {
    return v.typeId() == QMetaType::QString;
}

} // namespace

FormStorage::FormStorage(QString executableName, QString settingsFile)
    : executableName_(std::move(executableName)), settingsFile_(std::move(settingsFile)) {}

QString FormStorage::TrimBlanks(const QString& text) {
    // Blanks and control characters: everything at or below the space.
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 0x20) {
        ++first;
    }
    while (last > first && text.at(last - 1).unicode() <= 0x20) {
        --last;
    }
    return text.mid(first, last - first);
}

std::unique_ptr<QSettings> FormStorage::OpenStore() const {
    if (!settingsFile_.isEmpty()) {
        return std::make_unique<QSettings>(settingsFile_, QSettings::IniFormat);
    }
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\%1\\TformMain").arg(executableName_),
        QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, executableName_,
                                       QStringLiteral("TformMain"));
#endif
}

void FormStorage::Restore(QWidget* errorParent, RememberedSettings& settings) {
    const auto store = OpenStore();
    int version = 0;
    if (store->contains(FormVersion)) {
        const QVariant v = store->value(FormVersion);
        if (!IsString(v)) {
            ShowDefaultError(errorParent,
                             QStringLiteral("Invalid data type for '%1'").arg(FormVersion));
            return;
        }
        bool ok = false;
        version = TrimBlanks(v.toString()).toInt(&ok);
        version = ok ? version : 0;
    }
    restored_ = true;
    if (version < 0) {
        return;
    }
    if (const QVariant v = store->value(CheckedValue); IsString(v)) {
        const QString text = TrimBlanks(v.toString());
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
            settings.cbCheckChecked = true;
        } else if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
            settings.cbCheckChecked = false;
        }
    }
    if (const QVariant v = store->value(PortTagValue); IsString(v)) {
        bool ok = false;
        const int tag = TrimBlanks(v.toString()).toInt(&ok);
        settings.cbPortTag = ok ? tag : 0;
    }
    if (const QVariant v = store->value(FileNameValue); IsString(v)) {
        settings.openDialogFileName = TrimBlanks(v.toString());
    }
    if (const QVariant v = store->value(PortNameValue);
        settings.cbPortTag >= FixedPortCount && IsString(v)) {
        settings.cbPortName = TrimBlanks(v.toString());
    }
}

bool FormStorage::Save(QWidget* errorParent, const RememberedSettings& settings) {
    if (!restored_) {
        return true;
    }
    const auto store = OpenStore();
    const std::pair<QString, QString> values[] = {
        {FormVersion, QStringLiteral("0")},
        {CheckedValue, settings.cbCheckChecked ? QStringLiteral("True") : QStringLiteral("False")},
        {PortTagValue, QString::number(settings.cbPortTag)},
        {FileNameValue, TrimBlanks(settings.openDialogFileName)},
        {PortNameValue, settings.cbPortTag >= FixedPortCount ? settings.cbPortName : QString()},
    };
    for (const auto& [name, value] : values) {
        store->setValue(name, value);
        store->sync();
        if (store->status() != QSettings::NoError) {
            ShowDefaultError(errorParent, QStringLiteral("Failed to set data for '%1'").arg(name));
            return false;
        }
    }
    return true;
}
