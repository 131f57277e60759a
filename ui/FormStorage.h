#pragma once

// The main window's remembered settings: on Windows the registry key
// HKEY_CURRENT_USER\Software\<executable name>\TformMain, elsewhere the same
// values in a per-user INI file. All four values are strings.

#include <QString>

#include <memory>

class QSettings;
class QWidget;

struct RememberedSettings {
    bool cbCheckChecked = false;
    int cbPortTag = 0;
    QString openDialogFileName;
    QString cbPortName; // the chosen port's name, for a port past the eighth
};

class FormStorage {
public:
    // With a settings file, the values are kept there instead of in the
    // operator's store (the registry on Windows).
    explicit FormStorage(QString executableName, QString settingsFile = {});

    // Reads the stored values over the given ones; values that are missing or
    // unusable leave them as they are. A "FormVersion" that is not a string is
    // reported, and then nothing is restored or saved for this run.
    void Restore(QWidget* errorParent, RememberedSettings& settings);
    // Writes the four values; the first that fails is reported and ends the save.
    // Returns whether everything was written.
    bool Save(QWidget* errorParent, const RememberedSettings& settings);

    static QString TrimBlanks(const QString& text);

private:
    std::unique_ptr<QSettings> OpenStore() const;

    QString executableName_;
    QString settingsFile_;
    bool restored_ = false;
};
