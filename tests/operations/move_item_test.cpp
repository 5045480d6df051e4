#include "operations/move_item.h"
#include "operations/undo.h"
#include "platform/text.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace tressel {
namespace {

using test::PathExists;
using test::ReadWholeFile;
using test::TempDir;

std::string Sanitised(std::string text) {
    SanitiseName(text);
    return text;
}

TEST(SanitiseName, ReplacesLeadingDotForbiddenAndControlCharacters) {
    const struct {
        std::string in, want;
    } cases[] = {
        {"", ""},
        {".profile", "_profile"},
        {"a.b.c", "a.b.c"},
        {"Setup: v1/2 \"best\" <x>|y*?\\z\tend", "Setup_ v1_2 _best_ _x__y___z_end"},
        {"Über Café", "Über Café"},
        // C0 controls and DEL, NUL included.
        {std::string("a\0b\x01"
                     "c\x1b[0m\n\r\x1f\x7f",
                     13),
         "a_b_c_[0m____"},
        // C1 controls are the code points U+0080-U+009F: two bytes, one '_'.
        {"x\xC2\x80y\xC2\x9Fz", "x_y_z"},
        // U+00A0 and letters whose UTF-8 holds bytes 0x80-0x9F stay: "Å" is C3 85.
        {"\xC2\xA0\xC3\x85\xE2\x80\x9C", "\xC2\xA0\xC3\x85\xE2\x80\x9C"},
        // Names that are not UTF-8 keep their bytes: a lone 0x85 is no character.
        {"\xE9t\xE9\x85\xC2", "\xE9t\xE9\x85\xC2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sanitised(c.in), c.want) << ToHex(c.in);
}

class MoveItemTest : public ::testing::Test {
protected:
    // Moves dir/name to dir/target and returns the path used ("" when it failed).
    std::string Move(const std::string& name, const std::string& target,
                     CUndoGroup* group = nullptr) {
        std::string path = m_dir.file(target);
        return MoveItem(m_dir.file(name), path, group) ? path : std::string();
    }

    TempDir m_dir;
};

TEST_F(MoveItemTest, ClashingNamesAreNumberedAndNeverOverwritten) {
    m_dir.write("report.txt", "existing");
    m_dir.write("a.txt", "a");
    m_dir.write("b.txt", "b");

    EXPECT_EQ(Move("a.txt", "report.txt"), m_dir.file("report[1].txt"));
    EXPECT_EQ(Move("b.txt", "report.txt"), m_dir.file("report[2].txt"));
    EXPECT_EQ(ReadWholeFile(m_dir.file("report.txt")), "existing");
    EXPECT_EQ(ReadWholeFile(m_dir.file("report[1].txt")), "a");
    EXPECT_EQ(ReadWholeFile(m_dir.file("report[2].txt")), "b");
}

TEST_F(MoveItemTest, CounterInTheTargetStemIsContinued) {
    m_dir.write("report[4].txt", "four");
    m_dir.write("x[0].txt", "zero");
    m_dir.write("c.txt", "c");
    m_dir.write("d.txt", "d");
    m_dir.write("e.txt", "e");

    EXPECT_EQ(Move("c.txt", "report[4].txt"), m_dir.file("report[5].txt"));
    // [0] is not a counter: the whole stem stays.
    EXPECT_EQ(Move("d.txt", "x[0].txt"), m_dir.file("x[0][1].txt"));
    // A "]" before the last "[" means no counter either.
    m_dir.write("a]b[3.txt", "");
    EXPECT_EQ(Move("e.txt", "a]b[3.txt"), m_dir.file("a]b[3[1].txt"));
    EXPECT_EQ(ReadWholeFile(m_dir.file("report[4].txt")), "four");
}

TEST_F(MoveItemTest, FolderCarryingACounterIsNeverChanged) {
    m_dir.write("sat[2]/x.txt", "there");
    m_dir.write("x.txt", "here");
    EXPECT_EQ(Move("x.txt", "sat[2]/x.txt"), m_dir.file("sat[2]/x[1].txt"));
    EXPECT_FALSE(PathExists(m_dir.file("sat[3]")));
    EXPECT_EQ(ReadWholeFile(m_dir.file("sat[2]/x.txt")), "there");
}

TEST_F(MoveItemTest, MissingTargetFolderIsCreatedOneLevelOnly) {
    m_dir.write("a.zip", "zip");
    m_dir.write("b.zip", "zip");
    EXPECT_EQ(Move("a.zip", "New/x.zip"), m_dir.file("New/x.zip"));
    EXPECT_EQ(Move("b.zip", "Deep/er/x.zip"), "");
    EXPECT_FALSE(PathExists(m_dir.file("Deep")));
    EXPECT_EQ(ReadWholeFile(m_dir.file("b.zip")), "zip");
}

TEST_F(MoveItemTest, TargetNameIsCleaned) {
    m_dir.write("a", "");
    m_dir.write("b", "");
    EXPECT_EQ(Move("a", ".hidden"), m_dir.file("_hidden"));
    EXPECT_EQ(Move("b", "What? Now: it*s.exe"), m_dir.file("What_ Now_ it_s.exe"));
}

TEST_F(MoveItemTest, OverlongNameIsCutAtACharacterKeepingItsExtension) {
    m_dir.write("a", "a");
    m_dir.write("b", "b");
    std::string stem;
    for (int i = 0; i < 200; ++i)
        stem += "\xC3\xA9"; // 400 bytes of é
    const std::string first = Move("a", stem + ".txt");
    ASSERT_FALSE(first.empty());
    const std::string name = first.substr(m_dir.path().size());
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(name.ends_with(".txt"));
    EXPECT_TRUE(IsValidUtf8(name));

    // The clash number still fits.
    const std::string second = Move("b", stem + ".txt");
    ASSERT_FALSE(second.empty());
    const std::string numbered = second.substr(m_dir.path().size());
    EXPECT_LE(numbered.size(), 255u);
    EXPECT_TRUE(numbered.ends_with("[1].txt")) << numbered;
    EXPECT_TRUE(IsValidUtf8(numbered));
}

TEST_F(MoveItemTest, GroupGetsOneEntryPerSuccessfulMove) {
    m_dir.write("report.txt", "existing");
    m_dir.write("a.txt", "a");
    CUndoGroup group;
    EXPECT_EQ(Move("a.txt", "report.txt", &group), m_dir.file("report[1].txt"));
    EXPECT_EQ(Move("missing.txt", "other.txt", &group), "");
    ASSERT_EQ(group.count(), 1u);
    EXPECT_EQ(group.entries().front().newPath, m_dir.file("report[1].txt"));
    EXPECT_EQ(group.entries().front().oldPath, m_dir.file("a.txt"));
}

TEST_F(MoveItemTest, RenamingToItsOwnNameSucceedsInPlaceAndRecordsNothing) {
    m_dir.write("same.txt", "same");
    CUndoGroup group;
    EXPECT_EQ(Move("same.txt", "same.txt", &group), m_dir.file("same.txt"));
    EXPECT_EQ(ReadWholeFile(m_dir.file("same.txt")), "same");
    m_dir.write("_profile", "");
    EXPECT_EQ(Move("_profile", ".profile", &group), m_dir.file("_profile")); // cleaned to itself
    EXPECT_TRUE(group.empty());
}

TEST_F(MoveItemTest, CaseOnlyClashWithAnotherEntryIsNumbered) {
    m_dir.write("README.mp3", "mine");
    m_dir.write("readme.mp3", "another file");
    if (ReadWholeFile(m_dir.file("README.mp3")) != "mine")
        GTEST_SKIP() << "the temporary folder ignores letter case";
    EXPECT_EQ(Move("README.mp3", "readme.mp3"), m_dir.file("readme[1].mp3"));
    EXPECT_EQ(ReadWholeFile(m_dir.file("readme.mp3")), "another file");
    EXPECT_EQ(ReadWholeFile(m_dir.file("readme[1].mp3")), "mine");
    // A hard link under another name is another entry, though the file is the same.
    m_dir.write("a.mp3", "linked");
    ASSERT_EQ(::link(m_dir.file("a.mp3").c_str(), m_dir.file("Song.mp3").c_str()), 0);
    EXPECT_EQ(Move("a.mp3", "Song.mp3"), m_dir.file("Song[1].mp3"));
}

TEST_F(MoveItemTest, NonUtf8NameIsKeptByteForByte) {
    const std::string odd = "\xE9t\xE9\x85.mp3";
    m_dir.write("a", "song");
    EXPECT_EQ(Move("a", odd), m_dir.file(odd));
    EXPECT_EQ(ReadWholeFile(m_dir.file(odd)), "song");
}

} // namespace
} // namespace tressel
