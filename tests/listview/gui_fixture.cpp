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

} // namespace tressel::test
