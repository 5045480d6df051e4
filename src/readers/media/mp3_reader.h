#pragma once

// MP3 tags: the ID3v2 tag at the start of the file (versions 2.2, 2.3 and 2.4) and
// the 128-byte ID3v1 record at its end.

#include "tag_reader.h"

namespace tressel {

inline constexpr char kNoId3Tag[] = UI_TEXT_NOOP("Reading", "no ID3 tag");

// Values: "artist - title" when both are known, then title, artist, year, album and
// copyright from ID3v2 (each when present); then from ID3v1 "artist - title" (or the
// title alone), album, year and comment.
ReadResult ParseMp3(ByteSource& source, const ReadRequest& request);

inline constexpr ReaderFormat kMp3Format{"mp3", "mp3", &ParseMp3};

class CMp3Reader final : public CFileReader {
public:
    CMp3Reader(FileInput input, bool scanAll)
        : CFileReader(kMp3Format, std::move(input), scanAll) {}
};

} // namespace tressel
