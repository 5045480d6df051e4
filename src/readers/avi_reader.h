#pragma once

// AVI and WAVE files: their INFO texts, and the name, play time and frame size of the
// first video and audio stream.

#include "file_reader.h"
#include "platform/byte_source.h"
#include "platform/riff/riff_file.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

class CAviReader final : public CFileReader {
public:
    CAviReader(const std::string& path, bool scanAll);

    int extract(int maxValues) override;
    const char* extensions() const override { return "avi;wav;divx"; }
    const char* formatName() const override { return "avi"; }

private:
    std::unique_ptr<FileSource> m_source;
    std::optional<riff::RiffFile> m_riff;
    bool m_extracted = false;
};

// The texts of "INAM", "IART", "ISBJ", "ICOP" and "ICMT", in that order, each found by
// a plain search of the INFO data; a length running past the data is cut to it.
std::vector<std::string> InfoListTexts(std::string_view infoData);

// Every value the reader shows for a RIFF file, in its order: the INFO texts, then the
// video stream's name, play time and frame size, then the audio stream's name and
// play time.
std::vector<std::string> AviValues(const riff::RiffFile& file);

} // namespace tressel
