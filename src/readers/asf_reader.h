#pragma once

// ASF, WMA and WMV files: up to ten header attributes in a fixed order.

#include "file_reader.h"
#include "platform/byte_source.h"

#include <string>

namespace tressel {

// Recognised when the bytes begin with an ASF header. Values: "Title", "Author",
// "WM/AlbumTitle", "Copyright", "WM/Year", "Duration", "WM/Genre", "Description",
// "WM/Lyrics", "WM/PromotionURL", each only when present and not empty. The preview is
// the song text ("WM/Lyrics"). Extension "wmv" when a video stream is declared, else
// "wma".
ReadResult ParseAsf(ByteSource& source, const ReadRequest& request);

// "avi" stands here too: an ASF file under that name is read once the AVI reader has
// refused it.
inline constexpr ReaderFormat kAsfFormat{"asf", "asf;wma;wax;wvx;wmv;wmx;wmv;avi", &ParseAsf};

// The lyrics are one of the values, so the preview costs nothing and is always taken.
class CAsfReader final : public CFileReader {
public:
    CAsfReader(FileInput input, bool scanAll)
        : CFileReader(kAsfFormat, std::move(input), scanAll, true) {}

    // The song text ("WM/Lyrics"), for the preview pane.
    const std::string& lyrics() const { return previewText(); }
};

} // namespace tressel
