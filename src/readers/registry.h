#pragma once

// The reader registry: which reader answers for a file.

#include "file_reader.h"

#include <memory>
#include <string>
#include <vector>

namespace tressel {

using ReaderFactory = std::unique_ptr<CFileReader> (*)(const std::string& path, bool scanAll);

template <class Reader>
std::unique_ptr<CFileReader> MakeReader(const std::string& path, bool scanAll) {
    return std::make_unique<Reader>(path, scanAll);
}

// The readers in the order they are tried. The first pass runs with the extension
// filter on; the second runs only with Scan All, with the filter off.
struct ReaderTable {
    std::vector<ReaderFactory> firstPass;
    std::vector<ReaderFactory> secondPass;
};

const ReaderTable& DefaultReaderTable();

// Never null. The first reader that accepted the file, or the last one tried (which
// refused it), or an unrecognising reader when the table is empty.
std::unique_ptr<CFileReader> CreateFileReader(const std::string& path, bool scanAll);
std::unique_ptr<CFileReader> CreateFileReader(const ReaderTable& table, const std::string& path,
                                              bool scanAll);

} // namespace tressel
