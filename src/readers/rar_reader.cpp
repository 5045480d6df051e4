#include "rar_reader.h"

#include "platform/read_failure.h"
#include "platform/text.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tressel {

namespace {

constexpr std::string_view kRar4Signature("Rar!\x1a\x07\x00", 7);
constexpr std::string_view kRar5Signature("Rar!\x1a\x07\x01\x00", 8);
constexpr size_t kSearchBlock = 65536;
// The comment sits right after the main header; a few more headers are looked at in
// case something precedes it.
constexpr int kMaxHeadersBeforeComment = 16;
constexpr char kCommentName[] = "CMT";

// RAR 4 block types and flags.
constexpr uint8_t kRar4Main = 0x73;
constexpr uint8_t kRar4File = 0x74;
constexpr uint8_t kRar4OldComment = 0x75;
constexpr uint8_t kRar4Service = 0x7a;
constexpr uint8_t kRar4End = 0x7b;
constexpr uint16_t kRar4MainComment = 0x0002;
constexpr uint16_t kRar4MainSolid = 0x0008;
constexpr uint16_t kRar4MainEncrypted = 0x0080;
constexpr uint16_t kRar4LongBlock = 0x8000;
constexpr uint16_t kRar4Large = 0x0100;
constexpr uint8_t kRar4Stored = 0x30;

// RAR 5 header types and flags.
constexpr uint64_t kRar5Main = 1;
constexpr uint64_t kRar5Service = 3;
constexpr uint64_t kRar5Encryption = 4;
constexpr uint64_t kRar5End = 5;
constexpr uint64_t kRar5HasExtra = 0x0001;
constexpr uint64_t kRar5HasData = 0x0002;
constexpr uint64_t kRar5Solid = 0x0004;
constexpr uint64_t kRar5HasTime = 0x0002;
constexpr uint64_t kRar5HasCrc = 0x0004;
constexpr size_t kMaxRar5HeaderSize = 0x200000;

int SignatureVersionAt(std::string_view bytes, size_t at) {
    if (bytes.substr(at, kRar5Signature.size()) == kRar5Signature)
        return 5;
    if (bytes.substr(at, kRar4Signature.size()) == kRar4Signature)
        return 4;
    return 0;
}

// Reads a RAR 5 variable-length number; false past the end or beyond 64 bits.
bool ReadVint(std::string_view bytes, size_t& at, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && at < bytes.size(); shift += 7) {
        const auto byte = static_cast<uint8_t>(bytes[at++]);
        value |= uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

std::string CommentText(std::string_view stored, int version) {
    stored = stored.substr(0, std::min(stored.find('\0'), kMaxRarCommentBytes));
    if (version == 5)
        return ToValidUtf8(stored);
    return IsValidUtf8(stored) ? std::string(stored) : Cp437ToUtf8(stored);
}

void TakeComment(RarHeaders& headers, std::string_view stored) {
    headers.hasComment = true;
    headers.comment = CommentText(stored, headers.version);
}

// One RAR 4 block: its header bytes, and the data that follows them.
struct Rar4Block {
    uint8_t type = 0;
    uint16_t flags = 0;
    std::string header;
    uint64_t dataAt = 0;
    uint64_t dataSize = 0;

    bool large() const {
        return (type == kRar4File || type == kRar4Service) && (flags & kRar4Large) &&
               header.size() >= 40;
    }
    bool fileLike() const {
        return (type == kRar4File || type == kRar4Service) && header.size() >= 32;
    }
    uint64_t unpackedSize() const {
        return ReadLe32(header.data() + 11) |
               (large() ? uint64_t(ReadLe32(header.data() + 36)) << 32 : 0);
    }
    uint8_t method() const { return static_cast<uint8_t>(header[25]); }
    std::string_view name() const {
        const size_t at = large() ? 40 : 32;
        return std::string_view(header).substr(std::min(at, header.size()),
                                               ReadLe16(header.data() + 26));
    }
    uint64_t next() const { return dataAt + dataSize; }
};

// False at the end of the bytes, at a block too short for its type, or at data that
// would reach past the end.
bool ReadRar4Block(ByteSource& source, uint64_t at, Rar4Block& block) {
    const std::string head = source.read(at, 7);
    if (head.size() < 7)
        return false;
    block.type = static_cast<uint8_t>(head[2]);
    block.flags = ReadLe16(head.data() + 3);
    const uint16_t size = ReadLe16(head.data() + 5);
    if (size < 7)
        return false;
    block.header = source.read(at, size);
    if (block.header.size() < size)
        return false;
    block.dataSize = 0;
    if (block.flags & kRar4LongBlock) {
        if (size < 11)
            return false;
        block.dataSize = ReadLe32(block.header.data() + 7);
    }
    if (block.large())
        block.dataSize |= uint64_t(ReadLe32(block.header.data() + 32)) << 32;
    block.dataAt = at + size;
    return block.dataSize <= source.size() && block.dataAt + block.dataSize <= source.size();
}

// A name without its Unicode form (stored after a NUL), in code page 437, with '/'
// between folders as libarchive gives it.
std::string Rar4Name(std::string_view stored) {
    std::string name = Cp437ToUtf8(stored.substr(0, stored.find('\0')));
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// RAR 4: the main header (its solid flag, and an old-style comment inside it), then
// blocks up to a "CMT" service block.
bool ReadRar4Headers(ByteSource& source, RarHeaders& headers) {
    Rar4Block main;
    if (!ReadRar4Block(source, headers.start + kRar4Signature.size(), main) ||
        main.type != kRar4Main || main.header.size() < 13)
        return false;
    headers.solid = main.flags & kRar4MainSolid;
    headers.firstBlock = main.next();
    if (main.flags & kRar4MainEncrypted) {
        headers.encryptedHeaders = true;
        return true; // the remaining headers cannot be read without the password
    }
    if ((main.flags & kRar4MainComment) && main.header.size() >= 13 + 13 &&
        static_cast<uint8_t>(main.header[13 + 2]) == kRar4OldComment) {
        const std::string_view block = std::string_view(main.header).substr(13);
        const size_t blockSize = std::min<size_t>(ReadLe16(block.data() + 5), block.size());
        if (static_cast<uint8_t>(block[10]) == kRar4Stored && blockSize >= 13)
            TakeComment(headers, block.substr(13, blockSize - 13));
        else
            headers.hasComment = headers.commentCompressed = true;
        return true;
    }
    Rar4Block block;
    uint64_t at = headers.firstBlock;
    for (int n = 0; n < kMaxHeadersBeforeComment && ReadRar4Block(source, at, block); ++n) {
        if (block.type == kRar4End)
            break;
        if (block.type == kRar4Service && block.fileLike() && block.name() == kCommentName) {
            if (block.method() == kRar4Stored)
                TakeComment(headers,
                            source.read(block.dataAt, static_cast<size_t>(std::min<uint64_t>(
                                                          block.dataSize, kMaxRarCommentBytes))));
            else
                headers.hasComment = headers.commentCompressed = true;
            break;
        }
        at = block.next();
    }
    return true;
}

// One RAR 5 header: where it starts, its type and flags, the type-specific fields and
// where the next header starts.
struct Rar5Header {
    uint64_t type = 0;
    uint64_t flags = 0;
    uint64_t dataSize = 0;
    std::string body;    // the header from its type-specific fields to its end
    uint64_t dataAt = 0; // where its data starts
};

bool ReadRar5Header(ByteSource& source, uint64_t at, Rar5Header& header) {
    const std::string prefix = source.read(at + 4, 3);
    size_t pos = 0;
    uint64_t size = 0;
    if (!ReadVint(prefix, pos, size) || size == 0 || size > kMaxRar5HeaderSize)
        return false;
    const std::string whole = source.read(at + 4 + pos, static_cast<size_t>(size));
    if (whole.size() != size)
        return false;
    size_t field = 0;
    uint64_t extraSize = 0;
    if (!ReadVint(whole, field, header.type) || !ReadVint(whole, field, header.flags))
        return false;
    if ((header.flags & kRar5HasExtra) && !ReadVint(whole, field, extraSize))
        return false;
    if ((header.flags & kRar5HasData) && !ReadVint(whole, field, header.dataSize))
        return false;
    header.body = whole.substr(field);
    header.dataAt = at + 4 + pos + size;
    return true;
}

bool ReadRar5Headers(ByteSource& source, RarHeaders& headers) {
    uint64_t at = headers.start + kRar5Signature.size();
    Rar5Header header;
    if (!ReadRar5Header(source, at, header) || header.type != kRar5Main)
        return false;
    size_t field = 0;
    uint64_t archiveFlags = 0;
    if (!ReadVint(header.body, field, archiveFlags))
        return false;
    headers.solid = archiveFlags & kRar5Solid;
    for (int n = 0; n < kMaxHeadersBeforeComment; ++n) {
        if (header.dataSize > source.size() || header.dataAt + header.dataSize > source.size())
            break;
        at = header.dataAt + header.dataSize;
        if (!ReadRar5Header(source, at, header) || header.type == kRar5End ||
            header.type == kRar5Encryption)
            break;
        if (header.type != kRar5Service)
            continue;
        field = 0;
        uint64_t fileFlags = 0, unpacked = 0, attributes = 0, compression = 0, host = 0,
                 nameSize = 0;
        if (!ReadVint(header.body, field, fileFlags) || !ReadVint(header.body, field, unpacked) ||
            !ReadVint(header.body, field, attributes))
            break;
        field += (fileFlags & kRar5HasTime ? 4 : 0) + (fileFlags & kRar5HasCrc ? 4 : 0);
        if (!ReadVint(header.body, field, compression) || !ReadVint(header.body, field, host) ||
            !ReadVint(header.body, field, nameSize) || field > header.body.size())
            break;
        if (std::string_view(header.body).substr(field, nameSize) != kCommentName)
            continue;
        if (((compression >> 7) & 7) == 0)
            TakeComment(headers,
                        source.read(header.dataAt, static_cast<size_t>(std::min<uint64_t>(
                                                       header.dataSize, kMaxRarCommentBytes))));
        else
            headers.hasComment = headers.commentCompressed = true;
        break;
    }
    return true;
}

std::optional<std::pair<uint64_t, int>> FindSignature(ByteSource& source) {
    const uint64_t limit = std::min(source.size(), kMaxRarStubSize + kRar5Signature.size());
    for (uint64_t block = 0; block < limit; block += kSearchBlock) {
        const std::string bytes =
            source.read(block, static_cast<size_t>(std::min<uint64_t>(
                                   kSearchBlock + kRar5Signature.size(), limit - block)));
        for (size_t at = bytes.find("Rar!"); at != std::string::npos && at < kSearchBlock;
             at = bytes.find("Rar!", at + 1)) {
            if (block + at > kMaxRarStubSize)
                return std::nullopt;
            if (const int version = SignatureVersionAt(bytes, at))
                return std::make_pair(block + at, version);
        }
    }
    return std::nullopt;
}

// The archive as libarchive sees it: the byte source from the signature on, read
// through callbacks, so that libarchive never opens the file by path and an archive
// behind a stub looks like a file of its own.
class RarStream {
public:
    RarStream(ByteSource& source, uint64_t start) : m_source(source), m_start(start) {}
    ~RarStream() {
        if (m_archive)
            archive_read_free(m_archive);
    }
    RarStream(const RarStream&) = delete;
    RarStream& operator=(const RarStream&) = delete;

    bool open() {
        m_archive = archive_read_new();
        if (!m_archive)
            return false;
        archive_read_support_format_rar(m_archive);
        archive_read_support_format_rar5(m_archive);
        archive_read_set_callback_data(m_archive, this);
        archive_read_set_read_callback(m_archive, &RarStream::Read);
        archive_read_set_seek_callback(m_archive, &RarStream::Seek);
        archive_read_set_skip_callback(m_archive, &RarStream::Skip);
        return archive_read_open1(m_archive) == ARCHIVE_OK;
    }
    // ARCHIVE_OK (warnings included), ARCHIVE_EOF or a failure.
    int next(archive_entry*& entry) {
        const int status = archive_read_next_header(m_archive, &entry);
        return status == ARCHIVE_WARN ? ARCHIVE_OK : status;
    }
    archive* handle() { return m_archive; }

private:
    uint64_t length() const { return m_source.size() - std::min(m_start, m_source.size()); }

    static la_ssize_t Read(archive*, void* self, const void** buffer) {
        auto* stream = static_cast<RarStream*>(self);
        stream->m_buffer.resize(kSearchBlock);
        const uint64_t left = stream->length() - std::min(stream->m_position, stream->length());
        const size_t got = stream->m_source.readAt(
            stream->m_start + stream->m_position, stream->m_buffer.data(),
            static_cast<size_t>(std::min<uint64_t>(left, stream->m_buffer.size())));
        stream->m_position += got;
        *buffer = stream->m_buffer.data();
        return static_cast<la_ssize_t>(got);
    }
    static la_int64_t Skip(archive*, void* self, la_int64_t request) {
        auto* stream = static_cast<RarStream*>(self);
        if (request <= 0)
            return 0;
        const uint64_t left = stream->length() - std::min(stream->m_position, stream->length());
        const uint64_t step = std::min<uint64_t>(static_cast<uint64_t>(request), left);
        stream->m_position += step;
        return static_cast<la_int64_t>(step);
    }
    static la_int64_t Seek(archive*, void* self, la_int64_t offset, int whence) {
        auto* stream = static_cast<RarStream*>(self);
        int64_t base = 0;
        if (whence == SEEK_CUR)
            base = static_cast<int64_t>(stream->m_position);
        else if (whence == SEEK_END)
            base = static_cast<int64_t>(stream->length());
        else if (whence != SEEK_SET)
            return ARCHIVE_FATAL;
        if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset))
            return ARCHIVE_FATAL;
        stream->m_position = static_cast<uint64_t>(base + offset);
        return static_cast<la_int64_t>(stream->m_position);
    }

    ByteSource& m_source;
    uint64_t m_start;
    uint64_t m_position = 0;
    std::string m_buffer;
    archive* m_archive = nullptr;
};

// A member's name as UTF-8: the Unicode form when libarchive has one, else the stored
// bytes as code page 437.
std::string EntryName(archive_entry* entry) {
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return ToValidUtf8(utf8);
    const char* raw = archive_entry_pathname(entry);
    return raw ? Cp437ToUtf8(raw) : std::string();
}

// Where a member's data lies, for members listed from the RAR 4 headers.
struct Rar4Data {
    uint64_t at = 0;
    uint64_t size = 0;
    bool stored = false;
};

// libarchive lists and extracts, except in a solid RAR 4 archive: it refuses every
// member after the first there, so the headers are walked here instead, and of its
// members only stored ones are extracted (by copying their data).
class CRarArchive final : public CArchiveReader {
public:
    CRarArchive(ByteSource& source, const RarHeaders& headers)
        : m_source(source), m_headers(headers) {
        oemNames = false; // names are converted as they are listed
    }

    // Whether libarchive takes the bytes for a RAR archive.
    bool opens() {
        RarStream stream(m_source, m_headers.start);
        archive_entry* entry = nullptr;
        if (!stream.open())
            return false;
        const int status = stream.next(entry);
        return status == ARCHIVE_OK || status == ARCHIVE_EOF;
    }

    void list() {
        if (walksHeaders())
            listRar4Headers();
        else
            listWithLibarchive();
    }

    std::string extractMember(const CArchiveEntry& entry, const CTempFileItem& scratch) override {
        return walksHeaders() ? copyStoredMember(entry, scratch)
                              : extractWithLibarchive(entry, scratch);
    }

private:
    bool walksHeaders() const {
        return m_headers.version == 4 && m_headers.solid && !m_headers.encryptedHeaders;
    }

    void listWithLibarchive() {
        RarStream stream(m_source, m_headers.start);
        archive_entry* entry = nullptr;
        if (!stream.open())
            return;
        while (entries().size() < kMaxRarMembers && stream.next(entry) == ARCHIVE_OK) {
            const la_int64_t size =
                archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
            if (!addEntry(EntryName(entry), size > 0 ? static_cast<uint64_t>(size) : 0))
                break;
        }
    }

    void listRar4Headers() {
        Rar4Block block;
        uint64_t at = m_headers.firstBlock;
        // Service blocks may sit between members; the walk is bounded all the same.
        for (size_t n = 0; n < 4 * kMaxRarMembers && entries().size() < kMaxRarMembers &&
                           ReadRar4Block(m_source, at, block) && block.type != kRar4End;
             ++n, at = block.next()) {
            if (block.type != kRar4File || !block.fileLike())
                continue;
            if (!addEntry(Rar4Name(block.name()), block.unpackedSize()))
                break;
            const bool encrypted = block.flags & 0x0004;
            m_data.push_back(
                {block.dataAt, block.dataSize, block.method() == kRar4Stored && !encrypted});
        }
    }

    std::string copyStoredMember(const CArchiveEntry& entry, const CTempFileItem& scratch) {
        if (entry.index >= m_data.size() || !m_data[entry.index].stored)
            return {};
        const Rar4Data& data = m_data[entry.index];
        BoundedMemberWriter writer(scratch.createMember(entry.name),
                                   std::min(ExtractionLimit(entry), data.size));
        if (!writer.isOpen())
            return {};
        std::string buffer(16384, '\0');
        for (uint64_t done = 0; !writer.full() && done < data.size;) {
            const size_t got = m_source.readAt(
                data.at + done, buffer.data(),
                static_cast<size_t>(std::min<uint64_t>(buffer.size(), data.size - done)));
            if (got == 0 || !writer.write(buffer.data(), got))
                return {};
            done += got;
        }
        return writer.close() ? scratch.memberPath(entry.name) : std::string();
    }

    std::string extractWithLibarchive(const CArchiveEntry& entry, const CTempFileItem& scratch) {
        RarStream stream(m_source, m_headers.start);
        archive_entry* header = nullptr;
        if (!stream.open())
            return {};
        for (size_t n = 0; n <= entry.index; ++n)
            if (stream.next(header) != ARCHIVE_OK)
                return {};
        if (archive_entry_is_encrypted(header))
            return {};
        BoundedMemberWriter writer(scratch.createMember(entry.name), ExtractionLimit(entry));
        if (!writer.isOpen())
            return {};
        char buffer[16384];
        while (!writer.full()) {
            const la_ssize_t got = archive_read_data(stream.handle(), buffer, sizeof buffer);
            if (got < 0)
                return {};
            if (got == 0)
                break;
            if (!writer.write(buffer, static_cast<size_t>(got)))
                return {};
        }
        return writer.close() ? scratch.memberPath(entry.name) : std::string();
    }

    ByteSource& m_source;
    const RarHeaders& m_headers;
    std::vector<Rar4Data> m_data; // one per entry, when the headers are walked
};

// Leading "title=" is dropped from a comment longer than those six characters.
std::string WithoutTitlePrefix(std::string comment) {
    if (comment.size() > 6 && StartsWithNoCase(comment, "title="))
        comment.erase(0, 6);
    return comment;
}

} // namespace

std::optional<RarHeaders> FindRarArchive(ByteSource& source) {
    const auto signature = FindSignature(source);
    if (!signature)
        return std::nullopt;
    RarHeaders headers;
    headers.start = signature->first;
    headers.version = signature->second;
    const bool read =
        headers.version == 5 ? ReadRar5Headers(source, headers) : ReadRar4Headers(source, headers);
    if (!read)
        return std::nullopt;
    return headers;
}

ReadResult ParseRar(ByteSource& source, const ReadRequest& request) {
    ReadResult result("rar");
    const std::optional<RarHeaders> headers = FindRarArchive(source);
    if (!headers)
        return result.refuse(failure::kNotThisFormat);
    CRarArchive archive(source, *headers);
    if (!archive.opens())
        return result.refuse(failure::kNotThisFormat);
    result.accept(ArchiveExtension(source, headers->start == 0, "rar"));
    if (request.maxValues <= 0) {
        result.moreValues = true; // listing and titles cost far more than the answer
        return result;
    }
    archive.solid = headers->solid;
    archive.comment = WithoutTitlePrefix(headers->comment);
    archive.list();
    archive.selectTitles(request.maxValues, request.collectPreview, result);
    return result;
}

} // namespace tressel
