#pragma once

// Read-only access to a file's bytes through memory mappings. A view is asked for by
// offset and length; the object keeps a few mapped windows and answers from them
// while it can. Windows are mapped larger than asked (growing as a file is read on),
// so reading a file front to back in small steps maps it only a handful of times.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tressel {

class CMappedFile {
public:
    CMappedFile() = default;
    // Opens path (a regular file only; a symbolic link is followed) and keeps at most
    // capacity windows mapped at once.
    CMappedFile(const std::string& path, size_t capacity);
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // Failures leave the file closed and the size 0.
    bool open(const std::string& path, size_t capacity);
    bool isOpen() const { return m_fd >= 0; }
    // The whole size, as it was when the file was opened.
    uint64_t size() const { return m_size; }
    uint64_t device() const { return m_device; }
    uint64_t inode() const { return m_inode; }

    // length bytes from offset, or null when they lie beyond the size or cannot be
    // mapped. The pointer stays valid until the next view() or unmapAll(). Reading
    // through it faults (SIGBUS) when the file was cut short meanwhile: read it with
    // the guarded functions below.
    const unsigned char* view(uint64_t offset, size_t length);
    void unmapAll();

    // The unit a window starts at a multiple of.
    static size_t granularity();

private:
    struct View {
        unsigned char* base;
        uint64_t offset;
        size_t length;
    };
    size_t windowLength(uint64_t start, uint64_t end);
    void close();

    int m_fd = -1;
    uint64_t m_size = 0;
    uint64_t m_device = 0;
    uint64_t m_inode = 0;
    size_t m_capacity = 0;
    size_t m_nextWindow = 0;
    std::vector<View> m_views;
};

// Reads mapped bytes so that a file cut short while it is read costs the answer, not
// the process: nothing when the bytes could not be read.
std::optional<uint32_t> GuardedCrc32(uint32_t crc, const unsigned char* bytes, size_t length);
std::optional<bool> GuardedEqual(const unsigned char* a, const unsigned char* b, size_t length);

// The standard CRC-32 (the value zlib's crc32 gives), continued from crc. Null bytes
// give 0; a length of 0 gives crc.
uint32_t Crc32(uint32_t crc, const unsigned char* bytes, size_t length);

} // namespace tressel
