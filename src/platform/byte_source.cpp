#include "byte_source.h"

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

std::unique_ptr<FileSource> FileSource::open(const std::string& path) {
    // O_NONBLOCK so that opening a FIFO never waits for a writer; fstat then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
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

size_t MemorySource::readAt(uint64_t offset, void* buffer, size_t n) {
    if (offset >= m_bytes.size())
        return 0;
    if (n > m_bytes.size() - offset)
        n = static_cast<size_t>(m_bytes.size() - offset);
    if (n > 0)
        std::memcpy(buffer, m_bytes.data() + offset, n);
    return n;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace tressel
