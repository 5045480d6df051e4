#include "gui_fixture.h"

#include <fstream>

namespace tressel::test {

int CCountingReader::reads = 0;

CCountingReader::CCountingReader(const std::string& path, bool) : CFileReader(path) {
    ++reads;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != "TST")
        return;
    while (std::getline(in, line))
        appendValue(line);
    setRecognized(true);
}

const ReaderTable& CountingReaderTable() {
    static const ReaderTable table{{&MakeReader<CCountingReader>}, {}};
    return table;
}

std::string ReadableContent(const std::string& firstValue, const std::string& secondValue) {
    return "TST\n" + firstValue + "\n" + secondValue + "\n";
}

GuiTest::GuiTest() : m_savedConfigHome(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
    SettingsStore::reset();
    CCountingReader::reads = 0;
}

GuiTest::~GuiTest() {
    SettingsStore::reset();
    qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
}

} // namespace tressel::test
