#pragma once

// ACE archives, also behind a self-extracting stub: the archive comment, the titles of
// descriptive members and the member names (see archive_reader.h), read with our own
// ACE library (platform/ace).

#include "archive_reader.h"
#include "file_reader.h"
#include "platform/byte_source.h"

#include <cstddef>

namespace tressel {

// A comment is cut to this many bytes.
inline constexpr size_t kMaxAceCommentBytes = 8191;

// Recognised when an ACE main header is found (at the start or after a stub). Values:
// the comment, setup and readme titles, then member names up to maxValues. Names and a
// comment that is not UTF-8 are code page 437. Members packed with the ACE 2.0 modes
// are listed but give no title. Extension "exe" for an archive behind a stub, else
// "ace".
ReadResult ParseAce(ByteSource& source, const ReadRequest& request);

inline constexpr ReaderFormat kAceFormat{"ace", "ace;exe", &ParseAce};

class CAceReader final : public CFileReader {
public:
    CAceReader(FileInput input, bool scanAll, bool collectPreview = false)
        : CFileReader(kAceFormat, std::move(input), scanAll, collectPreview) {}
};

} // namespace tressel
