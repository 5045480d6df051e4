#include "icon_theme.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QStandardPaths>
#include <QStringList>

namespace tressel {

namespace {

// The full themes tried, in order, to back a theme that lacks the type icons.
const QStringList kFullThemes = {"Adwaita", "breeze", "oxygen", "gnome"};

QStringList SystemIconFolders() {
    QStringList folders{QDir::homePath() + "/.icons"};
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + "/icons";
    folders << "/usr/share/pixmaps";
    return folders;
}

bool ThemeInstalled(const QStringList& searchPaths, const QString& theme) {
    for (const QString& folder : searchPaths) {
        if (QFile::exists(folder + "/" + theme + "/index.theme"))
            return true;
    }
    return false;
}

} // namespace

void UseIconThemeFallbacks() {
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder : SystemIconFolders()) {
        if (!paths.contains(folder) && QDir(folder).exists())
            paths << folder;
    }
    QIcon::setThemeSearchPaths(paths);
    // Without a theme name no theme at all is searched, the fallback included.
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName("hicolor");
    const QString fallback = QIcon::fallbackThemeName();
    if (!fallback.isEmpty() && fallback != "hicolor")
        return;
    for (const QString& theme : kFullThemes) {
        if (theme != QIcon::themeName() && ThemeInstalled(paths, theme)) {
            QIcon::setFallbackThemeName(theme);
            return;
        }
    }
}

} // namespace tressel
