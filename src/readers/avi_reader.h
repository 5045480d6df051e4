#pragma once

// AVI and WAVE files: their INFO texts, and the name, play time and frame size of the
// first video and audio stream.

#include "file_reader.h"
#include "platform/byte_source.h"

#include <string>
#include <string_view>
#include <vector>

namespace tressel {

// Recognised when the bytes are a RIFF AVI file with a header list, or a RIFF WAVE file.
// Values, in order: the INFO texts, then the video stream's name, play time and frame
// size, then the audio stream's name and play time. Extension "avi" or "wav".
ReadResult ParseAvi(ByteSource& source, const ReadRequest& request);

inline constexpr ReaderFormat kAviFormat{"avi", "avi;wav;divx", &ParseAvi};

class CAviReader final : public CFileReader {
public:
    CAviReader(FileInput input, bool scanAll)
        : CFileReader(kAviFormat, std::move(input), scanAll) {}
};

// The texts of "INAM", "IART", "ISBJ", "ICOP" and "ICMT", in that order, each found by
// a plain search of the INFO data; a length running past the data is cut to it.
std::vector<std::string> InfoListTexts(std::string_view infoData);

} // namespace tressel
