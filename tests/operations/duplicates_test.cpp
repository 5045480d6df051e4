#include "operations/duplicate_finder.h"
#include "operations/feedback.h"
#include "operations/mapped_file.h"
#include "operations/remove_duplicates.h"
#include "operations/undo.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {
namespace {

using test::PathExists;
using test::TempDir;

std::string Pattern(size_t size, unsigned seed = 1) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

std::string WithLastByte(std::string bytes, char last) {
    bytes.back() = last;
    return bytes;
}

uint32_t ZlibCrc(const std::string& bytes) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// prefix + four bytes chosen so that the whole has the CRC-32 `wanted`. CRC-32 is
// affine in its input bits, so the four bytes solve a 32x32 linear system over GF(2).
std::string ForgeCrc(const std::string& prefix, uint32_t wanted) {
    const auto crcWith = [&](uint32_t tail) {
        std::string bytes = prefix;
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>(tail >> (8 * i)));
        return ZlibCrc(bytes);
    };
    const uint32_t base = crcWith(0);
    // Rows: the effect of each tail bit, joined with the bit itself (bits 32-63).
    std::vector<uint64_t> rows;
    for (int bit = 0; bit < 32; ++bit)
        rows.push_back((crcWith(1u << bit) ^ base) | (uint64_t(1) << (32 + bit)));
    uint32_t target = wanted ^ base;
    uint32_t tail = 0;
    for (int bit = 0; bit < 32; ++bit) {
        const auto pivot = std::find_if(rows.begin() + bit, rows.end(),
                                        [&](uint64_t row) { return (row >> bit) & 1; });
        std::iter_swap(rows.begin() + bit, pivot);
        for (size_t r = 0; r < rows.size(); ++r) {
            if (r != size_t(bit) && ((rows[r] >> bit) & 1))
                rows[r] ^= rows[bit];
        }
    }
    for (int bit = 0; bit < 32; ++bit) {
        if ((target >> bit) & 1)
            tail ^= static_cast<uint32_t>(rows[bit] >> 32);
    }
    std::string bytes = prefix;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(tail >> (8 * i)));
    return bytes;
}

// Two different files of one size with one CRC-32, also over every whole chunk: they
// differ in their last chunk only.
std::pair<std::string, std::string> CollidingPair() {
    const std::string common = Pattern(8192, 6);
    const std::string first = common + Pattern(1000, 7);
    const std::string second = ForgeCrc(common + Pattern(996, 8), ZlibCrc(first));
    return {first, second};
}

TEST(MappedFileTest, ViewsAnswerTheFilesBytesAtAnyOffset) {
    TempDir dir;
    const std::string bytes = Pattern(3 << 20);
    const std::string path = dir.write("f", bytes);
    const struct {
        uint64_t offset;
        size_t length;
    } cases[] = {{0, 1},
                 {0, 4096},
                 {4095, 2},
                 {70000, 100000},
                 {5, (3 << 20) - 5},
                 {(3 << 20) - 1, 1},
                 {1 << 20, 2 << 20},
                 {100, 0}};
    for (size_t capacity : {1, 5}) {
        CMappedFile file(path, capacity);
        ASSERT_EQ(file.size(), bytes.size());
        for (const auto& c : cases) {
            const unsigned char* view = file.view(c.offset, c.length);
            ASSERT_NE(view, nullptr) << c.offset << "+" << c.length;
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(view), c.length),
                      bytes.substr(c.offset, c.length))
                << c.offset << "+" << c.length << " capacity " << capacity;
        }
        EXPECT_EQ(file.view(bytes.size(), 1), nullptr);
        EXPECT_EQ(file.view(1, bytes.size()), nullptr);
    }
    EXPECT_FALSE(CMappedFile(dir.file("missing"), 5).isOpen());
    EXPECT_FALSE(CMappedFile(dir.path(), 5).isOpen());
    EXPECT_EQ(CMappedFile(dir.path(), 5).size(), 0u);
}

TEST(MappedFileTest, SizesFrom4GiBOnAreWhole) {
    TempDir dir;
    const std::string path = dir.write("sparse", "");
    const uint64_t size = (uint64_t(1) << 32) + 3;
    {
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_EQ(::pwrite(fd, "xyz", 3, static_cast<off_t>(size - 3)), 3);
        ::close(fd);
    }
    CMappedFile file(path, 5);
    EXPECT_EQ(file.size(), size);
    const unsigned char* tail = file.view(size - 3, 3);
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(tail), 3), "xyz");
}

TEST(MappedFileTest, Crc32IsZlibsAndContinues) {
    for (size_t size : {1, 3, 4095, 4096, 4097, 100003}) {
        const std::string bytes = Pattern(size, unsigned(size));
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        EXPECT_EQ(Crc32(0, data, size), ZlibCrc(bytes)) << size;
        EXPECT_EQ(Crc32(Crc32(0, data, size / 2), data + size / 2, size - size / 2), ZlibCrc(bytes))
            << size;
    }
    EXPECT_EQ(Crc32(1234, nullptr, 5), 0u);
    const unsigned char byte = 'a';
    EXPECT_EQ(Crc32(1234, &byte, 0), 1234u);
}

TEST(MappedFileTest, AFileCutShortWhileMappedIsNotReadAndDoesNotCrash) {
    TempDir dir;
    const std::string path = dir.write("f", Pattern(1 << 20));
    const std::string other = dir.write("g", Pattern(1 << 20));
    CMappedFile file(path, 5);
    CMappedFile same(other, 5);
    const unsigned char* bytes = file.view(0, 1 << 20);
    const unsigned char* otherBytes = same.view(0, 1 << 20);
    ASSERT_TRUE(bytes && otherBytes);
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    EXPECT_EQ(GuardedCrc32(0, bytes + 8192, 4096), std::nullopt);
    EXPECT_EQ(GuardedEqual(otherBytes, bytes + 8192, 4096), std::nullopt);
    EXPECT_EQ(GuardedEqual(otherBytes, otherBytes, 4096), std::optional<bool>(true));
}

// Contents in the order given -> the sets of candidates found (as indexes).
TEST(DuplicateFinderTest, FindsTheFilesWithEqualChecksums) {
    const std::string big = Pattern(50000);
    const auto [collideA, collideB] = CollidingPair();
    const struct {
        const char* what;
        std::vector<std::string> contents;
        std::vector<std::vector<size_t>> sets;
    } cases[] = {
        {"three copies", {"abc", "abc", "abc"}, {{0, 1, 2}}},
        {"last byte differs", {big, WithLastByte(big, 'x')}, {}},
        {"first byte differs", {"x" + big.substr(1), big}, {}},
        {"two of three", {big, WithLastByte(big, 'q'), big}, {{0, 2}}},
        {"two pairs", {"aa", "bb", "bb", "aa"}, {{0, 3}, {1, 2}}},
        {"a chunk exactly", {Pattern(4096), Pattern(4096)}, {{0, 1}}},
        {"colliding checksums", {collideA, collideB}, {{0, 1}}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::vector<std::string> paths;
        for (size_t i = 0; i < c.contents.size(); ++i)
            paths.push_back(dir.write(std::to_string(i), c.contents[i]));
        CDuplicateFinder finder(paths, c.contents.front().size());
        std::multimap<uint32_t, std::string> result = finder.run();
        std::vector<std::vector<size_t>> sets;
        for (auto it = result.begin(); it != result.end();) {
            std::vector<size_t> set;
            for (const auto end = result.upper_bound(it->first); it != end; ++it)
                set.push_back(std::stoul(it->second.substr(dir.path().size())));
            EXPECT_EQ(it == result.end() ? 0 : 0, 0);
            if (set.size() >= 2) {
                EXPECT_EQ(std::prev(it)->first, ZlibCrc(c.contents[set.front()])) << c.what;
                sets.push_back(set);
            }
        }
        std::sort(sets.begin(), sets.end());
        EXPECT_EQ(sets, c.sets) << c.what;
        EXPECT_TRUE(finder.troubles().empty()) << c.what;
    }
}

TEST(DuplicateFinderTest, EmptyMissingAndResizedFilesTakeNoPart) {
    TempDir dir;
    const std::vector<std::string> empty = {dir.write("e1", ""), dir.write("e2", "")};
    EXPECT_TRUE(CDuplicateFinder(empty, 0).run().empty());

    const std::vector<std::string> paths = {dir.write("a", "abcd"), dir.file("gone"),
                                            dir.write("b", "abcdef"), dir.write("c", "abcd")};
    CDuplicateFinder finder(paths, 4);
    EXPECT_EQ(finder.run().size(), 2u);
    ASSERT_EQ(finder.troubles().size(), 2u);
    EXPECT_EQ(finder.troubles()[0].problem, CDuplicateFinder::Problem::Unreadable);
    EXPECT_EQ(finder.troubles()[1].problem, CDuplicateFinder::Problem::Changed);
    EXPECT_EQ(finder.troubles()[1].path, paths[2]);
}

TEST(DuplicateFinderTest, SameBytesComparesTheWholeFileItExpects) {
    TempDir dir;
    const auto [collideA, collideB] = CollidingPair();
    const std::string big = Pattern(3 << 20);
    const auto identity = [](const std::string& path) {
        struct stat st;
        ::stat(path.c_str(), &st);
        return ExpectedFile{st.st_dev, st.st_ino, static_cast<uint64_t>(st.st_size)};
    };
    const std::string a = dir.write("a", big), b = dir.write("b", big);
    const std::string c = dir.write("c", WithLastByte(big, 'z'));
    const std::string x = dir.write("x", collideA), y = dir.write("y", collideB);
    EXPECT_EQ(SameBytes(a, identity(a), b, identity(b)), std::optional<bool>(true));
    EXPECT_EQ(SameBytes(a, identity(a), c, identity(c)), std::optional<bool>(false));
    EXPECT_EQ(SameBytes(x, identity(x), y, identity(y)), std::optional<bool>(false));
    EXPECT_EQ(SameBytes(a, identity(c), b, identity(b)), std::nullopt);
}

struct CancelAfter final : ICancelCheck {
    explicit CancelAfter(int checks) : left(checks) {}
    bool cancelRequested() override { return --left < 0; }
    int left;
};

struct StepHook final : IProgress {
    void start(uint64_t count) override { range = count; }
    void step() override {
        ++steps;
        if (onStep)
            onStep(steps);
    }
    std::function<void(int)> onStep;
    uint64_t range = 0;
    int steps = 0;
};

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(entry.path().string().substr(folder.size()));
    std::sort(names.begin(), names.end());
    return names;
}

// A folder set up by the case, the names in display order -> what the folder holds
// afterwards and the status line.
TEST(RemoveDuplicatesTest, MovesConfirmedCopiesButTheFirstShown) {
    const std::string big = Pattern(20000);
    const auto collide = CollidingPair();
    const struct {
        const char* what;
        std::function<void(const TempDir&)> setUp;
        std::vector<std::string> order;
        std::vector<std::string> after;
        std::string status;
    } cases[] = {
        {"three copies",
         [&](const TempDir& d) {
             for (const char* name : {"a", "b", "c"})
                 d.write(name, big);
         },
         {"a", "b", "c"},
         {"Duplicates", "Duplicates/b", "Duplicates/c", "a"},
         "2 dups Removed"},
        {"display order decides",
         [&](const TempDir& d) {
             for (const char* name : {"a", "b", "c"})
                 d.write(name, big);
         },
         {"c", "a", "b"},
         {"Duplicates", "Duplicates/a", "Duplicates/b", "c"},
         "2 dups Removed"},
        {"last byte differs",
         [&](const TempDir& d) {
             d.write("a", big);
             d.write("b", WithLastByte(big, 'x'));
         },
         {"a", "b"},
         {"a", "b"},
         "0 dups Removed"},
        {"empty files",
         [&](const TempDir& d) {
             d.write("a", "");
             d.write("b", "");
         },
         {"a", "b"},
         {"a", "b"},
         "0 dups Removed"},
        {"name taken in Duplicates",
         [&](const TempDir& d) {
             d.write("a.txt", "one");
             d.write("c.txt", "one");
             d.write("Duplicates/a.txt", "other");
         },
         {"c.txt", "a.txt", "Duplicates"},
         {"Duplicates", "Duplicates/a.txt", "Duplicates/a[1].txt", "c.txt"},
         "1 dups Removed"},
        {"colliding checksums",
         [&](const TempDir& d) {
             d.write("a", collide.first);
             d.write("b", collide.second);
             d.write("c", collide.second);
             d.write("d", collide.first);
         },
         {"a", "b", "c", "d"},
         {"Duplicates", "Duplicates/c", "Duplicates/d", "a", "b"},
         "2 dups Removed"},
        {"hard links are one file",
         [&](const TempDir& d) {
             d.write("a", big);
             std::filesystem::create_hard_link(d.file("a"), d.file("b"));
         },
         {"a", "b"},
         {"a", "b"},
         "0 dups Removed"},
        {"symbolic links take no part",
         [&](const TempDir& d) {
             d.write("b", big);
             d.write("c", big);
             std::filesystem::create_symlink("c", d.file("a"));
         },
         {"a", "b", "c"},
         {"Duplicates", "Duplicates/c", "a", "b"},
         "1 dups Removed"},
        {"folders and Duplicates are not searched",
         [&](const TempDir& d) {
             d.write("a", big);
             d.write("Duplicates/a", big);
             d.write("sub/a", big);
         },
         {"Duplicates", "a", "sub"},
         {"Duplicates", "Duplicates/a", "a", "sub", "sub/a"},
         "0 dups Removed"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        c.setUp(dir);
        CUndoGroup group;
        const RemoveDuplicatesResult result = RemoveDuplicates(dir.path(), c.order, &group);
        EXPECT_EQ(Entries(dir.path()), c.after) << c.what;
        EXPECT_EQ(RemoveDuplicatesStatus(result).english(), c.status) << c.what;
        EXPECT_EQ(group.count(), uint64_t(result.removed)) << c.what;
        EXPECT_EQ(group.moveBack({}), 0) << c.what;
        EXPECT_FALSE(PathExists(dir.file("Duplicates/b")) || PathExists(dir.file("Duplicates/c")))
            << c.what;
    }
}

TEST(RemoveDuplicatesTest, SizesBeyond4GiBAreNotTakenModulo) {
    TempDir dir;
    dir.write("a", "x");
    dir.write("b", "x");
    ASSERT_EQ(::truncate(dir.file("b").c_str(), (off_t(1) << 32) + 1), 0);
    CUndoGroup group;
    EXPECT_EQ(RemoveDuplicates(dir.path(), {"a", "b"}, &group).removed, 0);
}

TEST(RemoveDuplicatesTest, EscKeepsTheMovesOfTheSizesDone) {
    TempDir dir;
    for (const char* name : {"a", "b"})
        dir.write(name, "small");
    for (const char* name : {"c", "d"})
        dir.write(name, "larger");
    StepHook progress;
    CancelAfter cancel(0);
    RemoveDuplicatesOptions options;
    options.progress = &progress;
    options.cancel = &cancel;
    CUndoGroup group;
    const RemoveDuplicatesResult result =
        RemoveDuplicates(dir.path(), {"a", "b", "c", "d"}, &group, options);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(RemoveDuplicatesStatus(result).english(), "1 dups Removed");
    EXPECT_EQ(Entries(dir.path()),
              (std::vector<std::string>{"Duplicates", "Duplicates/b", "a", "c", "d"}));
    EXPECT_EQ(progress.range, 4u);
    EXPECT_EQ(progress.steps, 2);
}

// A file touched, replaced or removed between the listing and the move is left alone.
TEST(RemoveDuplicatesTest, FilesThatChangeDuringTheRunAreLeftAloneAndReported) {
    const struct {
        const char* what;
        std::function<void(const TempDir&)> change;
        std::vector<std::string> after;
        std::string status;
    } cases[] = {
        {"touched",
         [](const TempDir& d) {
             const timespec times[2] = {{1, 0}, {1, 0}};
             ::utimensat(AT_FDCWD, d.file("b").c_str(), times, 0);
         },
         {"Duplicates", "Duplicates/c", "a", "b"},
         "1 error(s) ocurred while remove (1 dups Removed)"},
        {"vanished",
         [](const TempDir& d) { std::filesystem::remove(d.file("b")); },
         {"Duplicates", "Duplicates/c", "a"},
         "1 error(s) ocurred while remove (1 dups Removed)"},
        {"the first replaced",
         [](const TempDir& d) {
             std::filesystem::remove(d.file("a"));
             d.write("a", "abcdef");
         },
         {"Duplicates", "Duplicates/c", "a", "b"},
         "1 error(s) ocurred while remove (1 dups Removed)"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        for (const char* name : {"a", "b", "c"})
            dir.write(name, "abcdef");
        StepHook progress;
        progress.onStep = [&](int step) {
            if (step == 3)
                c.change(dir);
        };
        RemoveDuplicatesOptions options;
        options.progress = &progress;
        std::vector<std::string> reported;
        options.onTrouble = [&](const std::string& name, DuplicateTrouble trouble) {
            EXPECT_EQ(trouble, DuplicateTrouble::Changed) << c.what;
            reported.push_back(name);
        };
        CUndoGroup group;
        const RemoveDuplicatesResult result =
            RemoveDuplicates(dir.path(), {"a", "b", "c"}, &group, options);
        EXPECT_EQ(Entries(dir.path()), c.after) << c.what;
        EXPECT_EQ(RemoveDuplicatesStatus(result).english(), c.status) << c.what;
        EXPECT_EQ(reported.size(), 1u) << c.what;
    }
}

} // namespace
} // namespace tressel
