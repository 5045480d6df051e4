#pragma once

// Finding files with equal content among files of one size. Every file is read in
// 4096-byte chunks with a running CRC-32, all of them in lock-step, and a file stops
// being read as soon as its running checksum matches no other file's: files that
// differ are mostly told apart by their first chunk, and no file is read further
// than it takes to tell it apart. After the first chunk the last one is compared
// too, since files that differ only at their end (a copy cut short and padded, a
// changed trailer) are common and would otherwise be read whole.
//
// Equal CRC-32 values make files candidates, not copies: the caller confirms a copy
// byte for byte (SameBytes) before acting on it.

#include "mapped_file.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tressel {

// One file during a comparison: its mapping and its running checksum.
class CChecksumReader {
public:
    static constexpr size_t kChunkSize = 4096;
    static constexpr size_t kViewCapacity = 5;

    explicit CChecksumReader(std::string path);

    const std::string& path() const { return m_path; }
    uint64_t size() const { return m_file.size(); }
    const CMappedFile& file() const { return m_file; }
    bool atEnd() const { return m_offset >= m_file.size(); }
    // False once a chunk could not be read (the file was cut short while mapped).
    bool readable() const { return m_readable; }
    uint32_t checksum() const { return m_checksum; }

    // Reads the next chunk and returns the CRC-32 of everything read so far.
    uint32_t advance();
    // The CRC-32 of the file's last chunk (of the bytes after the first chunk, when
    // there are fewer), read out of turn: copies that differ only near their end are
    // told apart before the bytes between are read.
    uint32_t tailChecksum();
    bool atFirstChunkEnd() const { return m_offset == kChunkSize; }

private:
    std::string m_path;
    CMappedFile m_file;
    uint32_t m_checksum = 0;
    uint64_t m_offset = 0;
    bool m_readable = true;
};

class CDuplicateFinder {
public:
    enum class Problem {
        Unreadable, // could not be opened as a regular file
        Changed,    // another size than the others, or cut short while read
    };
    struct Trouble {
        std::string path;
        Problem problem;
    };

    // Paths of files that all have `size` bytes; an empty file never has a copy.
    CDuplicateFinder(std::vector<std::string> paths, uint64_t size);
    ~CDuplicateFinder();

    // Whole-file CRC-32 -> paths, ascending by checksum; paths of one checksum in the
    // order given. A checksum with two or more paths is a set of candidate copies.
    const std::multimap<uint32_t, std::string>& run();
    // The files that took no part, and why.
    const std::vector<Trouble>& troubles() const { return m_troubles; }

private:
    std::vector<std::string> m_paths;
    uint64_t m_size;
    std::multimap<uint32_t, std::string> m_result;
    std::vector<Trouble> m_troubles;
};

// Whether the files at a and b hold the same bytes, compared over their whole size,
// read only when they are still the files (device and inode) expected. Nothing when
// either could not be read to its end or is not the file expected.
struct ExpectedFile {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;

    bool operator==(const ExpectedFile&) const = default;
};
std::optional<bool> SameBytes(const std::string& a, const ExpectedFile& expectedA,
                              const std::string& b, const ExpectedFile& expectedB);

} // namespace tressel
