#pragma once

// PDF: the document information dictionary, found through the file's trailer and
// cross-reference data.

#include "file_reader.h"

namespace tressel {

inline constexpr char kNoCrossReference[] = UI_TEXT_NOOP("Reading", "no cross-reference offset");
inline constexpr char kEncryptedValue[] = "encrypted :(";

// First the classic way of the last 200 bytes: their trailer's /Info and startxref, and
// the walk through the cross-reference tables and their "Prev" links. When that finds
// no information dictionary, the file's last "startxref" is followed through classic
// tables and cross-reference streams, into compressed object streams.
// Values: Title, Author, Subject (each even when empty), Keywords (when not empty), the
// modification date, the creation date (when it differs), Producer and Creator; or
// "encrypted :(" alone for an encrypted file. Dates read as month/day/year.
ReadResult ParsePdf(ByteSource& source, const ReadRequest& request);

// The date text of a PDF date string: "D:20040315..." gives "03/15/2004"; other texts
// of three or more characters stay as they are, shorter ones give empty text.
std::string PdfDateText(std::string_view value);

inline constexpr ReaderFormat kPdfFormat{"pdf", "pdf", &ParsePdf};

class CPdfReader final : public CFileReader {
public:
    CPdfReader(FileInput input, bool scanAll)
        : CFileReader(kPdfFormat, std::move(input), scanAll) {}
};

} // namespace tressel
