#include "content_type.h"

#include "registry.h"

#include <magic.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <utility>

namespace tressel {

namespace {

// How much of a file libmagic reads.
constexpr size_t kMagicHeadBytes = 1 << 20;

// One libmagic handle per thread (a handle is not safe to share), loaded on first use.
class MagicHandle {
public:
    MagicHandle() : m_cookie(magic_open(MAGIC_NONE)) {
        const size_t bytesMax = kMagicHeadBytes;
        if (m_cookie && (magic_load(m_cookie, nullptr) != 0 ||
                         magic_setparam(m_cookie, MAGIC_PARAM_BYTES_MAX, &bytesMax) != 0)) {
            magic_close(m_cookie);
            m_cookie = nullptr;
        }
    }
    ~MagicHandle() {
        if (m_cookie)
            magic_close(m_cookie);
    }
    MagicHandle(const MagicHandle&) = delete;
    MagicHandle& operator=(const MagicHandle&) = delete;

    // A file is handed over as its descriptor: some types (gzip among them) are named
    // only from bytes at the end, which libmagic does not read in a buffer.
    std::string ask(int flags, ByteSource& source, const std::string& head) {
        if (!m_cookie || magic_setflags(m_cookie, flags) != 0)
            return {};
        auto* file = dynamic_cast<FileSource*>(&source);
        const char* answer = file ? magic_descriptor(m_cookie, file->fd())
                                  : magic_buffer(m_cookie, head.data(), head.size());
        return answer ? answer : "";
    }

private:
    magic_t m_cookie;
};

std::vector<std::string> SplitExtensionList(std::string_view list) {
    std::vector<std::string> extensions;
    if (list == "???")
        return extensions;
    while (!list.empty()) {
        const size_t slash = std::min(list.find('/'), list.size());
        if (slash > 0)
            extensions.emplace_back(list.substr(0, slash));
        list.remove_prefix(std::min(slash + 1, list.size()));
    }
    return extensions;
}

// "text/plain; charset=us-ascii" into its type and its encoding.
void SplitMime(std::string_view mime, MagicAnswer& answer) {
    const size_t semicolon = std::min(mime.find(';'), mime.size());
    answer.mimeType = mime.substr(0, semicolon);
    const size_t charset = mime.find("charset=", semicolon);
    if (charset != std::string_view::npos)
        answer.encoding = mime.substr(charset + 8);
}

// Text types libmagic knows by a mark at their start ("{\rtf", "%!PS", "<svg", a
// doctype). It names every other kind of text after a few words found anywhere (notes
// on JavaScript read as JavaScript, Pascal as Algol 68): those count as plain text.
bool IsMarkedTextType(std::string_view mime) {
    return mime == "text/rtf" || mime == "application/postscript" || mime == "image/svg+xml" ||
           mime == "text/html" || mime == "text/xml";
}

// A self-extracting archive is an executable; its description says which archive.
bool IsArchiveFormat(std::string_view format) {
    return format == "zip" || format == "rar" || format == "ace" || format == "cab";
}

} // namespace

MagicAnswer AskMagic(ByteSource& source, bool withDescription) {
    thread_local MagicHandle magic;
    const std::string head =
        dynamic_cast<FileSource*>(&source) ? std::string() : source.read(0, kMagicHeadBytes);
    MagicAnswer answer;
    SplitMime(magic.ask(MAGIC_MIME, source, head), answer);
    answer.extensions = SplitExtensionList(magic.ask(MAGIC_EXTENSION, source, head));
    if (withDescription && (!answer.extensions.empty() || answer.mimeType == "text/plain"))
        answer.description = magic.ask(MAGIC_NONE, source, head);
    return answer;
}

std::string ContentDescription(const std::string& extension, const char* format) {
    static const std::array<std::pair<std::string_view, std::string_view>, 17> kDescriptions{{
        {"exe", "Windows executable"},
        {"dll", "Windows library"},
        {"sys", "Windows driver"},
        {"zip", "ZIP archive"},
        {"rar", "RAR archive"},
        {"ace", "ACE archive"},
        {"cab", "Cabinet archive"},
        {"mp3", "MP3 audio"},
        {"ogg", "Ogg Vorbis audio"},
        {"avi", "AVI video"},
        {"wav", "WAVE audio"},
        {"rm", "RealMedia"},
        {"ra", "RealAudio"},
        {"wma", "Windows Media audio"},
        {"wmv", "Windows Media video"},
        {"html", "Web page"},
        {"pdf", "PDF document"},
    }};
    auto describe = [&](std::string_view ext) {
        for (const auto& [key, text] : kDescriptions)
            if (key == ext)
                return std::string(text);
        return std::string(ext);
    };
    if (format && extension == "exe" && IsArchiveFormat(format))
        return "Self-extracting " + describe(format);
    return describe(extension);
}

ContentType IdentifyContent(const std::string& path) {
    ContentType type;
    const std::unique_ptr<CFileReader> reader = CreateFileReader(path, true);
    if (reader->isRecognized() && !reader->contentExtension().empty()) {
        type.extensions = {reader->contentExtension()};
        type.format = reader->formatName();
        type.description = ContentDescription(type.extension(), type.format);
        type.weak = type.extension() == "html";
        return type;
    }
    const std::unique_ptr<FileSource> source = FileSource::open(path);
    if (!source)
        return type;
    MagicAnswer answer = AskMagic(*source);
    type.extensions = std::move(answer.extensions);
    type.description = std::move(answer.description);
    type.weak = answer.isText();
    type.text = type.weak && !IsMarkedTextType(answer.mimeType);
    if (type.text)
        type.extensions.clear();
    return type;
}

} // namespace tressel
