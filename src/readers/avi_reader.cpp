#include "avi_reader.h"

#include "duration_text.h"
#include "platform/riff/riff_file.h"
#include "platform/text.h"

#include <optional>

namespace tressel {

namespace {

struct InfoField {
    const char* id;
    const char* label;
};
constexpr InfoField kInfoFields[] = {{"INAM", UI_TEXT_NOOP("Labels", "Title")},
                                     {"IART", UI_TEXT_NOOP("Labels", "Artist")},
                                     {"ISBJ", UI_TEXT_NOOP("Labels", "Subject")},
                                     {"ICOP", UI_TEXT_NOOP("Labels", "Copyright")},
                                     {"ICMT", UI_TEXT_NOOP("Labels", "Comment")}};

// An INFO sub-chunk: its four-byte id, its 32-bit length, then its text.
constexpr size_t kInfoLengthOffset = 4;
constexpr size_t kInfoTextOffset = 8;

struct StreamLabels {
    const char* name;
    const char* duration;
};

// INFO texts usually end with a NUL; it carries nothing.
std::string InfoText(std::string_view bytes) {
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.remove_suffix(1);
    return RawToUtf8(bytes);
}

// The INFO texts found, each with its label.
template <class Visit> void ForEachInfoText(std::string_view infoData, Visit visit) {
    for (const InfoField& field : kInfoFields) {
        const size_t p = infoData.find(std::string_view(field.id, 4));
        if (p == std::string_view::npos || infoData.size() - p < kInfoTextOffset)
            continue;
        const size_t available = infoData.size() - p - kInfoTextOffset;
        const size_t length =
            std::min<size_t>(ReadLe32(infoData.data() + p + kInfoLengthOffset), available);
        visit(field.label, InfoText(infoData.substr(p + kInfoTextOffset, length)));
    }
}

void AddStreamValues(const riff::StreamInfo& stream, ReadResult& result) {
    const bool video = stream.type == riff::kStreamVideo;
    const StreamLabels labels = video ? StreamLabels{UI_TEXT_NOOP("Labels", "Video stream"),
                                                     UI_TEXT_NOOP("Labels", "Video duration")}
                                      : StreamLabels{UI_TEXT_NOOP("Labels", "Audio stream"),
                                                     UI_TEXT_NOOP("Labels", "Audio duration")};
    if (!stream.name.empty())
        result.add(labels.name, InfoText(stream.name));
    // length units of scale/rate seconds each (29.97 frames a second is 30000/1001, one
    // frame every two seconds 1/2); a zero rate or scale leaves no duration to show.
    if (stream.rate != 0 && stream.scale != 0)
        result.add(labels.duration,
                   DurationText(uint64_t{stream.length} * uint64_t{stream.scale} / stream.rate));
    if (video)
        result.add(UI_TEXT_NOOP("Labels", "Frame size"), std::to_string(stream.frame.right) +
                                                             " x " +
                                                             std::to_string(stream.frame.bottom));
}

} // namespace

std::vector<std::string> InfoListTexts(std::string_view infoData) {
    std::vector<std::string> texts;
    ForEachInfoText(infoData,
                    [&](const char*, std::string text) { texts.push_back(std::move(text)); });
    return texts;
}

ReadResult ParseAvi(ByteSource& source, const ReadRequest&) {
    ReadResult result(kAviFormat.name);
    const char* why = nullptr;
    const std::optional<riff::RiffFile> file = riff::RiffFile::open(source, &why);
    if (!file)
        return result.refuse(why);
    result.accept(file->form() == riff::Form::Wave ? "wav" : "avi");
    if (std::optional<std::string> info = file->readInfoList())
        ForEachInfoText(*info, [&](const char* label, std::string text) {
            result.add(label, std::move(text));
        });
    for (uint32_t type : {riff::kStreamVideo, riff::kStreamAudio})
        if (std::optional<riff::StreamInfo> stream = file->firstStream(type))
            AddStreamValues(*stream, result);
    return result;
}

} // namespace tressel
