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

// libmagic looks at the start of a file; its own default reads no more than this.
constexpr size_t kMagicHeadBytes = 1 << 20;

// One libmagic handle per thread (a handle is not safe to share), loaded on first use.
class MagicHandle {
public:
    MagicHandle() : m_cookie(magic_open(MAGIC_NONE)) {
        if (m_cookie && magic_load(m_cookie, nullptr) != 0) {
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

    std::string ask(int flags, const std::string& head) {
        if (!m_cookie || magic_setflags(m_cookie, flags) != 0)
            return {};
        const char* answer = magic_buffer(m_cookie, head.data(), head.size());
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

// A self-extracting archive is an executable; its description says which archive.
bool IsArchiveFormat(std::string_view format) {
    return format == "zip" || format == "rar" || format == "ace" || format == "cab";
}

} // namespace

MagicAnswer AskMagic(ByteSource& source, bool withDescription) {
    thread_local MagicHandle magic;
    const std::string head = source.read(0, kMagicHeadBytes);
    MagicAnswer answer;
    SplitMime(magic.ask(MAGIC_MIME, head), answer);
    answer.extensions = SplitExtensionList(magic.ask(MAGIC_EXTENSION, head));
    if (withDescription && (!answer.extensions.empty() || answer.mimeType == "text/plain"))
        answer.description = magic.ask(MAGIC_NONE, head);
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
    type.text = answer.mimeType == "text/plain";
    type.weak = answer.isText();
    return type;
}

} // namespace tressel
