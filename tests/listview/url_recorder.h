#pragma once

// Takes the place of the desktop's default applications: every file URL the program
// opens is recorded instead of launched.

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace tressel::test {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() { QDesktopServices::setUrlHandler("file", this, "open"); }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler("file"); }

    Q_INVOKABLE void open(const QUrl& url) { opened << url.toLocalFile(); }

    QStringList opened;
};

} // namespace tressel::test
