#include "isolated_scratch.h"
#include "readers/archive_reader.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <unistd.h>

namespace tressel {
namespace {

using Values = std::vector<std::string>;

// An archive whose members are held in memory; extractMember writes them as the real
// readers do, bounded by the member's stated size.
class FakeArchive final : public CArchiveReader {
public:
    void add(std::string name, std::string bytes, uint64_t statedSize = UINT64_MAX) {
        const uint64_t size = statedSize == UINT64_MAX ? bytes.size() : statedSize;
        m_bytes[entries().size()] = std::move(bytes);
        addEntry(std::move(name), size);
    }
    std::string extractMember(const CArchiveEntry& entry, const CTempFileItem& scratch) override {
        extracted.push_back(entry.name);
        BoundedMemberWriter writer(scratch.createMember(entry.name), ExtractionLimit(entry));
        if (!writer.isOpen())
            return {};
        writer.write(m_bytes[entry.index].data(), m_bytes[entry.index].size());
        writer.close();
        scratchDirectory = scratch.path();
        if (cutShort)
            return {}; // as a reader does when the member's data turns out damaged
        scratchPaths.push_back(scratch.memberPath(entry.name));
        return scratchPaths.back();
    }
    Values select(int maxValues, bool preview = false) {
        ReadResult result;
        selectTitles(maxValues, preview, result);
        labels = result.labels;
        previewText = result.preview;
        return result.values;
    }

    Values extracted, labels, scratchPaths;
    std::string previewText, scratchDirectory;
    bool cutShort = false;

private:
    std::map<size_t, std::string> m_bytes;
};

TEST(ArchiveTitles, TitleLineOfAReadme) {
    const std::string longLine = std::string(139, 'x') + "yz\n";
    const std::map<std::string, std::string> cases = {
        {"abc", "abc"},
        {"abc\n", ""}, // the empty read at the end of the text is the last line
        {"--------\r\n  ** Great Game 2 **  \r\nmore\r\n", "Great Game 2"},
        {"\n\n!!\n  Hi there!\n", "Hi there"},
        {"--== \xC3\x9C"
         "ber ==--\n",
         "\xC3\x9C"
         "ber"},
        {longLine, std::string(139, 'x')},
        {"ab\ncd", "cd"},
        {"", ""},
    };
    for (const auto& [text, title] : cases)
        EXPECT_EQ(TitleLineOf(text), title) << text;
}

TEST(ArchiveTitles, IniValuesFollowProfileOrderAndLimits) {
    const std::string ini = "Orphan=Before any section\n"
                            "[Strings]\n"
                            "DisplayName = \"Some Tool\"\n"
                            "AppName=Other Tool\n"
                            "; Name=commented out\n"
                            "[Setup]\n"
                            "NAME=Third\n"
                            "Name2=Fourth\n"
                            "Empty=\n";
    EXPECT_EQ(IniValuesOf(ini, "name", 3), (Values{"Some Tool", "Other Tool", "Third"}));
    EXPECT_EQ(IniValuesOf(ini, "Title", 3), Values{});
    EXPECT_EQ(IniValuesOf("[a]\nTitle=" + std::string(300, 'v'), "title", 3),
              Values{std::string(254, 'v')});
    // Section names beyond the 1000-byte list are not seen.
    std::string many;
    for (int i = 0; i < 120; ++i)
        many += "[section" + std::to_string(1000 + i) + "]\nname=v" + std::to_string(i) + "\n";
    const Values found = IniValuesOf(many, "name", 1000);
    EXPECT_EQ(found.size(), 999u / 12u);
}

TEST(ArchiveTitles, ValueOrderAndTheHalfRule) {
    FakeArchive archive;
    archive.oemNames = false;
    archive.comment = "\r\n  --- Comment line ---\r\n";
    archive.add("a.nfo", "Other one\n");
    archive.add("readme.txt", "Readme Title\n");
    archive.add("b.nfo", "Other two\n");
    archive.add("c.nfo", "Other three\n");
    for (int i = 0; i < 10; ++i)
        archive.add("file" + std::to_string(i) + ".bin", "x");
    EXPECT_EQ(archive.select(9), (Values{"Comment line", "Readme Title", "Other one", "Other two",
                                         "a.nfo", "readme.txt", "b.nfo", "c.nfo", "file0.bin"}));
    EXPECT_EQ(archive.labels[0], "Comment");
    EXPECT_EQ(archive.labels[1], "Readme title");
    EXPECT_EQ(archive.labels[4], "Member");
}

TEST(ArchiveTitles, SetupTitlesComeFirstAndNamesAreTriedBeforeTitles) {
    FakeArchive archive;
    archive.add("Docs/README", "Docs Readme\n");
    archive.add("file_id.diz", "Diz Title\n");
    archive.add("setup.inf", "[Strings]\nDisplayName=Some Tool\n");
    archive.add("other.ini", "[x]\nTitle=Demo Disk\n");
    archive.add("ab.ini", "[x]\nTitle=ab\n"); // two characters: no title
    EXPECT_EQ(archive.select(9),
              (Values{"Some Tool", "Demo Disk", "Docs Readme", "Diz Title", "Docs/README",
                      "file_id.diz", "setup.inf", "other.ini", "ab.ini"}));
    EXPECT_EQ(archive.extracted.size(), 5u);
    for (const std::string& path : archive.scratchPaths)
        EXPECT_FALSE(test::PathExists(path)) << path;
}

TEST(ArchiveTitles, SizeAndSolidLimitsAndFiveExtractions) {
    FakeArchive archive;
    archive.add("big.txt", "Too Big\n", kMaxTitleMemberSize + 1);
    archive.add("edge.txt", "Edge Title\n", kMaxTitleMemberSize);
    archive.select(9);
    EXPECT_EQ(archive.extracted, Values{"edge.txt"});

    FakeArchive solid;
    solid.solid = true;
    solid.add("pad", "", kMaxSolidTitleOffset);
    solid.add("at.txt", "At limit\n"); // starts at exactly 4 MiB
    solid.add("past.txt", "Past\n");   // starts one byte later
    EXPECT_EQ(solid.select(2), (Values{"At limit", "pad"}));
    EXPECT_EQ(solid.extracted, Values{"at.txt"});

    FakeArchive many;
    for (int i = 0; i < 8; ++i)
        many.add("n" + std::to_string(i) + ".txt", "--\n");
    many.select(9);
    EXPECT_EQ(many.extracted.size(), 5u);
}

TEST(ArchiveTitles, NoDescriptiveMembersGiveNamesOnlyAndOemNamesAreConverted) {
    FakeArchive archive;
    archive.add("a\x81.bin", "x");
    archive.add("b.bin", "x");
    archive.add("c.bin", "x");
    EXPECT_EQ(archive.select(2, true), (Values{"a\xC3\xBC.bin", "b.bin"}));
    EXPECT_EQ(archive.previewText, "");
    EXPECT_TRUE(archive.extracted.empty());
}

TEST(ArchiveTitles, PreviewHoldsCommentAndMembersWithNulShownAsUnderscore) {
    FakeArchive archive;
    archive.oemNames = false;
    archive.comment = "Nice comment";
    archive.add("notes.nfo", "Notes\n");
    archive.add("readme.txt", std::string("Read\0me\n", 8));
    archive.add("long.diz", "Diz\n" + std::string(kMaxPreviewMemberBytes, 'z'));
    archive.select(9, true);
    const std::string banner = "\r\n" + std::string(36, '|') + "__";
    const std::string tail = "__" + std::string(35, '|') + "\r\n\r\n";
    EXPECT_EQ(archive.previewText, "Nice comment\r\n" + banner + "readme.txt" + tail + "Read_me\n" +
                                       banner + "long.diz" + tail + "Diz\n" +
                                       std::string(kMaxPreviewMemberBytes - 4, 'z') +
                                       "\r\n\r\nTressel Renamer truncated this file" + banner +
                                       "notes.nfo" + tail + "Notes\n");
}

TEST(ArchiveTitles, HostileNamesStayInTheScratchDirectory) {
    test::TempDir outside;
    FakeArchive archive;
    for (const char* name : {"../x.txt", "/etc/x.txt", "..", "sub/..", "a\\..\\..\\y.txt"})
        archive.add(name, "Escaped\n");
    archive.select(9);
    for (const std::string& path : archive.scratchPaths) {
        EXPECT_EQ(path.find("/.."), std::string::npos) << path;
        EXPECT_EQ(path.rfind("/etc/", 0), std::string::npos) << path;
    }
    EXPECT_FALSE(test::PathExists("/etc/x.txt"));
}

TEST(ArchiveTitles, ArchivesReadInTurnShareOneScratchDirectoryLeftEmpty) {
    const test::IsolatedScratch isolated;
    FakeArchive damaged;
    damaged.cutShort = true;
    damaged.add("readme.txt", "Half a Title\n");
    EXPECT_EQ(damaged.select(9), Values{"readme.txt"});
    FakeArchive whole;
    whole.add("docs/readme.txt", "Whole Title\n");
    EXPECT_EQ(whole.select(9), (Values{"Whole Title", "docs/readme.txt"}));
    EXPECT_EQ(whole.scratchDirectory, damaged.scratchDirectory);
    EXPECT_TRUE(test::PathExists(whole.scratchDirectory));
    EXPECT_EQ(isolated.entriesLeft(), 0u);
}

TEST(ArchiveTitles, ListingIsBounded) {
    FakeArchive archive;
    for (size_t i = 0; i < kMaxListedMembers; ++i)
        ASSERT_TRUE(archive.addEntry("m", 0));
    EXPECT_FALSE(archive.addEntry("one too many", 0));
    EXPECT_EQ(archive.entries().size(), kMaxListedMembers);
}

} // namespace
} // namespace tressel
