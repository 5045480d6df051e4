#include "duplicate_finder.h"

#include <algorithm>
#include <deque>

namespace tressel {

CChecksumReader::CChecksumReader(std::string path) : m_path(std::move(path)) {
    m_file.open(m_path, kViewCapacity);
}

uint32_t CChecksumReader::advance() {
    if (m_offset < m_file.size()) {
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>(kChunkSize, m_file.size() - m_offset));
        const unsigned char* bytes = m_file.view(m_offset, length);
        const std::optional<uint32_t> crc =
            bytes ? GuardedCrc32(m_checksum, bytes, length) : std::nullopt;
        if (crc)
            m_checksum = *crc;
        else
            m_readable = false;
    }
    m_offset += kChunkSize;
    return m_checksum;
}

uint32_t CChecksumReader::tailChecksum() {
    const uint64_t start = std::max<uint64_t>(
        kChunkSize, m_file.size() - std::min<uint64_t>(m_file.size(), kChunkSize));
    if (start >= m_file.size())
        return 0;
    const size_t length = static_cast<size_t>(m_file.size() - start);
    const unsigned char* bytes = m_file.view(start, length);
    const std::optional<uint32_t> crc = bytes ? GuardedCrc32(0, bytes, length) : std::nullopt;
    if (!crc)
        m_readable = false;
    return crc.value_or(0);
}

namespace {

struct Keyed {
    uint64_t key;
    CChecksumReader* reader;
};
// Readers with their running checksums, kept in insertion order within a key.
using Partition = std::vector<Keyed>;

void SortByKey(Partition& partition) {
    std::stable_sort(partition.begin(), partition.end(),
                     [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
}

} // namespace

CDuplicateFinder::CDuplicateFinder(std::vector<std::string> paths, uint64_t size)
    : m_paths(std::move(paths)), m_size(size) {}

CDuplicateFinder::~CDuplicateFinder() = default;

const std::multimap<uint32_t, std::string>& CDuplicateFinder::run() {
    m_result.clear();
    m_troubles.clear();
    if (m_size == 0)
        return m_result;

    std::vector<std::unique_ptr<CChecksumReader>> readers;
    Partition first;
    for (const std::string& path : m_paths) {
        auto reader = std::make_unique<CChecksumReader>(path);
        if (!reader->file().isOpen()) {
            m_troubles.push_back({path, Problem::Unreadable});
            continue;
        }
        if (reader->size() != m_size) {
            m_troubles.push_back({path, Problem::Changed});
            continue;
        }
        first.push_back({0, reader.get()});
        readers.push_back(std::move(reader));
    }

    Partition finished;
    std::deque<Partition> queue;
    queue.push_back(std::move(first));
    while (!queue.empty()) {
        Partition partition = std::move(queue.front());
        queue.pop_front();
        SortByKey(partition);
        for (size_t begin = 0, end; begin < partition.size(); begin = end) {
            end = begin + 1;
            while (end < partition.size() && partition[end].key == partition[begin].key)
                ++end;
            if (end - begin < 2)
                continue; // unique
            Partition next;
            next.reserve(end - begin);
            for (size_t i = begin; i < end; ++i) {
                CChecksumReader* reader = partition[i].reader;
                if (reader->atEnd()) {
                    finished.push_back({reader->checksum(), reader});
                    continue;
                }
                uint64_t key = reader->advance();
                if (reader->atFirstChunkEnd() && !reader->atEnd())
                    key |= uint64_t(reader->tailChecksum()) << 32;
                if (reader->readable())
                    next.push_back({key, reader});
                else
                    m_troubles.push_back({reader->path(), Problem::Changed});
            }
            if (!next.empty())
                queue.push_back(std::move(next));
        }
    }

    SortByKey(finished);
    for (const Keyed& entry : finished)
        m_result.emplace(entry.key, entry.reader->path());
    return m_result;
}

namespace {

bool IsExpected(const CMappedFile& file, const ExpectedFile& expected) {
    return file.isOpen() && file.device() == expected.device && file.inode() == expected.inode &&
           file.size() == expected.size;
}

} // namespace

std::optional<bool> SameBytes(const std::string& a, const ExpectedFile& expectedA,
                              const std::string& b, const ExpectedFile& expectedB) {
    constexpr size_t kBlock = size_t(1) << 20;
    CMappedFile fileA(a, CChecksumReader::kViewCapacity);
    CMappedFile fileB(b, CChecksumReader::kViewCapacity);
    if (!IsExpected(fileA, expectedA) || !IsExpected(fileB, expectedB))
        return std::nullopt;
    if (fileA.size() != fileB.size())
        return false;
    for (uint64_t offset = 0; offset < fileA.size(); offset += kBlock) {
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>(kBlock, fileA.size() - offset));
        const unsigned char* bytesA = fileA.view(offset, length);
        const unsigned char* bytesB = fileB.view(offset, length);
        if (!bytesA || !bytesB)
            return std::nullopt;
        const std::optional<bool> equal = GuardedEqual(bytesA, bytesB, length);
        if (!equal || !*equal)
            return equal;
    }
    return true;
}

} // namespace tressel
