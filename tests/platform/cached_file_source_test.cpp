#include "platform/byte_source.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tressel {
namespace {

constexpr size_t kWindow = CachedFileSource::kWindowBytes;

// Bytes whose value tells their position, so a read from the wrong place shows.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// Whatever the file's size, every read gives what the file holds there: from the
// windows, across their edges, between them and past the end.
TEST(CachedFileSource, ReadsTheSameBytesAsTheFileAtEveryOffset) {
    test::TempDir dir;
    std::mt19937 random(7);
    for (const size_t size : {size_t{0}, size_t{1}, kWindow - 1, kWindow, kWindow + 1, 2 * kWindow,
                              2 * kWindow + 5, 5 * kWindow + 3}) {
        const std::string bytes = Pattern(size);
        const auto source = CachedFileSource::open(dir.write("f" + std::to_string(size), bytes));
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->size(), size);
        std::vector<std::pair<uint64_t, size_t>> reads = {
            {0, 16},   {0, kWindow},    {kWindow - 8, 16}, {size > 8 ? size - 8 : 0, 16},
            {size, 4}, {size + 100, 4}, {0, size + 10}};
        for (int i = 0; i < 200; ++i)
            reads.emplace_back(random() % (size + 2), random() % (kWindow + 50));
        for (const auto& [offset, n] : reads) {
            const std::string expected = offset < size ? bytes.substr(offset, n) : "";
            EXPECT_EQ(source->read(offset, n), expected) << size << " at " << offset << "+" << n;
        }
    }
}

TEST(CachedFileSource, RefusesWhatIsNotARegularFileAndSaysWhy) {
    test::TempDir dir;
    int error = 0;
    EXPECT_EQ(CachedFileSource::open(dir.path(), &error), nullptr);
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(CachedFileSource::open(dir.file("missing"), &error), nullptr);
    EXPECT_EQ(error, ENOENT);
}

} // namespace
} // namespace tressel
