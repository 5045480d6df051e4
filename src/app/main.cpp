#include "app/application.h"
#include "app/main_frame.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

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

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("tressel-renamer");
    QApplication::setApplicationDisplayName("Tressel Renamer");
    QApplication::setDesktopFileName("tressel-renamer");
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
