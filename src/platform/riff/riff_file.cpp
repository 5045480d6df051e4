#include "riff_file.h"

#include "platform/read_failure.h"

#include <algorithm>

namespace tressel::riff {

namespace {

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kList = FourCC("LIST");
constexpr uint32_t kFormAvi = FourCC("AVI ");
constexpr uint32_t kFormWave = FourCC("WAVE");
constexpr uint32_t kListInfo = FourCC("INFO");
constexpr uint32_t kListHeader = FourCC("hdrl");
constexpr uint32_t kListStream = FourCC("strl");
constexpr uint32_t kStreamHeader = FourCC("strh");
constexpr uint32_t kStreamFormat = FourCC("strf");
constexpr uint32_t kStreamName = FourCC("strn");
constexpr uint32_t kWaveFormat = FourCC("fmt ");
constexpr uint32_t kWaveData = FourCC("data");

// The stream header fields up to dwLength, and with the frame rectangle.
constexpr size_t kStreamHeaderMinBytes = 36;
constexpr size_t kStreamHeaderFullBytes = 56;
// A bitmap header up to biHeight.
constexpr size_t kBitmapHeaderMinBytes = 12;
// A wave format header up to nBlockAlign.
constexpr size_t kWaveFormatMinBytes = 14;

// Chunk header: four-byte id, 32-bit size, and for RIFF and LIST the list type.
constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kChunkSizeField = 4;
constexpr size_t kListTypeBytes = 4;
// The RIFF form type follows the file's chunk header.
constexpr uint64_t kFormTypeOffset = 8;
// Stream header (AVISTREAMHEADER) fields.
constexpr size_t kStrhType = 0;
constexpr size_t kStrhScale = 20;
constexpr size_t kStrhRate = 24;
constexpr size_t kStrhLength = 32;
constexpr size_t kStrhFrameLeft = 48;
constexpr size_t kStrhFrameTop = 50;
constexpr size_t kStrhFrameRight = 52;
constexpr size_t kStrhFrameBottom = 54;
// Bitmap header (BITMAPINFOHEADER) fields.
constexpr size_t kBitmapWidth = 4;
constexpr size_t kBitmapHeight = 8;
// Wave format (WAVEFORMATEX) fields.
constexpr size_t kWaveAvgBytesPerSec = 8;

bool IsListChunk(const Chunk& chunk, uint32_t listType) {
    return chunk.id == kList && chunk.listType == listType;
}

// The sub-chunks of a LIST chunk start after its list type.
uint64_t ListBegin(const Chunk& list) {
    return list.dataOffset + kListTypeBytes;
}
uint64_t ChunkEnd(const Chunk& chunk) {
    return chunk.dataOffset + chunk.size;
}

std::string ReadChunkData(ByteSource& source, const Chunk& chunk, size_t maxBytes) {
    return source.read(chunk.dataOffset,
                       static_cast<size_t>(std::min<uint64_t>(chunk.size, maxBytes)));
}

int32_t SignedLe16(const char* p) {
    return static_cast<int16_t>(ReadLe16(p));
}

int32_t AbsoluteHeight(int32_t height) {
    // Bottom-up bitmaps give a positive height, top-down ones a negative one.
    if (height >= 0)
        return height;
    return height == INT32_MIN ? INT32_MAX : -height;
}

bool ReadStreamHeader(const std::string& header, StreamInfo& info) {
    if (header.size() < kStreamHeaderMinBytes)
        return false;
    info.type = ReadLe32(header.data() + kStrhType);
    info.scale = ReadLe32(header.data() + kStrhScale);
    info.rate = ReadLe32(header.data() + kStrhRate);
    info.length = ReadLe32(header.data() + kStrhLength);
    if (header.size() >= kStreamHeaderFullBytes) {
        info.frame.left = SignedLe16(header.data() + kStrhFrameLeft);
        info.frame.top = SignedLe16(header.data() + kStrhFrameTop);
        info.frame.right = SignedLe16(header.data() + kStrhFrameRight);
        info.frame.bottom = SignedLe16(header.data() + kStrhFrameBottom);
    }
    return true;
}

// Many writers leave the frame rectangle empty; the picture size is then the one the
// video format gives.
void FrameFromBitmapHeader(const std::string& format, StreamInfo& info) {
    if (format.size() < kBitmapHeaderMinBytes)
        return;
    info.frame = {0, 0, static_cast<int32_t>(ReadLe32(format.data() + kBitmapWidth)),
                  AbsoluteHeight(static_cast<int32_t>(ReadLe32(format.data() + kBitmapHeight)))};
}

std::string NameUpToNul(std::string bytes) {
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return bytes;
}

} // namespace

bool ReadChunkHeader(ByteSource& source, uint64_t offset, uint64_t end, Chunk& chunk,
                     uint64_t& next) {
    char header[kChunkHeaderBytes + kListTypeBytes];
    if (end < kChunkHeaderBytes || offset > end - kChunkHeaderBytes ||
        !source.readExact(offset, header, kChunkHeaderBytes))
        return false;
    chunk.id = ReadLe32(header);
    const uint32_t declared = ReadLe32(header + kChunkSizeField);
    chunk.dataOffset = offset + kChunkHeaderBytes;
    chunk.size = std::min<uint64_t>(declared, end - chunk.dataOffset);
    chunk.listType = 0;
    if ((chunk.id == kRiff || chunk.id == kList) && chunk.size >= kListTypeBytes &&
        source.readExact(chunk.dataOffset, header + kChunkHeaderBytes, kListTypeBytes))
        chunk.listType = ReadLe32(header + kChunkHeaderBytes);
    // Chunks are padded to an even size; one whose size runs past the end ends the walk.
    const uint64_t padded = uint64_t(declared) + (declared & 1);
    next = padded <= end - chunk.dataOffset ? chunk.dataOffset + padded : end;
    return true;
}

std::optional<RiffFile> RiffFile::open(ByteSource& source, const char** why) {
    auto fail = [&](const char* reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    Chunk riff;
    uint64_t ignored = 0;
    char form[kListTypeBytes];
    if (source.read(0, 4) != "RIFF")
        return fail(failure::kNotThisFormat);
    // The form type is read whatever the RIFF size says: a file still being written
    // may give 0 there.
    if (!ReadChunkHeader(source, 0, source.size(), riff, ignored) ||
        !source.readExact(kFormTypeOffset, form, sizeof form))
        return fail(failure::kTruncatedHeader);
    const uint32_t formType = ReadLe32(form);
    if (formType != kFormAvi && formType != kFormWave)
        return fail(failure::kNotThisFormat);
    RiffFile file(source, formType == kFormAvi ? Form::Avi : Form::Wave);
    // Without a usable size, the chunks run to the end of the file.
    const uint64_t end = riff.size > 4 ? ChunkEnd(riff) : source.size();
    ForEachChunk(source, ListBegin(riff), end, [&](const Chunk& chunk) {
        auto keepFirst = [&](std::optional<Chunk>& slot) {
            if (!slot)
                slot = chunk;
        };
        if (IsListChunk(chunk, kListInfo))
            keepFirst(file.m_info);
        else if (IsListChunk(chunk, kListHeader))
            keepFirst(file.m_headerList);
        else if (chunk.id == kWaveFormat)
            keepFirst(file.m_format);
        else if (chunk.id == kWaveData)
            keepFirst(file.m_data);
        return true;
    });
    if (file.m_form == Form::Wave)
        return file;
    if (!file.m_headerList)
        return fail(failure::kDamagedHeader);
    // Some writers put the INFO list inside the header list.
    if (!file.m_info)
        ForEachChunk(source, ListBegin(*file.m_headerList), ChunkEnd(*file.m_headerList),
                     [&](const Chunk& chunk) {
                         if (IsListChunk(chunk, kListInfo))
                             file.m_info = chunk;
                         return !file.m_info;
                     });
    return file;
}

std::optional<std::string> RiffFile::readInfoList(size_t maxBytes) const {
    if (!m_info || m_info->size < kListTypeBytes)
        return std::nullopt;
    return ReadChunkData(*m_source, *m_info, maxBytes);
}

std::optional<StreamInfo> RiffFile::firstStream(uint32_t type) const {
    return m_form == Form::Avi ? firstAviStream(type)
                               : (type == kStreamAudio ? waveAudioStream() : std::nullopt);
}

std::optional<StreamInfo> RiffFile::firstAviStream(uint32_t type) const {
    std::optional<StreamInfo> found;
    ForEachChunk(*m_source, ListBegin(*m_headerList), ChunkEnd(*m_headerList),
                 [&](const Chunk& list) {
                     if (IsListChunk(list, kListStream))
                         found = readStreamList(list);
                     if (found && found->type != type)
                         found.reset();
                     return !found;
                 });
    return found;
}

std::optional<StreamInfo> RiffFile::readStreamList(const Chunk& list) const {
    StreamInfo info;
    bool haveHeader = false;
    std::string format;
    ForEachChunk(*m_source, ListBegin(list), ChunkEnd(list), [&](const Chunk& chunk) {
        if (chunk.id == kStreamHeader && !haveHeader) {
            haveHeader =
                ReadStreamHeader(ReadChunkData(*m_source, chunk, kStreamHeaderFullBytes), info);
        } else if (chunk.id == kStreamFormat && format.empty()) {
            format = ReadChunkData(*m_source, chunk, kBitmapHeaderMinBytes);
        } else if (chunk.id == kStreamName && info.name.empty()) {
            info.name = NameUpToNul(ReadChunkData(*m_source, chunk, kMaxStreamNameBytes));
        }
        return true;
    });
    if (!haveHeader)
        return std::nullopt;
    if (info.type == kStreamVideo && info.frame.isEmpty())
        FrameFromBitmapHeader(format, info);
    return info;
}

std::optional<StreamInfo> RiffFile::waveAudioStream() const {
    if (!m_format || m_format->size < kWaveFormatMinBytes)
        return std::nullopt;
    const std::string format = ReadChunkData(*m_source, *m_format, kWaveFormatMinBytes);
    if (format.size() < kWaveFormatMinBytes)
        return std::nullopt;
    // Counted in bytes, so that the duration is exact for compressed formats too, whose
    // blocks hold a fractional number of milliseconds.
    StreamInfo info;
    info.type = kStreamAudio;
    info.scale = 1;
    info.rate = ReadLe32(format.data() + kWaveAvgBytesPerSec);
    info.length = m_data ? static_cast<uint32_t>(m_data->size) : 0;
    return info;
}

} // namespace tressel::riff
