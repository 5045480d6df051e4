#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tressel {

namespace {

QTranslator* Install(const QLocale& locale, const QString& name, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, name, "_", folder) &&
        QCoreApplication::installTranslator(translator))
        return translator;
    delete translator;
    return nullptr;
}

} // namespace

QTranslator* InstallOwnTranslation(const QLocale& locale, const QStringList& folders) {
    for (const QString& folder : folders) {
        if (QTranslator* translator = Install(locale, "tressel", folder))
            return translator;
    }
    return nullptr;
}

void InstallQtTranslation(const QLocale& locale) {
    Install(locale, "qtbase", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

QStringList TranslationFolders() {
    return {QStringLiteral(TRESSEL_TRANSLATIONS_DIR),
            QCoreApplication::applicationDirPath() + "/../translations"};
}

} // namespace tressel
