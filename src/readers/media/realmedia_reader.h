#pragma once

// RealMedia: the content-description chunk ("CONT") and the "Creation Date" property,
// searched for in the first four kilobytes of the file.

#include "tag_reader.h"

namespace tressel {

inline constexpr char kNoContentDescription[] = UI_TEXT_NOOP("Reading", "no content description");

// Values: "author - title" when both are known, then title, author, copyright and
// comment (each when not empty), then the creation date. Recognised when any was found.
// Extension "ra" for a RealAudio file, "rm" for a RealMedia file, none without either
// signature.
ReadResult ParseRealMedia(ByteSource& source, const ReadRequest& request);

inline constexpr ReaderFormat kRealMediaFormat{"rm", "rm;ra;ram;rv;rmm;rmd;rmj;rnx;rmx;rpm",
                                               &ParseRealMedia};

class CRealMediaReader final : public CFileReader {
public:
    CRealMediaReader(FileInput input, bool scanAll)
        : CFileReader(kRealMediaFormat, std::move(input), scanAll) {}
};

} // namespace tressel
