#include "byte_source.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {

std::string ByteSource::read(uint64_t offset, size_t n) {
    const uint64_t total = size();
    if (offset >= total)
        return {};
    if (n > total - offset)
        n = static_cast<size_t>(total - offset);
    std::string out(n, '\0');
    out.resize(readAt(offset, out.data(), n));
    return out;
}

bool ByteSource::readExact(uint64_t offset, void* buffer, size_t n) {
    return readAt(offset, buffer, n) == n;
}

namespace {

std::atomic<FileOpenObserver> g_openObserver{nullptr};

} // namespace

void SetFileOpenObserver(FileOpenObserver observer) {
    g_openObserver = observer;
}

int OpenRegularFile(const std::string& path, struct stat* statOut) {
    // O_NONBLOCK so that opening a FIFO never waits for a writer; fstat then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    if (const FileOpenObserver observer = g_openObserver)
        observer(path);
    struct stat st;
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        const int why = statted ? EINVAL : errno;
        ::close(fd);
        errno = why;
        return -1;
    }
    if (statOut)
        *statOut = st;
    return fd;
}

std::unique_ptr<FileSource> FileSource::open(const std::string& path, int* error) {
    struct stat st;
    const int fd = OpenRegularFile(path, &st);
    if (fd < 0) {
        if (error)
            *error = errno;
        return nullptr;
    }
    return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<uint64_t>(st.st_size)));
}

FileSource::~FileSource() {
    ::close(m_fd);
}

size_t FileSource::readAt(uint64_t offset, void* buffer, size_t n) {
    if (offset >= m_size)
        return 0;
    if (n > m_size - offset)
        n = static_cast<size_t>(m_size - offset);
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < n) {
        const ssize_t got = ::pread(m_fd, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

CachedFileSource::CachedFileSource(std::unique_ptr<FileSource> file) : m_file(std::move(file)) {
    const uint64_t size = m_file->size();
    m_tail.start = size > kWindowBytes ? size - kWindowBytes : 0;
}

std::unique_ptr<CachedFileSource> CachedFileSource::open(const std::string& path, int* error) {
    std::unique_ptr<FileSource> file = FileSource::open(path, error);
    if (!file)
        return nullptr;
    return std::unique_ptr<CachedFileSource>(new CachedFileSource(std::move(file)));
}

void CachedFileSource::fill(Window& window) {
    window.filled = true;
    window.bytes = m_file->read(window.start, kWindowBytes);
}

// A small file is all head: the tail window is only used where it adds bytes.
const CachedFileSource::Window* CachedFileSource::windowHolding(uint64_t offset, size_t n) {
    const uint64_t end = offset + n;
    if (end <= std::min<uint64_t>(size(), kWindowBytes)) {
        if (!m_head.filled)
            fill(m_head);
        return &m_head;
    }
    if (m_tail.start > 0 && offset >= m_tail.start) {
        if (!m_tail.filled)
            fill(m_tail);
        return &m_tail;
    }
    return nullptr;
}

size_t CachedFileSource::readAt(uint64_t offset, void* buffer, size_t n) {
    if (offset >= size() || n == 0)
        return 0;
    if (n > size() - offset)
        n = static_cast<size_t>(size() - offset);
    const Window* window = windowHolding(offset, n);
    if (!window)
        return m_file->readAt(offset, buffer, n);
    // The file may have shrunk since its size was taken: the window holds what was there.
    const uint64_t at = offset - window->start;
    if (at >= window->bytes.size())
        return 0;
    const size_t copied = std::min<size_t>(n, window->bytes.size() - static_cast<size_t>(at));
    std::memcpy(buffer, window->bytes.data() + at, copied);
    return copied;
}

size_t MemorySource::readAt(uint64_t offset, void* buffer, size_t n) {
    if (offset >= m_bytes.size())
        return 0;
    if (n > m_bytes.size() - offset)
        n = static_cast<size_t>(m_bytes.size() - offset);
    if (n > 0)
        std::memcpy(buffer, m_bytes.data() + offset, n);
    return n;
}

bool IsNotRegularFileError(int error) {
    return error == EINVAL || error == ENOENT || error == ENOTDIR || error == ELOOP;
}

} // namespace tressel
