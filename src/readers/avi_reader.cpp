#include "avi_reader.h"

#include "duration_text.h"
#include "platform/text.h"

namespace tressel {

namespace {

const char* const kInfoIds[] = {"INAM", "IART", "ISBJ", "ICOP", "ICMT"};

// INFO texts usually end with a NUL; it carries nothing.
std::string InfoText(std::string_view bytes) {
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.remove_suffix(1);
    return RawToUtf8(bytes);
}

void AppendStreamValues(const riff::StreamInfo& stream, std::vector<std::string>& values) {
    if (!stream.name.empty())
        values.push_back(InfoText(stream.name));
    // length units of scale/rate seconds each (29.97 frames a second is 30000/1001, one
    // frame every two seconds 1/2); a zero rate or scale leaves no duration to show.
    if (stream.rate != 0 && stream.scale != 0)
        values.push_back(
            DurationText(uint64_t{stream.length} * uint64_t{stream.scale} / stream.rate));
    if (stream.type == riff::kStreamVideo)
        values.push_back(std::to_string(stream.frame.right) + " x " +
                         std::to_string(stream.frame.bottom));
}

} // namespace

CAviReader::CAviReader(const std::string& path, bool scanAll) : CFileReader(path) {
    if (!passesExtensionFilter(scanAll))
        return;
    m_source = FileSource::open(path);
    if (!m_source)
        return;
    m_riff = riff::RiffFile::open(*m_source);
    setRecognized(m_riff.has_value());
}

int CAviReader::extract(int maxValues) {
    if (m_riff && !m_extracted) {
        m_extracted = true;
        for (std::string& value : AviValues(*m_riff))
            appendValue(std::move(value));
    }
    return CFileReader::extract(maxValues);
}

std::vector<std::string> InfoListTexts(std::string_view infoData) {
    std::vector<std::string> texts;
    for (const char* id : kInfoIds) {
        const size_t p = infoData.find(std::string_view(id, 4));
        if (p == std::string_view::npos || infoData.size() - p < 8)
            continue;
        const size_t available = infoData.size() - p - 8;
        const size_t length = std::min<size_t>(ReadLe32(infoData.data() + p + 4), available);
        texts.push_back(InfoText(infoData.substr(p + 8, length)));
    }
    return texts;
}

std::vector<std::string> AviValues(const riff::RiffFile& file) {
    std::vector<std::string> values;
    if (std::optional<std::string> info = file.readInfoList())
        values = InfoListTexts(*info);
    for (uint32_t type : {riff::kStreamVideo, riff::kStreamAudio})
        if (std::optional<riff::StreamInfo> stream = file.firstStream(type))
            AppendStreamValues(*stream, values);
    return values;
}

} // namespace tressel
