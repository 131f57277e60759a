#pragma once

class QCoreApplication;

// Qt's own words (file dialogs, message-box buttons, command-line help) in
// the operator's language: Qt's Russian translation, from Qt's translations
// folder, or from beside the program where windeployqt puts it.
// Returns whether it was found.
bool LoadQtRussian(QCoreApplication& app);
