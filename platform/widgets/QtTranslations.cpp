#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

bool InstallQtRussianTranslations(QCoreApplication& app) {
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder))
        return false;
    if (!QCoreApplication::installTranslator(translator.get()))
        return false;
    // The application keeps it for the rest of the run.
    translator.release()->setParent(&app);
    return true;
}
