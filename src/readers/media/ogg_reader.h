#pragma once

// Ogg: the comment header of the first logical stream (Vorbis, Opus or Theora), read
// from the first kilobyte of the file.

#include "tag_reader.h"

namespace tressel {

// Any file that starts with "Ogg" is ours. Values: the TITLE, ARTIST, ALBUM, DATE and
// COMMENT fields, in that order, each when present (names compared without case).
ReadResult ParseOgg(ByteSource& source, const ReadRequest& request);

inline constexpr ReaderFormat kOggFormat{"ogg", "ogg", &ParseOgg};

class COggReader final : public CFileReader {
public:
    COggReader(FileInput input, bool scanAll)
        : CFileReader(kOggFormat, std::move(input), scanAll) {}
};

} // namespace tressel
