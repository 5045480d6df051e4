#pragma once

// Reading a folder of any size: one pass over its entries, names kept once, and the
// program's name order computed from keys folded once per name.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

struct FolderEntry {
    std::string name;
    bool folder = false;
    // True when the directory did not tell the entry's kind (or it is a symbolic link)
    // and fstatat was asked: size and time then hold its answer.
    bool statted = false;
    uint64_t size = 0; // 0 for folders
    uint64_t time = 0; // FileTime of the last write
};

// 100-ns units since 1601-01-01 UTC; 0 for times before then.
uint64_t FileTime(const struct timespec& ts);

// Hands each entry of the directory open as dirFd to take, "." and ".." left out, in
// the order the directory gives them. At most one fstatat relative to dirFd per entry,
// and only for entries whose kind the directory does not tell (symbolic links are
// followed: a link to a folder counts as a folder). dirFd's own read position is not
// moved. False when the directory cannot be read.
bool ForEachFolderEntry(int dirFd, const std::function<void(FolderEntry&&)>& take);
std::optional<std::vector<FolderEntry>> ReadFolderEntries(int dirFd);

// Names with their ASCII-folded keys computed once, for sorting many of them: a
// comparison looks at an 8-byte prefix of the keys first and at the rest only on a tie.
class FoldedNames {
public:
    void reserve(size_t names, size_t bytes);
    void add(std::string_view name);
    size_t size() const { return m_prefix.size(); }
    // The case-insensitive comparison of names a and b (by position added): <0, 0, >0.
    int compare(size_t a, size_t b) const;
    // The first eight bytes of a name's key as a number that orders as they do.
    uint64_t prefix(size_t at) const { return m_prefix[at]; }

private:
    std::string_view key(size_t at) const;

    std::vector<uint64_t> m_prefix;
    std::vector<size_t> m_start; // one past the last holds the end
    std::string m_keys;
};

// The positions of count names (nameAt(i) the i-th) in the program's name order:
// case-insensitive (ASCII folded), then by bytes.
std::vector<size_t> NameOrder(size_t count, const std::function<std::string_view(size_t)>& nameAt);

// Puts items into order in place: items[i] becomes the former items[order[i]]. order
// must be a permutation of the positions; no second copy of the items is made.
template <class Items> void ArrangeInOrder(Items& items, std::vector<size_t> order) {
    for (size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start)
            continue;
        auto held = std::move(items[start]);
        size_t at = start;
        while (order[at] != start) {
            const size_t from = order[at];
            items[at] = std::move(items[from]);
            order[at] = at; // filled
            at = from;
        }
        items[at] = std::move(held);
        order[at] = at;
    }
}

// Sorts entries into the program's name order.
void SortEntriesByName(std::vector<FolderEntry>& entries);

} // namespace tressel
