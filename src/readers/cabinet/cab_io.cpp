#include "readers/cabinet/cab_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tressel {

namespace {

void* HeapAllocate(void*, uint32_t size) {
    return std::malloc(size ? size : 1);
}
void HeapRelease(void*, void* block) {
    std::free(block);
}

CabHandle FileOpen(void*, const char* path, int flags, int mode) {
    const bool reading = (flags & O_ACCMODE) == O_RDONLY;
    const int fd = ::open(path, flags | O_CLOEXEC | (reading ? O_NONBLOCK : 0), mode);
    if (fd < 0)
        return -1;
    struct stat status {};
    if (reading && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int64_t FileRead(void*, CabHandle handle, void* buffer, uint32_t size) {
    ssize_t got;
    do
        got = ::read(int(handle), buffer, size);
    while (got < 0 && errno == EINTR);
    return got;
}

int64_t FileWrite(void*, CabHandle handle, const void* buffer, uint32_t size) {
    const auto* bytes = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(int(handle), bytes + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return done ? int64_t(done) : -1;
        done += uint32_t(put);
    }
    return done;
}

int FileClose(void*, CabHandle handle) {
    return ::close(int(handle));
}

int64_t FileSeek(void*, CabHandle handle, int64_t offset, int origin) {
    return ::lseek(int(handle), off_t(offset), origin);
}

} // namespace

CabCallbacks CabFileCallbacks() {
    CabCallbacks callbacks;
    callbacks.allocate = HeapAllocate;
    callbacks.release = HeapRelease;
    callbacks.open = FileOpen;
    callbacks.read = FileRead;
    callbacks.write = FileWrite;
    callbacks.close = FileClose;
    callbacks.seek = FileSeek;
    return callbacks;
}

CabHandle CabMemoryFiles::createOutput(bool discard) {
    Open file;
    file.input = false;
    file.discard = discard;
    m_open.push_back(std::move(file));
    return CabHandle(m_open.size());
}

const std::string& CabMemoryFiles::output(CabHandle handle) const {
    return m_open.at(size_t(handle - 1)).written;
}

int CabMemoryFiles::openHandles() const {
    int count = 0;
    for (const Open& file : m_open)
        count += file.closed ? 0 : 1;
    return count;
}

CabMemoryFiles::Open* CabMemoryFiles::find(CabHandle handle) {
    if (handle < 1 || size_t(handle) > m_open.size() || m_open[size_t(handle - 1)].closed)
        return nullptr;
    return &m_open[size_t(handle - 1)];
}

CabCallbacks CabMemoryFiles::callbacks() {
    CabCallbacks callbacks;
    callbacks.context = this;
    callbacks.allocate = allocate;
    callbacks.release = release;
    callbacks.open = open;
    callbacks.read = read;
    callbacks.write = write;
    callbacks.close = close;
    callbacks.seek = seek;
    return callbacks;
}

void* CabMemoryFiles::allocate(void* self, uint32_t size) {
    int& left = static_cast<CabMemoryFiles*>(self)->m_allocationsLeft;
    if (left == 0)
        return nullptr;
    if (left > 0)
        --left;
    return std::malloc(size ? size : 1);
}

void CabMemoryFiles::release(void*, void* block) {
    std::free(block);
}

CabHandle CabMemoryFiles::open(void* self, const char* path, int flags, int) {
    auto* files = static_cast<CabMemoryFiles*>(self);
    const auto found = files->m_files.find(std::string_view(path));
    if ((flags & O_ACCMODE) != O_RDONLY || found == files->m_files.end())
        return -1;
    Open file;
    file.bytes = found->second;
    files->m_open.push_back(std::move(file));
    return CabHandle(files->m_open.size());
}

int64_t CabMemoryFiles::read(void* self, CabHandle handle, void* buffer, uint32_t size) {
    Open* file = static_cast<CabMemoryFiles*>(self)->find(handle);
    if (!file || !file->input)
        return -1;
    const std::string& bytes = *file->bytes;
    if (file->position >= bytes.size())
        return 0;
    const uint64_t count = std::min<uint64_t>(size, bytes.size() - file->position);
    std::memcpy(buffer, bytes.data() + file->position, size_t(count));
    file->position += count;
    return int64_t(count);
}

int64_t CabMemoryFiles::write(void* self, CabHandle handle, const void* buffer, uint32_t size) {
    Open* file = static_cast<CabMemoryFiles*>(self)->find(handle);
    if (!file || file->input)
        return -1;
    if (!file->discard)
        file->written.append(static_cast<const char*>(buffer), size);
    return size;
}

int CabMemoryFiles::close(void* self, CabHandle handle) {
    Open* file = static_cast<CabMemoryFiles*>(self)->find(handle);
    if (!file)
        return -1;
    file->closed = true;
    return 0;
}

int64_t CabMemoryFiles::seek(void* self, CabHandle handle, int64_t offset, int origin) {
    Open* file = static_cast<CabMemoryFiles*>(self)->find(handle);
    if (!file || !file->input)
        return -1;
    int64_t base = 0;
    if (origin == SEEK_CUR)
        base = int64_t(file->position);
    else if (origin == SEEK_END)
        base = int64_t(file->bytes->size());
    else if (origin != SEEK_SET)
        return -1;
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
        return -1;
    file->position = uint64_t(base + offset);
    return int64_t(file->position);
}

} // namespace tressel
