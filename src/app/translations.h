#pragma once

#include <QLocale>
#include <QStringList>

class QTranslator;

namespace tressel {

// Installs the window's translation for the locale, tressel_<locale>.qm from the first
// folder that has one, and returns it (owned by the application); nullptr when there
// is none, and the texts stay English.
QTranslator* InstallOwnTranslation(const QLocale& locale, const QStringList& folders);

// Installs Qt's own translation for the standard dialogs' buttons, when there is one.
void InstallQtTranslation(const QLocale& locale);

// The installed translations folder, then the one beside the program in a build tree.
QStringList TranslationFolders();

} // namespace tressel
