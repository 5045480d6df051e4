#pragma once

// Shared ground of the readers that take a song's or a video's tags out of a bounded
// part of its bytes (MP3, Ogg, RealMedia). The parsing runs on any ByteSource, so the
// same code reads files, test bytes and fuzz input.

#include "platform/byte_source.h"
#include "readers/file_reader.h"

#include <string>
#include <string_view>
#include <vector>

namespace tressel {

// What a tag parser found: whether the bytes are of its format, and the values in the
// order the information columns show them.
struct TagReading {
    bool recognised = false;
    std::vector<std::string> values;
};

using TagParser = TagReading (*)(ByteSource& source);

// A tag text as a value: the raw bytes up to the first NUL (tags pad and terminate
// their texts with NULs), kept when valid UTF-8 and otherwise read as Windows-1252.
std::string TagText(std::string_view raw);

// The value that leads the list when a title and its artist are both known.
std::string ArtistDashTitle(std::string_view artist, std::string_view title);

// Base of the byte-window readers: everything happens in the constructor, and the file
// is closed before it returns.
class CTagReader : public CFileReader {
protected:
    explicit CTagReader(std::string path) : CFileReader(std::move(path)) {}

    // Opens the file (regular files only), parses it and keeps what the parser found.
    void readTags(TagParser parse);
};

} // namespace tressel
