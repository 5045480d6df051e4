#pragma once

// ASF, WMA and WMV files: up to ten header attributes in a fixed order.

#include "file_reader.h"
#include "platform/asf/asf_header.h"
#include "platform/byte_source.h"

#include <optional>
#include <string>
#include <vector>

namespace tressel {

class CAsfReader final : public CFileReader {
public:
    CAsfReader(const std::string& path, bool scanAll);

    int extract(int maxValues) override;
    // "avi" stands here too: an ASF file under that name is read once the AVI reader
    // has refused it.
    const char* extensions() const override { return "asf;wma;wax;wvx;wmv;wmx;wmv;avi"; }
    const char* formatName() const override { return "asf"; }

    // The song text ("WM/Lyrics") found by extract(), for the preview pane.
    const std::string& lyrics() const { return m_lyrics; }

private:
    std::optional<asf::AsfHeader> m_header;
    std::string m_lyrics;
    bool m_extracted = false;
};

struct AsfValues {
    std::vector<std::string> values;
    std::string lyrics;
};

// The values the reader shows for an ASF header: "Title", "Author", "WM/AlbumTitle",
// "Copyright", "WM/Year", "Duration", "WM/Genre", "Description", "WM/Lyrics",
// "WM/PromotionURL", each only when present and not empty.
AsfValues ReadAsfValues(const asf::AsfHeader& header);

} // namespace tressel
