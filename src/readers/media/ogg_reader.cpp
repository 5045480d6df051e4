#include "ogg_reader.h"

#include "platform/read_failure.h"
#include "platform/text.h"

#include <array>
#include <optional>

namespace tressel {

namespace {

// The window after the 4-byte signature: the comment header of an ordinary file lies
// well inside it, and a field that runs past it is cut at its end.
constexpr uint64_t kWindowOffset = 4;
constexpr size_t kWindowSize = 1023;

constexpr std::array<std::string_view, 5> kFieldNames = {"TITLE", "ARTIST", "ALBUM", "DATE",
                                                         "COMMENT"};
constexpr std::array<const char*, kFieldNames.size()> kFieldLabels = {
    UI_TEXT_NOOP("Labels", "Title"), UI_TEXT_NOOP("Labels", "Artist"),
    UI_TEXT_NOOP("Labels", "Album"), UI_TEXT_NOOP("Labels", "Date"),
    UI_TEXT_NOOP("Labels", "Comment")};

// The packet signatures after which a comment header's body (vendor, then fields) starts.
constexpr std::array<std::string_view, 3> kCommentSignatures = {
    std::string_view("\x03vorbis", 7), "OpusTags", std::string_view("\x81theora", 7)};

std::optional<size_t> CommentBodyOffset(std::string_view window) {
    std::optional<size_t> best;
    for (std::string_view signature : kCommentSignatures) {
        const size_t at = window.find(signature);
        if (at != std::string_view::npos && (!best || at + signature.size() < *best))
            best = at + signature.size();
    }
    return best;
}

// Reads the little-endian length at pos and moves past it; false when the window ends.
bool TakeLength(std::string_view window, size_t& pos, uint32_t& length) {
    if (window.size() - pos < 4)
        return false;
    length = ReadLe32(window.data() + pos);
    pos += 4;
    return true;
}

// The field's bytes, cut where the window ends; pos moves past the field.
std::string_view TakeField(std::string_view window, size_t& pos, uint32_t length) {
    const size_t available = window.size() - pos;
    const size_t taken = length < available ? length : available;
    const std::string_view field = window.substr(pos, taken);
    pos += taken;
    return field;
}

int FieldIndex(std::string_view name) {
    for (size_t i = 0; i < kFieldNames.size(); ++i)
        if (EqualsNoCase(name, kFieldNames[i]))
            return static_cast<int>(i);
    return -1;
}

} // namespace

ReadResult ParseOgg(ByteSource& source, const ReadRequest&) {
    ReadResult result(kOggFormat.name);
    if (source.read(0, 3) != "Ogg")
        return result.refuse(failure::kNotThisFormat);
    result.accept("ogg");
    const std::string window = source.read(kWindowOffset, kWindowSize);
    const std::optional<size_t> body = CommentBodyOffset(window);
    if (!body)
        return result;

    size_t pos = *body;
    uint32_t vendorLength = 0;
    uint32_t count = 0;
    if (!TakeLength(window, pos, vendorLength))
        return result;
    TakeField(window, pos, vendorLength);
    if (!TakeLength(window, pos, count))
        return result;
    std::array<std::optional<std::string>, kFieldNames.size()> found;
    uint32_t length = 0;
    // Each field costs at least its 4-byte length, so the window bounds the loop.
    for (uint32_t i = 0; i < count && TakeLength(window, pos, length); ++i) {
        const std::string_view field = TakeField(window, pos, length);
        const size_t equals = field.find('=');
        if (equals == std::string_view::npos)
            continue;
        const int index = FieldIndex(field.substr(0, equals));
        if (index >= 0 && !found[static_cast<size_t>(index)])
            found[static_cast<size_t>(index)] = TagText(field.substr(equals + 1));
    }
    for (size_t i = 0; i < found.size(); ++i)
        if (found[i])
            result.add(kFieldLabels[i], std::move(*found[i]));
    return result;
}

} // namespace tressel
