#include "app/application.h"
#include "app/main_frame.h"
#include "app/translations.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

// "--screenshot FILE": saves a picture of the main window once it has settled, then
// quits (scripts/screenshot uses it for the README's picture).
QString TakeScreenshotOption(QStringList& arguments) {
    const int at = arguments.indexOf("--screenshot");
    if (at < 0 || at + 1 >= arguments.size())
        return {};
    const QString file = arguments[at + 1];
    arguments.remove(at, 2);
    return file;
}

constexpr const char* kUsage = "Usage: tressel-renamer [FOLDER | FILE]\n"
                               "Renames files after the descriptive text they hold.\n"
                               "\n"
                               "  FOLDER     open this folder (by default the folder opened last)\n"
                               "  FILE       open the file's folder with the file selected\n"
                               "  --help     show this help and exit\n"
                               "  --version  show the version and exit\n";

// Answered before QApplication exists, so that they need no display. Returns the exit
// code, or -1 when the window is to start.
int AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tressel-renamer %s\n", TRESSEL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (const int code = AnswerInfoOption(argc, argv); code >= 0)
        return code;
    QApplication app(argc, argv);
    QApplication::setApplicationName("tressel-renamer");
    QApplication::setApplicationDisplayName("Tressel Renamer");
    QApplication::setDesktopFileName("tressel-renamer");
    tressel::InstallQtTranslation(QLocale());
    tressel::InstallOwnTranslation(QLocale(), tressel::TranslationFolders());
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const QString screenshot = TakeScreenshotOption(arguments);

    tressel::CTresselApplication program;
    program.start(arguments);
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(1500, [&program, screenshot] {
            const bool saved = program.frame()->grab().save(screenshot);
            QApplication::exit(saved ? 0 : 1);
        });
    }
    const int result = QApplication::exec();
    program.finish();
    return result;
}
