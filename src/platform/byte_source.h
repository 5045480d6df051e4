#pragma once

// The one I/O interface every format reader uses, so that the same parsing code runs
// on files, on memory and on fuzz input. Reads are bounded by the source's size: a
// read past the end returns fewer bytes, never garbage.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct stat;

namespace tressel {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Copies up to n bytes from offset into buffer; returns how many were copied.
    virtual size_t readAt(uint64_t offset, void* buffer, size_t n) = 0;

    // Up to n bytes from offset (fewer at the end of the source, none past it).
    std::string read(uint64_t offset, size_t n);
    // Exactly n bytes from offset, or false.
    bool readExact(uint64_t offset, void* buffer, size_t n);
};

// The one function through which every file is opened for reading: a regular file
// opened read-only, or -1. A FIFO, socket, device, folder or dangling link is refused
// without blocking (errno EINVAL when it exists but is not a regular file); statOut,
// when given, receives what fstat says of it.
int OpenRegularFile(const std::string& path, struct stat* statOut = nullptr);

// Told the path of every file OpenRegularFile opens (null: nobody), from whichever
// thread opened it; tests count the opens with it.
using FileOpenObserver = void (*)(const std::string& path);
void SetFileOpenObserver(FileOpenObserver observer);

// A regular file opened read-only. Anything else (FIFO, socket, device, folder,
// dangling link) is refused without blocking: open() returns null, and *error (when
// given) the errno of the refusal.
class FileSource final : public ByteSource {
public:
    static std::unique_ptr<FileSource> open(const std::string& path, int* error = nullptr);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    uint64_t size() const override { return m_size; }
    size_t readAt(uint64_t offset, void* buffer, size_t n) override;
    int fd() const { return m_fd; }

private:
    FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    int m_fd;
    uint64_t m_size;
};

// A file opened once for everything that reads it: its first and its last
// kWindowBytes are each read with one pread, the first time a read falls inside them,
// and kept; a read elsewhere (or across a window's edge) goes to the file. The
// registry opens each file it reads as one of these, so the readers it tries share
// one open and the same two windows.
class CachedFileSource final : public ByteSource {
public:
    static constexpr size_t kWindowBytes = 64 * 1024;

    static std::unique_ptr<CachedFileSource> open(const std::string& path, int* error = nullptr);

    uint64_t size() const override { return m_file->size(); }
    size_t readAt(uint64_t offset, void* buffer, size_t n) override;

private:
    struct Window {
        uint64_t start = 0;
        std::string bytes;
        bool filled = false;
    };

    explicit CachedFileSource(std::unique_ptr<FileSource> file);
    const Window* windowHolding(uint64_t offset, size_t n);
    void fill(Window& window);

    std::unique_ptr<FileSource> m_file;
    Window m_head;
    Window m_tail;
};

// Bytes held in memory (a view: the owner keeps them alive).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    uint64_t size() const override { return m_bytes.size(); }
    size_t readAt(uint64_t offset, void* buffer, size_t n) override;

private:
    std::string_view m_bytes;
};

// True when an open refused by OpenRegularFile found no regular file there (a FIFO,
// socket, device or folder, a dangling link, or nothing): not a failure to read one.
bool IsNotRegularFileError(int error);

// Little- and big-endian integers from a byte buffer; the caller checks the bounds.
inline uint16_t ReadLe16(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t ReadLe32(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
inline uint64_t ReadLe64(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return uint64_t(ReadLe32(b)) | uint64_t(ReadLe32(b + 4)) << 32;
}
inline uint16_t ReadBe16(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(b[0] << 8 | b[1]);
}
inline uint32_t ReadBe32(const void* p) {
    const auto* b = static_cast<const unsigned char*>(p);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

} // namespace tressel
