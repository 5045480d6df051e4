#include "preview_content.h"

#include "platform/byte_source.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "readers/archive_reader.h"
#include "readers/asf_reader.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <exception>

namespace tressel {

namespace {

bool IsPlainTextExtension(const std::string& extension) {
    static constexpr std::array<std::string_view, 6> kExtensions = {"txt", "nfo", "diz",
                                                                    "ini", "inf", "1st"};
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

// Text as people write it: no control characters but tab, line feed, carriage return,
// page break and the DOS end-of-file mark.
bool LooksLikeText(std::string_view bytes) {
    if (bytes.empty())
        return false;
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && u != 0x1A) ||
               u == 0x7F;
    });
}

// The length of the UTF-8 sequence a lead byte starts (0 for no lead byte).
size_t SequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
}

// A text read up to the limit may end in the middle of a UTF-8 character: that broken
// character is dropped before the validity test.
std::string_view WithoutBrokenLastCharacter(std::string_view bytes) {
    if (bytes.size() < kMaxPlainTextBytes || IsValidUtf8(bytes))
        return bytes;
    for (size_t drop = 1; drop <= 3 && drop < bytes.size(); ++drop) {
        const auto lead = static_cast<unsigned char>(bytes[bytes.size() - drop]);
        if (lead < 0xC0)
            continue;
        const std::string_view head = bytes.substr(0, bytes.size() - drop);
        return SequenceLength(lead) > drop && IsValidUtf8(head) ? head : bytes;
    }
    return bytes;
}

std::optional<QString> ArchiveText(const std::string& path) {
    const std::unique_ptr<CFileReader> reader = CreateArchiveReader(path, false, true);
    if (!reader || !reader->isRecognized())
        return std::nullopt;
    reader->extract(1000);
    if (reader->previewText().empty())
        return std::nullopt;
    return QString::fromStdString(reader->previewText());
}

std::optional<QString> LyricsText(const std::string& path) {
    CAsfReader reader(path, false);
    if (!reader.isRecognized())
        return std::nullopt;
    reader.extract(100);
    if (reader.lyrics().empty())
        return std::nullopt;
    return QString::fromStdString(reader.lyrics());
}

std::optional<QString> PlainText(const std::string& path) {
    const std::unique_ptr<FileSource> file = FileSource::open(path);
    if (!file)
        return std::nullopt;
    const std::optional<std::string> text = PlainTextOf(path, file->read(0, kMaxPlainTextBytes));
    if (!text || text->empty())
        return std::nullopt;
    return QString::fromStdString(*text);
}

// Decoded through the already opened descriptor, so a FIFO or device never blocks.
std::optional<QImage> ImageOf(const std::string& path) {
    const std::unique_ptr<FileSource> file = FileSource::open(path);
    if (!file)
        return std::nullopt;
    QFile device;
    if (!device.open(file->fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return std::nullopt;
    QImageReader reader(&device);
    if (!reader.canRead())
        return std::nullopt;
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxImageSide || size.height() > kMaxImageSide))
        reader.setScaledSize(size.scaled(kMaxImageSide, kMaxImageSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace

std::optional<std::string> PlainTextOf(const std::string& path, std::string_view firstBytes) {
    const std::string extension = LowerExtension(path);
    if (extension.empty() ? !LooksLikeText(firstBytes) : !IsPlainTextExtension(extension))
        return std::nullopt;
    if (extension == "nfo" || extension == "diz")
        return Cp437ToUtf8(firstBytes);
    return RawToUtf8(WithoutBrokenLastCharacter(firstBytes));
}

PreviewContent GeneratePreview(const std::string& path, const PreviewSwitches& switches) {
    PreviewContent content;
    auto showText = [&](std::optional<QString> text) {
        if (!text)
            return false;
        content.kind = PreviewContent::Text;
        content.text = std::move(*text);
        return true;
    };
    try {
        if (switches.textual) {
            if (switches.archives && showText(ArchiveText(path)))
                return content;
            if (showText(LyricsText(path)) || showText(PlainText(path)))
                return content;
        }
        if (switches.media) {
            if (std::optional<QImage> image = ImageOf(path)) {
                content.kind = PreviewContent::Image;
                content.image = std::move(*image);
            }
        }
    } catch (const std::exception&) {
        // A reader that fails shows nothing, as a file no reader claims.
        content = {};
    }
    return content;
}

} // namespace tressel
