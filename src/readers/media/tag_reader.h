#pragma once

// Shared ground of the readers that take a song's or a video's tags out of a bounded
// part of its bytes (MP3, Ogg, RealMedia).

#include "readers/file_reader.h"

#include <string>
#include <string_view>

namespace tressel {

// A tag text as a value: the raw bytes up to the first NUL (tags pad and terminate
// their texts with NULs), kept when valid UTF-8 and otherwise read as Windows-1252.
std::string TagText(std::string_view raw);

// The value that leads the list when a title and its artist are both known.
std::string ArtistDashTitle(std::string_view artist, std::string_view title);

} // namespace tressel
