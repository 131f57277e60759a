// ProgVektal: creates the main window, the wait window and the help window,
// in that order, and runs the message loop until the main window closes.

#include "qt/QtEventPump.h"
#include "qt/QtSerialLine.h"
#include "qt/Translation.h"
#include "ui/MessageBoxes.h"
#include "ui/fHelp.h"
#include "ui/fMain.h"
#include "ui/fSearsh.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    LoadQtRussian(app);
    const QString executable = QCoreApplication::applicationFilePath();

    QtSerialLine port;
    QtEventPump pump;
    TformMain formMain(port, pump, QFileInfo(executable).completeBaseName());
    auto* formSearsh = new TformSearsh(&formMain);
    auto* formHelp = new TformHelp(&formMain);
    formMain.SetWindows(formSearsh, formHelp);

    formMain.show();
    return QApplication::exec();
}
