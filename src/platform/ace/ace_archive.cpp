#include "platform/ace/ace_archive.h"

#include "platform/ace/ace_lz77.h"

#include <algorithm>
#include <array>
#include <zlib.h>

namespace tressel::ace {

namespace {

constexpr size_t kSearchBlock = 65536;
constexpr size_t kMainHeaderFixed = 26; // type, flags, signature, versions, host, volume,
                                        // time, reserved
constexpr size_t kPrefixSize = 4;       // CRC16 and size before every header
// Other headers (recovery records) may sit between members; the walk is bounded all
// the same.
constexpr size_t kHeadersPerMember = 4;
constexpr size_t kMaxCommentBytes = 0x7FFF;
// Signatures whose header is read and checked: a stub may quote the signature, but
// bytes crafted to hold it everywhere must not cost a checksum over 64 KiB each.
constexpr int kMaxCandidates = 64;
constexpr size_t kMaxNameBytes = 4096;

// One header: its body (from the type on), checked against its CRC16.
struct RawHeader {
    uint64_t at = 0;
    std::string body;
    uint8_t type() const { return static_cast<uint8_t>(body[0]); }
    uint16_t flags() const { return ReadLe16(body.data() + 1); }
    uint64_t end() const { return at + kPrefixSize + body.size(); }
};

enum class HeaderRead { Ok, End, CutShort, BadCrc };

HeaderRead ReadHeader(ByteSource& source, uint64_t at, RawHeader& header) {
    uint8_t prefix[kPrefixSize];
    if (at >= source.size())
        return HeaderRead::End;
    if (!source.readExact(at, prefix, sizeof prefix))
        return HeaderRead::CutShort;
    const uint16_t size = ReadLe16(prefix + 2);
    header.at = at;
    header.body = source.read(at + kPrefixSize, size);
    if (header.body.size() < size || size < 3)
        return HeaderRead::CutShort;
    return Crc16(header.body) == ReadLe16(prefix) ? HeaderRead::Ok : HeaderRead::BadCrc;
}

// A bounded cursor over a header body.
class Fields {
public:
    explicit Fields(std::string_view body, size_t at) : m_body(body), m_at(at) {}
    bool has(size_t n) const { return n <= m_body.size() - std::min(m_at, m_body.size()); }
    uint8_t u8() { return static_cast<uint8_t>(m_body[m_at++]); }
    uint16_t u16() { return take<uint16_t>(2, ReadLe16(m_body.data() + m_at)); }
    uint32_t u32() { return take<uint32_t>(4, ReadLe32(m_body.data() + m_at)); }
    uint64_t u64() { return take<uint64_t>(8, ReadLe64(m_body.data() + m_at)); }
    std::string_view bytes(size_t n) {
        const std::string_view part = m_body.substr(m_at, n);
        m_at += n;
        return part;
    }
    // A block led by its 16-bit size; false when it does not fit.
    bool sized(std::string_view& out) {
        if (!has(2))
            return false;
        const uint16_t n = u16();
        if (!has(n))
            return false;
        out = bytes(n);
        return true;
    }

private:
    template <class T> T take(size_t n, T value) {
        m_at += n;
        return value;
    }
    std::string_view m_body;
    size_t m_at;
};

std::optional<Archive> ParseMainHeader(const RawHeader& header) {
    if (header.body.size() < kMainHeaderFixed || header.type() != kMainHeader ||
        std::string_view(header.body).substr(3, kSignature.size()) != kSignature)
        return std::nullopt;
    Archive archive;
    archive.start = header.at;
    archive.firstHeader = header.end();
    archive.flags = header.flags();
    archive.versionToExtract = static_cast<uint8_t>(header.body[10]);
    archive.volume = static_cast<uint8_t>(header.body[13]);
    Fields fields(header.body, kMainHeaderFixed);
    if (archive.flags & kFlagAdvert) {
        if (!fields.has(1))
            return std::nullopt;
        const uint8_t advertSize = fields.u8();
        if (!fields.has(advertSize))
            return std::nullopt;
        fields.bytes(advertSize);
    }
    if (archive.flags & kFlagComment) {
        std::string_view packed;
        if (!fields.sized(packed))
            return std::nullopt;
        archive.hasComment = true;
        if (std::optional<std::string> comment = DecompressComment(packed))
            archive.comment = std::move(*comment);
        else
            archive.commentDamaged = true;
    }
    return archive;
}

// False when the header does not hold what its type and flags promise.
bool ParseFileHeader(const RawHeader& header, Member& member) {
    // The sizes are there whether or not the add-size flag says so.
    const bool wide = header.type() == kFileHeader64;
    member.flags = header.flags();
    if (wide != bool(member.flags & kFlag64Bit))
        return false;
    Fields fields(header.body, 3);
    if (!fields.has(wide ? 16 : 8))
        return false;
    member.packedSize = wide ? fields.u64() : fields.u32();
    member.size = wide ? fields.u64() : fields.u32();
    if (!fields.has(20))
        return false;
    fields.u32(); // DOS time
    member.attributes = fields.u32();
    member.crc = fields.u32();
    member.method = fields.u8();
    member.quality = fields.u8();
    member.parameters = fields.u16();
    fields.u16(); // reserved
    const uint16_t nameSize = fields.u16();
    if (!fields.has(nameSize))
        return false;
    member.name = std::string(fields.bytes(nameSize).substr(0, kMaxNameBytes));
    member.dataAt = header.end();
    return true; // a member comment and NT security data may follow; neither is needed
}

// Bytes skipped after a header of another type (recovery records and the like).
uint64_t AddedSize(const RawHeader& header) {
    if (!(header.flags() & kFlagAddSize))
        return 0;
    Fields fields(header.body, 3);
    if (header.flags() & kFlag64Bit)
        return fields.has(8) ? fields.u64() : UINT64_MAX;
    return fields.has(4) ? fields.u32() : UINT64_MAX;
}

bool Fits(const ByteSource& source, uint64_t at, uint64_t size) {
    return at <= source.size() && size <= source.size() - at;
}

} // namespace

uint32_t Crc32(std::string_view bytes, uint32_t crc) {
    const uLong z = ::crc32(~crc & 0xFFFFFFFFu, reinterpret_cast<const Bytef*>(bytes.data()),
                            static_cast<uInt>(bytes.size()));
    return ~static_cast<uint32_t>(z);
}

uint16_t Crc16(std::string_view bytes) {
    return static_cast<uint16_t>(Crc32(bytes) & 0xFFFF);
}

unsigned Member::dictionaryBits() const {
    return std::min<unsigned>((parameters & 15) + kMinDictionaryBits, kMaxDictionaryBits);
}

std::optional<Archive> FindArchive(ByteSource& source) {
    const uint64_t limit =
        std::min(source.size(), kMaxStubSize + kSignatureOffset + kSignature.size());
    int candidates = 0;
    for (uint64_t block = 0; block < limit; block += kSearchBlock) {
        const std::string bytes =
            source.read(block, static_cast<size_t>(std::min<uint64_t>(
                                   kSearchBlock + kSignature.size(), limit - block)));
        for (size_t at = bytes.find(kSignature); at != std::string::npos && at < kSearchBlock;
             at = bytes.find(kSignature, at + 1)) {
            const uint64_t signature = block + at;
            if (signature < kSignatureOffset)
                continue;
            if (signature - kSignatureOffset > kMaxStubSize)
                return std::nullopt;
            if (++candidates > kMaxCandidates)
                return std::nullopt;
            RawHeader header;
            if (ReadHeader(source, signature - kSignatureOffset, header) != HeaderRead::Ok)
                continue; // a signature in a stub's data, or a damaged header
            if (std::optional<Archive> archive = ParseMainHeader(header))
                return archive;
        }
    }
    return std::nullopt;
}

std::vector<Member> ListMembers(ByteSource& source, const Archive& archive, size_t maxMembers) {
    std::vector<Member> members;
    RawHeader header;
    uint64_t at = archive.firstHeader;
    for (size_t n = 0; n < kHeadersPerMember * maxMembers && members.size() < maxMembers &&
                       ReadHeader(source, at, header) == HeaderRead::Ok;
         ++n) {
        const uint8_t type = header.type();
        uint64_t dataSize = 0;
        if (type == kFileHeader32 || type == kFileHeader64) {
            Member member;
            if (!ParseFileHeader(header, member))
                break;
            member.dataCutShort = !Fits(source, member.dataAt, member.packedSize);
            dataSize = member.packedSize;
            members.push_back(std::move(member));
        } else if (type == kMainHeader) {
            break; // a second archive starts: not ours to list
        } else {
            dataSize = AddedSize(header);
        }
        if (!Fits(source, header.end(), dataSize))
            break;
        at = header.end() + dataSize;
    }
    return members;
}

std::optional<std::string> DecompressComment(std::string_view packed) {
    BitReader bits(packed);
    const size_t wanted = std::min<size_t>(bits.read(kSymbolCountBits), kMaxCommentBytes);
    HuffmanTable table;
    if (!ReadHuffmanTable(bits, kMaxCodeWidth, kMainSymbols, table))
        return std::nullopt;
    // Copies come from where the last two bytes' sum was last seen.
    std::array<size_t, 511> seen{};
    std::string text;
    while (text.size() < wanted) {
        size_t from = 0;
        if (text.size() > 1) {
            const size_t sum = static_cast<uint8_t>(text[text.size() - 1]) +
                               static_cast<uint8_t>(text[text.size() - 2]);
            from = seen[sum];
            seen[sum] = text.size();
        }
        const int symbol = ReadSymbol(bits, table);
        if (symbol < 0 || bits.overrun())
            return std::nullopt;
        if (symbol < static_cast<int>(kRepeatBase)) {
            text += static_cast<char>(symbol);
            continue;
        }
        const size_t length = static_cast<size_t>(symbol) - kRepeatBase + 2;
        if (from >= text.size())
            return std::nullopt;
        for (size_t i = 0; i < length && text.size() < wanted; ++i)
            text += text[from + i];
    }
    return text;
}

// ---- extraction

Extractor::Extractor(ByteSource& source, const std::vector<Member>& members, bool solid)
    : m_source(source), m_members(members), m_solid(solid) {}

Extractor::~Extractor() = default;

void Extractor::prepareDecoder(size_t upTo) {
    // A copy never reaches further back than the bytes produced so far, so the window
    // need not be larger than those, whatever dictionary the members ask for.
    unsigned bits = kMinDictionaryBits;
    uint64_t produced = 0;
    for (size_t i = m_solid ? 0 : upTo; i <= upTo; ++i) {
        bits = std::max(bits, m_members[i].dictionaryBits());
        produced += std::min<uint64_t>(m_members[i].size, uint64_t(1) << kMaxDictionaryBits);
    }
    unsigned needed = kMinDictionaryBits;
    while (needed < bits && (uint64_t(1) << needed) < produced)
        ++needed;
    if (!m_decoder || needed > m_decoderBits) {
        m_decoder = std::make_unique<Lz77Decoder>(needed);
        m_decoderBits = needed;
    }
}

Status Extractor::extract(size_t index, const Sink& sink) {
    if (index >= m_members.size())
        return Status::Damaged;
    if (!m_solid) {
        prepareDecoder(index);
        m_decoder->reset();
        return unpack(m_members[index], &sink);
    }
    if (index < m_next || !m_decoder) {
        prepareDecoder(m_members.size() - 1);
        m_decoder->reset();
        m_next = 0;
        m_chain = Status::Ok;
    }
    // Each member continues the dictionary of the one before it.
    for (; m_next < index && m_chain == Status::Ok; ++m_next)
        m_chain = unpack(m_members[m_next], nullptr);
    if (m_chain != Status::Ok)
        return m_chain == Status::Refused ? Status::Damaged : m_chain;
    m_chain = unpack(m_members[index], &sink);
    ++m_next;
    return m_chain;
}

Status Extractor::unpack(const Member& member, const Sink* sink) {
    if (member.directory() && member.size == 0)
        return Status::Ok;
    if (member.encrypted() || member.split())
        return Status::Unsupported;
    if (member.dataCutShort)
        return Status::CutShort;
    uint32_t crc = 0; // as zlib keeps it
    Status status = Status::Unsupported;
    if (member.method == kStored)
        status = unpackStored(member, sink, crc);
    else if (member.method == kLz77)
        status = unpackLz77(member, sink, crc);
    if (status == Status::Ok && ~crc != member.crc)
        status = Status::Damaged;
    return status;
}

Status Extractor::unpackStored(const Member& member, const Sink* sink, uint32_t& crc) {
    if (member.packedSize < member.size)
        return Status::CutShort;
    std::string buffer;
    for (uint64_t done = 0; done < member.size;) {
        buffer = m_source.read(member.dataAt + done, static_cast<size_t>(std::min<uint64_t>(
                                                         kSearchBlock, member.size - done)));
        if (buffer.empty())
            return Status::CutShort;
        const auto* data = reinterpret_cast<const uint8_t*>(buffer.data());
        crc = static_cast<uint32_t>(::crc32(crc, data, static_cast<uInt>(buffer.size())));
        m_decoder->append(data, buffer.size());
        if (sink && !(*sink)(data, buffer.size()))
            return Status::Refused;
        done += buffer.size();
    }
    return Status::Ok;
}

Status Extractor::unpackLz77(const Member& member, const Sink* sink, uint32_t& crc) {
    BitReader bits(m_source, member.dataAt, member.packedSize);
    return m_decoder->decode(bits, member.size, sink, crc);
}

} // namespace tressel::ace
