#include "Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool LoadQtRussian(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    for (const QString& folder :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
        if (translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            return QCoreApplication::installTranslator(translator);
        }
    }
    delete translator;
    return false;
}
