#include "mapped_file.h"

#include "platform/byte_source.h"

#include <libdeflate.h>

#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {

namespace {

// The first window of a file is small, since most files are told apart by their
// first bytes; each further window doubles, up to the largest.
constexpr size_t kFirstWindow = size_t(64) << 10;
constexpr size_t kLargestWindow = size_t(8) << 20;

size_t PageSize() {
    static const size_t size = [] {
        const long page = ::sysconf(_SC_PAGESIZE);
        return page > 0 ? static_cast<size_t>(page) : size_t(4096);
    }();
    return size;
}

} // namespace

size_t CMappedFile::granularity() {
    return PageSize();
}

CMappedFile::CMappedFile(const std::string& path, size_t capacity) {
    open(path, capacity);
}

CMappedFile::~CMappedFile() {
    close();
}

bool CMappedFile::open(const std::string& path, size_t capacity) {
    close();
    struct stat st;
    const int fd = OpenRegularFile(path, &st);
    if (fd < 0)
        return false;
    m_fd = fd;
    m_size = static_cast<uint64_t>(st.st_size);
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_capacity = std::max<size_t>(capacity, 1);
    m_nextWindow = kFirstWindow;
    return true;
}

void CMappedFile::close() {
    unmapAll();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    m_device = 0;
    m_inode = 0;
}

void CMappedFile::unmapAll() {
    for (const View& v : m_views)
        ::munmap(v.base, v.length);
    m_views.clear();
}

size_t CMappedFile::windowLength(uint64_t start, uint64_t end) {
    const uint64_t wanted = std::max<uint64_t>(end - start, m_nextWindow);
    m_nextWindow = std::min(m_nextWindow * 2, kLargestWindow);
    return static_cast<size_t>(std::min(wanted, m_size - start));
}

const unsigned char* CMappedFile::view(uint64_t offset, size_t length) {
    if (m_fd < 0 || offset > m_size || length > m_size - offset)
        return nullptr;
    for (const View& v : m_views) {
        if (v.offset <= offset && offset + length <= v.offset + v.length)
            return v.base + (offset - v.offset);
    }
    const uint64_t start = offset - offset % granularity();
    const size_t mapped = windowLength(start, offset + length);
    if (mapped == 0)
        return nullptr; // an empty view of an empty file: nothing to map
    void* base = ::mmap(nullptr, mapped, PROT_READ, MAP_SHARED | MAP_POPULATE, m_fd,
                        static_cast<off_t>(start));
    if (base == MAP_FAILED)
        return nullptr;
    ::madvise(base, mapped, MADV_SEQUENTIAL);
    ::madvise(base, mapped, MADV_WILLNEED);
    if (m_views.size() + 1 > m_capacity)
        unmapAll();
    m_views.push_back({static_cast<unsigned char*>(base), start, mapped});
    return static_cast<unsigned char*>(base) + (offset - start);
}

uint32_t Crc32(uint32_t crc, const unsigned char* bytes, size_t length) {
    if (!bytes)
        return 0;
    if (length == 0)
        return crc;
    return libdeflate_crc32(crc, bytes, length);
}

// A file mapped by this process can be cut short by another: touching a page past
// its new end raises SIGBUS. The guarded reads set a jump point for the handler; a
// SIGBUS outside them goes to the handler that was there before.
namespace {

thread_local sigjmp_buf* t_jumpPoint = nullptr;
struct sigaction g_previousBusHandler;

void OnBusError(int, siginfo_t*, void*) {
    if (sigjmp_buf* jumpPoint = t_jumpPoint) {
        t_jumpPoint = nullptr;
        siglongjmp(*jumpPoint, 1);
    }
    // Not a guarded read: the faulting access repeats under the earlier handler.
    ::sigaction(SIGBUS, &g_previousBusHandler, nullptr);
}

void InstallBusHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        action.sa_sigaction = OnBusError;
        // SA_NODEFER: leaving the handler by a jump that does not restore the signal
        // mask must not leave SIGBUS blocked.
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previousBusHandler);
    });
}

// Runs work(context) with SIGBUS caught; false when it was. Only trivially
// destructible locals live between the jump point and the jump, so leaving by the
// jump skips no destructor.
bool RunGuarded(void (*work)(void*), void* context) {
    InstallBusHandler();
    void (*volatile guardedWork)(void*) = work;
    void* volatile guardedContext = context;
    sigjmp_buf jumpPoint;
    if (sigsetjmp(jumpPoint, 0) != 0)
        return false;
    t_jumpPoint = &jumpPoint;
    guardedWork(guardedContext);
    t_jumpPoint = nullptr;
    return true;
}

} // namespace

std::optional<uint32_t> GuardedCrc32(uint32_t crc, const unsigned char* bytes, size_t length) {
    struct Job {
        uint32_t crc;
        const unsigned char* bytes;
        size_t length;
    } job{crc, bytes, length};
    const bool done = RunGuarded(
        [](void* context) {
            Job& j = *static_cast<Job*>(context);
            j.crc = Crc32(j.crc, j.bytes, j.length);
        },
        &job);
    return done ? std::optional<uint32_t>(job.crc) : std::nullopt;
}

std::optional<bool> GuardedEqual(const unsigned char* a, const unsigned char* b, size_t length) {
    struct Job {
        const unsigned char* a;
        const unsigned char* b;
        size_t length;
        bool equal;
    } job{a, b, length, false};
    const bool done = RunGuarded(
        [](void* context) {
            Job& j = *static_cast<Job*>(context);
            j.equal = j.length == 0 || std::memcmp(j.a, j.b, j.length) == 0;
        },
        &job);
    return done ? std::optional<bool>(job.equal) : std::nullopt;
}

} // namespace tressel
