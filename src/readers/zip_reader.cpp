#include "zip_reader.h"

#include "platform/read_failure.h"
#include "platform/text.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace tressel {

namespace {

constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr char kEndSignature[] = "PK\x05\x06";
constexpr char kCentralSignature[] = "PK\x01\x02";
constexpr char kZip64LocatorSignature[] = "PK\x06\x07";
constexpr size_t kZip64LocatorSize = 20;

// The archive as libzip sees it: the window of the byte source, read through a
// callback, so that libzip never opens the file by path and an archive behind a stub
// looks like a file of its own.
class WindowCallback {
public:
    WindowCallback(ByteSource& source, ZipWindow window)
        : m_source(source), m_start(window.start), m_length(window.end - window.start) {
        zip_error_init(&m_error);
    }
    ~WindowCallback() { zip_error_fini(&m_error); }
    WindowCallback(const WindowCallback&) = delete;
    WindowCallback& operator=(const WindowCallback&) = delete;

    static zip_int64_t call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<WindowCallback*>(self)->handle(data, length, command);
    }

private:
    zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command);
    size_t read(void* data, size_t length);

    // libzip reads a central directory that is not in its tail buffer one record at a
    // time: small reads are served from a block read ahead.
    static constexpr size_t kBlockSize = 65536;
    std::string m_block;
    uint64_t m_blockStart = 0;

    ByteSource& m_source;
    uint64_t m_start;
    uint64_t m_length;
    uint64_t m_position = 0;
    zip_error_t m_error;
};

zip_int64_t WindowCallback::handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
    case ZIP_SOURCE_OPEN:
        m_position = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const uint64_t wanted =
            std::min<uint64_t>(length, m_length - std::min(m_position, m_length));
        const size_t got = read(data, static_cast<size_t>(wanted));
        m_position += got;
        return static_cast<zip_int64_t>(got);
    }
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->size = m_length;
        stat->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&m_error, data, length);
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t position =
            zip_source_seek_compute_offset(m_position, m_length, data, length, &m_error);
        if (position < 0)
            return -1;
        m_position = static_cast<uint64_t>(position);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(m_position);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
            ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS, -1);
    default:
        zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

size_t WindowCallback::read(void* data, size_t length) {
    if (length >= kBlockSize)
        return m_source.readAt(m_start + m_position, data, length);
    if (m_position < m_blockStart || m_position + length > m_blockStart + m_block.size()) {
        m_blockStart = m_position;
        m_block = m_source.read(m_start + m_position, static_cast<size_t>(std::min<uint64_t>(
                                                          kBlockSize, m_length - m_position)));
    }
    const size_t offset = static_cast<size_t>(m_position - m_blockStart);
    const size_t got = std::min(length, m_block.size() - std::min(offset, m_block.size()));
    std::memcpy(data, m_block.data() + offset, got);
    return got;
}

// An end record whose fields describe an archive that fits in the bytes.
std::optional<ZipWindow> WindowOfEndRecord(ByteSource& source, uint64_t recordOffset,
                                           const unsigned char* record) {
    const uint16_t entries = ReadLe16(record + 10);
    const uint32_t directorySize = ReadLe32(record + 12);
    const uint32_t directoryOffset = ReadLe32(record + 16);
    const uint64_t end = recordOffset + kEndRecordSize + ReadLe16(record + 20);
    if (entries == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF) {
        // ZIP64: the 64-bit record says where things are; libzip reads it.
        return recordOffset >= kZip64LocatorSize &&
                       source.read(recordOffset - kZip64LocatorSize, 4) == kZip64LocatorSignature
                   ? std::optional<ZipWindow>(ZipWindow{0, end})
                   : std::nullopt;
    }
    // The central directory ends where the end record begins, wherever the archive
    // starts in the file: a stub prepended without adjusting the offsets shifts both.
    if (directorySize > recordOffset || directoryOffset > recordOffset - directorySize)
        return std::nullopt;
    const uint64_t directory = recordOffset - directorySize;
    if (directorySize == 0 ? entries != 0 : source.read(directory, 4) != kCentralSignature)
        return std::nullopt;
    return ZipWindow{directory - directoryOffset, end};
}

std::string CommentToText(std::string_view raw) {
    // One CR LF after every line, as the comment is shown line by line.
    const std::string text = RawToUtf8(raw);
    std::string out;
    size_t begin = 0;
    for (;;) {
        const size_t end = text.find('\n', begin);
        std::string_view line = std::string_view(text).substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out += line;
        out += "\r\n";
        if (end == std::string::npos)
            return out;
        begin = end + 1;
    }
}

class CZipArchive final : public CArchiveReader {
public:
    CZipArchive(ByteSource& source, ZipWindow window) : m_callback(source, window) {
        oemNames = false;
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* zipSource =
            zip_source_function_create(&WindowCallback::call, &m_callback, &error);
        if (zipSource) {
            m_archive = zip_open_from_source(zipSource, ZIP_RDONLY, &error);
            if (!m_archive)
                zip_source_free(zipSource);
        }
        zip_error_fini(&error);
    }
    ~CZipArchive() override {
        if (m_archive)
            zip_discard(m_archive);
    }

    void list();
    std::string extractMember(const CArchiveEntry& entry, const CTempFileItem& scratch) override;

private:
    uint64_t memberSize(zip_int64_t index) const;

    WindowCallback m_callback;
    zip_t* m_archive = nullptr;
};

void CZipArchive::list() {
    if (!m_archive)
        return;
    int length = 0;
    const char* raw = zip_get_archive_comment(m_archive, &length, ZIP_FL_ENC_RAW);
    if (raw && length > 0)
        comment = CommentToText(std::string_view(raw, static_cast<size_t>(length)));
    const zip_int64_t count = zip_get_num_entries(m_archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        // libzip keeps a name flagged or found to be UTF-8 and reads any other as code
        // page 437; the remaining doubt is a flag on bytes that are not UTF-8.
        const char* name = zip_get_name(m_archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        const std::string text = ToValidUtf8(name ? name : "");
        if (!addEntry(text, IsDescriptiveMemberName(text) ? memberSize(i) : 0))
            break;
    }
}

// Only the title selection needs a member's size, and only a descriptive member's (ZIP
// archives are never solid): libzip's stat converts each member's time through the
// time zone, which costs a system call per member.
uint64_t CZipArchive::memberSize(zip_int64_t index) const {
    zip_stat_t stat;
    if (zip_stat_index(m_archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE))
        return UINT64_MAX; // unknown: never extracted
    return stat.size;
}

std::string CZipArchive::extractMember(const CArchiveEntry& entry, const CTempFileItem& scratch) {
    zip_file_t* file = zip_fopen_index(m_archive, entry.index, 0);
    if (!file)
        return {}; // encrypted, or a method libzip lacks: no password is ever given
    const std::string path = scratch.memberPath(entry.name);
    BoundedMemberWriter writer(scratch.createMember(entry.name), ExtractionLimit(entry));
    if (!writer.isOpen()) {
        zip_fclose(file);
        return {};
    }
    char buffer[65536];
    while (!writer.full()) {
        const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
        if (got <= 0 || !writer.write(buffer, static_cast<size_t>(got)))
            break;
    }
    zip_fclose(file);
    writer.close();
    return path;
}

} // namespace

namespace {

// The last end record within the last tailLength bytes that describes an archive.
std::optional<ZipWindow> FindEndRecord(ByteSource& source, uint64_t tailLength) {
    const uint64_t size = source.size();
    const uint64_t tailStart = size - std::min(size, tailLength);
    const std::string tail = source.read(tailStart, static_cast<size_t>(size - tailStart));
    if (tail.size() < kEndRecordSize)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(tail.data());
    for (size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
        if (tail.compare(at, 4, kEndSignature) != 0)
            continue;
        if (at + kEndRecordSize + ReadLe16(bytes + at + 20) > tail.size())
            continue; // a comment running past the end: this is not the record
        if (auto window = WindowOfEndRecord(source, tailStart + at, bytes + at))
            return window;
    }
    return std::nullopt;
}

} // namespace

std::optional<ZipWindow> LocateZip(ByteSource& source) {
    // Most archives have a short comment or none: a small read settles them, and only
    // the others pay for the largest tail a comment allows.
    constexpr uint64_t kShortTail = 4096;
    if (auto window = FindEndRecord(source, kShortTail))
        return window;
    if (source.size() <= kShortTail)
        return std::nullopt;
    return FindEndRecord(source, kEndRecordSize + kMaxCommentSize);
}

ReadResult ParseZip(ByteSource& source, const ReadRequest& request) {
    ReadResult result("zip");
    const std::optional<ZipWindow> window = LocateZip(source);
    if (!window)
        return result.refuse(failure::kNotThisFormat);
    result.accept(ArchiveExtension(source, source.read(0, 2) == "PK", "zip"));
    if (request.maxValues <= 0) {
        result.moreValues = true; // listing and titles cost far more than the answer
        return result;
    }
    CZipArchive archive(source, *window);
    archive.list();
    if (archive.comment.empty())
        archive.comment.assign(1, ' '); // there is none
    archive.selectTitles(request.maxValues, request.collectPreview, result);
    return result;
}

} // namespace tressel
