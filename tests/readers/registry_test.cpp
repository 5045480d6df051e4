#include "platform/read_failure.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <vector>

namespace tressel {
namespace {

// Records every construction so the tests can see which readers were tried, in
// which order and with which Scan All flag.
struct Trace {
    std::vector<std::string> constructed;
};
Trace g_trace;

template <int Id> class TestReader : public CFileReader {
public:
    static inline const char* list = "";
    static inline bool acceptsContent = false;

    TestReader(const std::string& path, bool scanAll) : CFileReader(path) {
        g_trace.constructed.push_back(std::to_string(Id) + (scanAll ? "+" : "-"));
        if (!passesExtensionFilter(scanAll))
            return;
        setRecognized(acceptsContent);
    }
    const char* extensions() const override { return list; }
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_trace = {};
        TestReader<1>::list = "exe;dll";
        TestReader<2>::list = "rm;ra";
        TestReader<3>::list = "ogg";
        TestReader<1>::acceptsContent = TestReader<2>::acceptsContent =
            TestReader<3>::acceptsContent = false;
        table.firstPass = {&MakeReader<TestReader<1>>, &MakeReader<TestReader<2>>,
                           &MakeReader<TestReader<3>>};
        table.secondPass = {&MakeReader<TestReader<1>>, &MakeReader<TestReader<3>>,
                            &MakeReader<TestReader<2>>};
    }
    ReaderTable table;
};

TEST_F(RegistryTest, FirstAcceptingReaderIsReturnedAtOnce) {
    TestReader<2>::acceptsContent = true;
    TestReader<3>::acceptsContent = true;
    auto reader = CreateFileReader(table, "/sat/song.RA", false);
    EXPECT_TRUE(reader->isRecognized());
    EXPECT_EQ(reader->extensions(), TestReader<2>::list);
    EXPECT_EQ(g_trace.constructed, (std::vector<std::string>{"1-", "2-"}));
}

TEST_F(RegistryTest, ExtensionFilterKeepsOtherReadersFromLookingAtTheContent) {
    TestReader<1>::acceptsContent = true;
    auto reader = CreateFileReader(table, "/sat/setup.bin", false);
    EXPECT_FALSE(reader->isRecognized());
    // The last reader of the pass is what comes back when nobody accepted.
    EXPECT_EQ(reader->extensions(), TestReader<3>::list);
    EXPECT_EQ(g_trace.constructed, (std::vector<std::string>{"1-", "2-", "3-"}));
}

TEST_F(RegistryTest, ScanAllRunsASecondPassInItsOwnOrderWithoutTheFilter) {
    TestReader<1>::acceptsContent = true;
    auto reader = CreateFileReader(table, "/sat/setup.bin", true);
    EXPECT_TRUE(reader->isRecognized());
    EXPECT_EQ(reader->extensions(), TestReader<1>::list);
    EXPECT_EQ(g_trace.constructed, (std::vector<std::string>{"1-", "2-", "3-", "1+"}));
}

TEST_F(RegistryTest, ScanAllWithNoReaderAcceptingTriesEveryReaderTwice) {
    auto reader = CreateFileReader(table, "/sat/x.bin", true);
    EXPECT_FALSE(reader->isRecognized());
    EXPECT_EQ(reader->extensions(), TestReader<2>::list); // last of the second pass
    EXPECT_EQ(g_trace.constructed, (std::vector<std::string>{"1-", "2-", "3-", "1+", "3+", "2+"}));
}

TEST_F(RegistryTest, EmptyTableGivesAPlainUnrecognisingReader) {
    auto reader = CreateFileReader(ReaderTable{}, "/sat/x.exe", true);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(reader->isRecognized());
    EXPECT_EQ(reader->extract(9), 0);
}

// The answers once each, in trace order, the filtered-out ones left aside.
TEST(WhyNothingWasRead, SumsUpTheReadersThatLookedAtTheContent) {
    using failure::kExtensionFilteredOut, failure::kNotThisFormat;
    const struct {
        ReaderTrace trace;
        const char* why;
    } cases[] = {
        {{}, "no reader tried it"},
        {{{1, "EXE", false, kExtensionFilteredOut}},
         "no reader takes its extension (Scan All reads every file)"},
        {{{1, "EXE", false, kNotThisFormat},
          {1, "HTML", false, nullptr},
          {2, "EXE", false, kNotThisFormat},
          {2, "PDF", false, kExtensionFilteredOut}},
         "EXE: not this format; HTML: refused"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WhyNothingWasRead(c.trace).english(), c.why);
}

TEST(ExtensionFilter, IsASubstringTestOnTheWholeList) {
    const char* list = "exe;dll;ocx";
    EXPECT_TRUE(ExtensionPassesFilter("/a/setup.EXE", list));
    EXPECT_TRUE(ExtensionPassesFilter("/a/x.ex", list));  // part of "exe"
    EXPECT_TRUE(ExtensionPassesFilter("/a/x.e;d", list)); // spans two items
    EXPECT_TRUE(ExtensionPassesFilter("/a/data", list));  // no extension: every list
    EXPECT_TRUE(ExtensionPassesFilter("/a/name.", list)); // ends in a dot: same
    EXPECT_FALSE(ExtensionPassesFilter("/a/x.bin", list));
    EXPECT_FALSE(ExtensionPassesFilter("/a/x.exe", nullptr));
}

TEST(FirstMeaningfulLine, TakesTheFirstNonEmptyTrimmedLine) {
    EXPECT_EQ(FirstMeaningfulLine("\r\n  \r\n  Hello world \r\nsecond"), "Hello world");
    EXPECT_EQ(FirstMeaningfulLine(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(FirstMeaningfulLine(""), "");
    EXPECT_EQ(FirstMeaningfulLine("\t\v\f\n \n"), "");
}

TEST(FirstMeaningfulLine, StripNonAlnumCutsToTheWordSpan) {
    EXPECT_EQ(FirstMeaningfulLine("--== Title ==--", true), "Title");
    EXPECT_EQ(FirstMeaningfulLine("***", true), "");
    EXPECT_EQ(FirstMeaningfulLine("***\n** Next line! **", true), "Next line");
    EXPECT_EQ(FirstMeaningfulLine("--== \xC3\x9C"
                                  "ber ==--",
                                  true),
              "\xC3\x9C"
              "ber");
    std::string same = "  x \n";
    FirstMeaningfulLine(same, same, false);
    EXPECT_EQ(same, "x");
}

} // namespace
} // namespace tressel
