#include "registry.h"

namespace tressel {

namespace {

// Tries the factories in order, holding at most one reader at a time.
std::unique_ptr<CFileReader> RunPass(const std::vector<ReaderFactory>& pass,
                                     const std::string& path, bool scanAll,
                                     std::unique_ptr<CFileReader> last) {
    for (ReaderFactory make : pass) {
        last.reset();
        last = make(path, scanAll);
        if (last->isRecognized())
            return last;
    }
    return last;
}

} // namespace

std::unique_ptr<CFileReader> CreateFileReader(const ReaderTable& table, const std::string& path,
                                              bool scanAll) {
    std::unique_ptr<CFileReader> reader = RunPass(table.firstPass, path, false, nullptr);
    if (reader && reader->isRecognized())
        return reader;
    if (scanAll)
        reader = RunPass(table.secondPass, path, true, std::move(reader));
    if (!reader)
        reader = std::make_unique<CUnrecognisedReader>(path);
    return reader;
}

std::unique_ptr<CFileReader> CreateFileReader(const std::string& path, bool scanAll) {
    return CreateFileReader(DefaultReaderTable(), path, scanAll);
}

} // namespace tressel
