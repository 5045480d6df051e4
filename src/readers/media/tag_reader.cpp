#include "tag_reader.h"

#include "platform/text.h"

namespace tressel {

std::string TagText(std::string_view raw) {
    return RawToUtf8(raw.substr(0, raw.find('\0')));
}

std::string ArtistDashTitle(std::string_view artist, std::string_view title) {
    std::string combined(artist);
    combined += " - ";
    combined += title;
    return combined;
}

} // namespace tressel
