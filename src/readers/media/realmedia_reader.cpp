#include "realmedia_reader.h"

#include <optional>

namespace tressel {

namespace {

constexpr size_t kWindowSize = 1023;
constexpr int kMaxWindows = 4;
// A marker this far into a window may have its chunk cut by the window's end: the
// next window starts at the marker instead.
constexpr size_t kLateMarker = 824;
// A marker split between two windows is found in the second one.
constexpr size_t kWindowOverlap = 3;

constexpr std::string_view kContentMarker = "CONT";
constexpr std::string_view kRealAudioSignature = ".ra\xFD";
constexpr std::string_view kRealMediaSignature = ".RMF";
constexpr std::string_view kCreationDate = "Creation Date";
// From the property name to its value's length byte: 4-byte type, 2-byte length.
constexpr size_t kCreationDateLengthOffset = 18;
// From the marker to the title's 2-byte length: chunk size, object version.
constexpr size_t kFirstStringOffset = 10;

// One length-prefixed string of the chunk at pos; pos moves past it. Empty when the
// text does not lie wholly in the window; nullopt when its length does not either.
std::optional<std::string> TakeString(std::string_view window, size_t& pos) {
    if (pos > window.size() || window.size() - pos < 2)
        return std::nullopt;
    const size_t length = ReadBe16(window.data() + pos);
    pos += 2;
    const bool inWindow = length <= window.size() - pos;
    const std::string text = inWindow ? TagText(window.substr(pos, length)) : std::string();
    pos += length;
    return text;
}

void ReadContentDescription(std::string_view window, size_t marker, ReadResult& result) {
    size_t pos = marker + kFirstStringOffset;
    const std::optional<std::string> title = TakeString(window, pos);
    if (!title)
        return;
    const std::optional<std::string> author = TakeString(window, pos);
    if (author && !title->empty() && !author->empty())
        result.add(UI_TEXT_NOOP("Labels", "Author - Title"), ArtistDashTitle(*author, *title));
    if (!title->empty())
        result.add(UI_TEXT_NOOP("Labels", "Title"), *title);
    if (!author)
        return;
    if (!author->empty())
        result.add(UI_TEXT_NOOP("Labels", "Author"), *author);
    for (const char* label :
         {UI_TEXT_NOOP("Labels", "Copyright"), UI_TEXT_NOOP("Labels", "Comment")}) {
        const std::optional<std::string> text = TakeString(window, pos);
        if (!text)
            return;
        if (!text->empty())
            result.add(label, *text);
    }
}

std::optional<std::string> FindCreationDate(std::string_view window) {
    const size_t at = window.find(kCreationDate);
    if (at == std::string_view::npos || at + kCreationDateLengthOffset >= window.size())
        return std::nullopt;
    const size_t length = static_cast<unsigned char>(window[at + kCreationDateLengthOffset]);
    const size_t text = at + kCreationDateLengthOffset + 1;
    if (length > window.size() - text)
        return std::nullopt;
    return TagText(window.substr(text, length));
}

} // namespace

ReadResult ParseRealMedia(ByteSource& source, const ReadRequest&) {
    ReadResult result(kRealMediaFormat.name);
    std::optional<std::string> creationDate;
    uint64_t start = 0;
    for (int i = 0; i < kMaxWindows; ++i) {
        const std::string window = source.read(start, kWindowSize);
        if (window.empty())
            break;
        if (!creationDate)
            creationDate = FindCreationDate(window);
        const size_t marker = window.find(kContentMarker);
        if (marker == std::string::npos) {
            if (window.size() < kWindowSize)
                break; // the end of the file
            start += kWindowSize - kWindowOverlap;
        } else if (marker >= kLateMarker) {
            start += marker;
        } else {
            ReadContentDescription(window, marker, result);
            break;
        }
    }
    if (creationDate)
        result.add(UI_TEXT_NOOP("Labels", "Creation date"), std::move(*creationDate));
    if (result.values.empty())
        return result.refuse(kNoContentDescription);
    // Audio-only files carry the older RealAudio signature. The content marker alone is
    // found in many other files: without a signature the file reads as RealMedia but
    // names no extension.
    const std::string signature = source.read(0, kRealAudioSignature.size());
    result.accept(signature == kRealAudioSignature   ? "ra"
                  : signature == kRealMediaSignature ? "rm"
                                                     : "");
    return result;
}

} // namespace tressel
