#include "platform/folder_listing.h"
#include "platform/text.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {
namespace {

std::vector<std::string> InNameOrder(const std::vector<std::string>& names) {
    std::vector<std::string> sorted;
    for (size_t at :
         NameOrder(names.size(), [&](size_t i) -> std::string_view { return names[i]; }))
        sorted.push_back(names[at]);
    return sorted;
}

TEST(NameOrder, FoldsAsciiCaseThenOrdersByBytes) {
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{}, {}},
        {{"b", "A", "a", "B"}, {"A", "a", "B", "b"}},
        // '_' lies between the upper and lower case letters: folded to lower case, it
        // comes before them.
        {{"a", "_", "Z"}, {"_", "a", "Z"}},
        {{"abcdefgh2", "ABCDEFGH1", "abcdefgh", "abcdefg"},
         {"abcdefg", "abcdefgh", "ABCDEFGH1", "abcdefgh2"}},
        {{"IMG_00010.jpg", "img_00002.JPG", "IMG_00002.jpg"},
         {"IMG_00002.jpg", "img_00002.JPG", "IMG_00010.jpg"}},
        {{"\xC3\xA9t\xC3\xA9", "zebra", "\xC3\x89T\xC3\x89"},
         {"zebra", "\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"}},
    };
    for (const auto& [names, expected] : cases)
        EXPECT_EQ(InNameOrder(names), expected);
}

// Random names from few bytes, so that prefixes, case and lengths tie often: the order
// is the one the plain comparison gives.
TEST(NameOrder, AgreesWithTheComparisonThatFoldsOnEveryCall) {
    std::mt19937 random(3);
    const std::string alphabet = "aAbB_.~0\xC3";
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) {
        std::string name(random() % 20, ' ');
        for (char& c : name)
            c = alphabet[random() % alphabet.size()];
        names.push_back(name);
    }
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        const int c = CompareNoCase(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    EXPECT_EQ(InNameOrder(names), expected);
}

TEST(ArrangeInOrder, PutsEveryItemWhereTheOrderSaysWithoutLosingAny) {
    std::mt19937 random(5);
    for (size_t n : {0, 1, 2, 5, 1000}) {
        std::vector<size_t> order(n);
        std::iota(order.begin(), order.end(), size_t{0});
        std::shuffle(order.begin(), order.end(), random);
        std::vector<std::string> items;
        for (size_t i = 0; i < n; ++i)
            items.push_back("item " + std::to_string(i));
        const std::vector<std::string> before = items;
        ArrangeInOrder(items, order);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(items[i], before[order[i]]);
    }
}

TEST(ReadFolderEntries, TellsFoldersFromFilesAndStatsOnlyWhatTheDirectoryLeavesOpen) {
    test::TempDir dir;
    dir.write("file.txt", "12345");
    dir.mkdir("sub");
    std::filesystem::create_directory_symlink(dir.file("sub"), dir.file("to-sub"));
    std::filesystem::create_symlink(dir.file("file.txt"), dir.file("to-file"));
    std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling"));
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);

    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const auto first = ReadFolderEntries(fd);
    const auto again = ReadFolderEntries(fd); // the descriptor's position is not moved
    ::close(fd);
    ASSERT_TRUE(first && again);
    ASSERT_EQ(first->size(), again->size());
    struct Kind {
        bool folder;
        bool statted;
        uint64_t size;
    };
    std::map<std::string, Kind> kinds;
    for (const FolderEntry& entry : *first)
        kinds[entry.name] = {entry.folder, entry.statted, entry.size};
    const std::map<std::string, std::tuple<bool, bool, int64_t>> expected = {
        {"file.txt", {false, false, 0}}, // size left for later: the directory told the kind
        {"sub", {true, false, 0}},       {"to-sub", {true, true, 0}}, {"to-file", {false, true, 5}},
        {"dangling", {false, true, -1}}, {"pipe", {false, true, -1}},
    };
    ASSERT_EQ(kinds.size(), expected.size());
    for (const auto& [name, want] : expected) {
        const Kind& got = kinds[name];
        EXPECT_EQ(std::tie(got.folder, got.statted), std::tie(std::get<0>(want), std::get<1>(want)))
            << name;
        if (std::get<2>(want) >= 0) {
            EXPECT_EQ(got.size, static_cast<uint64_t>(std::get<2>(want))) << name;
        }
    }
    EXPECT_FALSE(ReadFolderEntries(-1));
}

} // namespace
} // namespace tressel
