#pragma once

// Ogg: the comment header of the first logical stream (Vorbis, Opus or Theora), read
// from the first kilobyte of the file.

#include "tag_reader.h"

namespace tressel {

// Any file that starts with "Ogg" is ours. Values: the TITLE, ARTIST, ALBUM, DATE and
// COMMENT fields, in that order, each when present (names compared without case).
TagReading ReadOggTags(ByteSource& source);

class COggReader final : public CTagReader {
public:
    COggReader(const std::string& path, bool scanAll);
    const char* extensions() const override { return "ogg"; }
    const char* formatName() const override { return "ogg"; }
};

} // namespace tressel
