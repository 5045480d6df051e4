#pragma once

// The reader registry: which reader answers for a file.

#include "file_reader.h"

#include <memory>
#include <string>
#include <vector>

namespace tressel {

using ReaderFactory = std::unique_ptr<CFileReader> (*)(const FileInput& input, bool scanAll);

template <class Reader>
std::unique_ptr<CFileReader> MakeReader(const FileInput& input, bool scanAll) {
    return std::make_unique<Reader>(input, scanAll);
}

// The readers in the order they are tried. The first pass runs with the extension
// filter on; the second runs only with Scan All, with the filter off.
struct ReaderTable {
    std::vector<ReaderFactory> firstPass;
    std::vector<ReaderFactory> secondPass;
};

// One reader of the default table with its place in each pass (1 is tried first).
struct ReaderRow {
    ReaderFactory make;
    int firstPassPlace;
    int secondPassPlace;
};

// The table of rows, each pass ordered by its places.
ReaderTable TableFromRows(std::vector<ReaderRow> rows);
const ReaderTable& DefaultReaderTable();

// One reader the registry tried, and its answer.
struct ReaderAttempt {
    int pass = 0;                 // 1 or 2
    const char* reader = nullptr; // its format name
    bool accepted = false;
    const char* reason = nullptr; // why it refused, when it said
};
using ReaderTrace = std::vector<ReaderAttempt>;

// Never null. The first reader that accepted the file, or the last one tried (which
// refused it), or an unrecognising reader when the table is empty. With a trace, every
// reader tried is appended to it in order. The file is opened once (OpenFileInput)
// and every reader tried reads that one source.
std::unique_ptr<CFileReader> CreateFileReader(const std::string& path, bool scanAll,
                                              ReaderTrace* trace = nullptr);
std::unique_ptr<CFileReader> CreateFileReader(const ReaderTable& table, const std::string& path,
                                              bool scanAll, ReaderTrace* trace = nullptr);
std::unique_ptr<CFileReader> CreateFileReader(const ReaderTable& table, const FileInput& input,
                                              bool scanAll, ReaderTrace* trace = nullptr);

// A reader's answer as one short line: "accepted", or why it refused.
std::string AnswerText(const ReaderAttempt& attempt);
// Why no reader read the file, for a person: the answers of the readers that looked at
// the content, or else why none did.
UiText WhyNothingWasRead(const ReaderTrace& trace);

} // namespace tressel
