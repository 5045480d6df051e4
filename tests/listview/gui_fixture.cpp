#include "gui_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <fstream>

namespace tressel::test {

std::atomic<int> CCountingReader::reads = 0;

CCountingReader::CCountingReader(const std::string& path, bool) : CFileReader(path) {
    ++reads;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != "TST")
        return;
    while (std::getline(in, line)) {
        const size_t mark = line.find("@@");
        if (mark == std::string::npos)
            appendValue(line);
        else
            appendValue(line.substr(0, mark), line.substr(mark + 2));
    }
    setRecognized(true);
}

const ReaderTable& CountingReaderTable() {
    static const ReaderTable table{{&MakeReader<CCountingReader>}, {}};
    return table;
}

std::string ReadableContent(const std::string& firstValue, const std::string& secondValue) {
    return "TST\n" + firstValue + "\n" + secondValue + "\n";
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

} // namespace tressel::test
