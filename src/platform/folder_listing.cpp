#include "folder_listing.h"

#include "text.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600LL;

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The kind, size and time of an entry whose directory record does not say it is a
// plain file or folder. A dangling link is described as the link itself.
void StatEntry(int dirFd, FolderEntry& entry) {
    struct stat st;
    if (::fstatat(dirFd, entry.name.c_str(), &st, 0) != 0 &&
        ::fstatat(dirFd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    entry.statted = true;
    entry.folder = S_ISDIR(st.st_mode);
    entry.size = entry.folder ? 0 : static_cast<uint64_t>(st.st_size);
    entry.time = FileTime(st.st_mtim);
}

// The first eight bytes of a folded key, most significant first, zero-padded: ordering
// these numbers orders the keys' first eight bytes.
uint64_t PrefixOf(std::string_view key) {
    uint64_t prefix = 0;
    for (size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0U);
    return prefix;
}

} // namespace

uint64_t FileTime(const struct timespec& ts) {
    if (ts.tv_sec < -kEpochDifference)
        return 0;
    return static_cast<uint64_t>(ts.tv_sec + kEpochDifference) * 10000000ULL +
           static_cast<uint64_t>(ts.tv_nsec) / 100;
}

bool ForEachFolderEntry(int dirFd, const std::function<void(FolderEntry&&)>& take) {
    // A descriptor of its own, so the listing starts at the first entry whatever was
    // read from dirFd before.
    const int own = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return false;
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        ::close(own);
        return false;
    }
    while (const dirent* record = ::readdir(dir)) {
        if (IsDotOrDotDot(record->d_name))
            continue;
        FolderEntry entry;
        entry.name = record->d_name;
        if (record->d_type == DT_DIR || record->d_type == DT_REG)
            entry.folder = record->d_type == DT_DIR;
        else
            StatEntry(dirFd, entry);
        take(std::move(entry));
    }
    ::closedir(dir);
    return true;
}

std::optional<std::vector<FolderEntry>> ReadFolderEntries(int dirFd) {
    std::vector<FolderEntry> entries;
    if (!ForEachFolderEntry(dirFd,
                            [&](FolderEntry&& entry) { entries.push_back(std::move(entry)); }))
        return std::nullopt;
    return entries;
}

void FoldedNames::reserve(size_t names, size_t bytes) {
    m_prefix.reserve(names);
    m_start.reserve(names + 1);
    m_keys.reserve(bytes);
}

void FoldedNames::add(std::string_view name) {
    if (m_start.empty())
        m_start.push_back(0);
    for (char c : name)
        m_keys.push_back(ToLowerAscii(c));
    m_start.push_back(m_keys.size());
    m_prefix.push_back(PrefixOf(key(m_prefix.size())));
}

std::string_view FoldedNames::key(size_t at) const {
    return std::string_view(m_keys).substr(m_start[at], m_start[at + 1] - m_start[at]);
}

int FoldedNames::compare(size_t a, size_t b) const {
    if (m_prefix[a] != m_prefix[b])
        return m_prefix[a] < m_prefix[b] ? -1 : 1;
    const int c = key(a).compare(key(b));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::vector<size_t> NameOrder(size_t count, const std::function<std::string_view(size_t)>& nameAt) {
    size_t bytes = 0;
    for (size_t i = 0; i < count; ++i)
        bytes += nameAt(i).size();
    FoldedNames keys;
    keys.reserve(count, bytes);
    for (size_t i = 0; i < count; ++i)
        keys.add(nameAt(i));
    // The prefixes sorted beside the positions: most comparisons end there without
    // a look elsewhere in memory.
    struct Sortable {
        uint64_t prefix;
        size_t at;
    };
    std::vector<Sortable> sortable(count);
    for (size_t i = 0; i < count; ++i)
        sortable[i] = {keys.prefix(i), i};
    std::sort(sortable.begin(), sortable.end(), [&](const Sortable& a, const Sortable& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const int c = keys.compare(a.at, b.at);
        return c != 0 ? c < 0 : nameAt(a.at) < nameAt(b.at);
    });
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i)
        order[i] = sortable[i].at;
    return order;
}

void SortEntriesByName(std::vector<FolderEntry>& entries) {
    ArrangeInOrder(entries, NameOrder(entries.size(), [&](size_t i) -> std::string_view {
                       return entries[i].name;
                   }));
}

} // namespace tressel
