#include "cli_fixture.h"
#include "media_builders.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace tressel::cli {
namespace {

// tressel rename and tressel undo run as a user runs them, on real executables whose
// FileDescription (1) is "Orbit Tracker" and ProductName (2) "Orbit Suite".
class RenameCliTest : public CliTest {
protected:
    void SetUp() override {
        exe = test::ReadWholeFile(test::SourcePath("tests/fixtures/exe/us_english.exe"));
        ASSERT_FALSE(exe.empty());
    }
    std::string listing() const { return sat.listing(false); }

    std::string exe;
};

TEST_F(RenameCliTest, RenamesNumbersClashesAndUndoTakesItBack) {
    sat.write("0A1B.exe", exe);
    sat.write("0A1C.exe", exe);
    sat.write("Orbit Tracker.exe", "someone else's file");
    sat.mkdir("sub");
    EXPECT_EQ(tressel({"rename", "--column", "1", sat.path()}), 0) << err.str();
    EXPECT_EQ(out.str(), "0A1B.exe -> Orbit Tracker[1].exe\n"
                         "0A1C.exe -> Orbit Tracker[2].exe\n"
                         "2 Renamed, Selected Unchanged\n");
    EXPECT_EQ(test::ReadWholeFile(sat.file("Orbit Tracker.exe")), "someone else's file");
    EXPECT_EQ(listing(), "Orbit Tracker.exe;Orbit Tracker[1].exe;Orbit Tracker[2].exe;sub;");

    EXPECT_EQ(tressel({"undo", sat.path()}), 0) << err.str();
    EXPECT_EQ(listing(), "0A1B.exe;0A1C.exe;Orbit Tracker.exe;sub;");
}

TEST_F(RenameCliTest, NamedFilesOnlyWithAppendMode) {
    sat.write("0A1B.exe", exe);
    sat.write("0A1C.exe", exe);
    EXPECT_EQ(tressel({"rename", "--column=2", "--append", sat.path(), "0A1C.exe"}), 0);
    EXPECT_EQ(out.str(), "0A1C.exe -> 0A1C_Orbit Suite.exe\n1 Renamed\n");
    EXPECT_EQ(listing(), "0A1B.exe;0A1C_Orbit Suite.exe;");
}

TEST_F(RenameCliTest, DryRunChangesNothingAndWritesNoJournal) {
    sat.write("0A1B.exe", exe);
    EXPECT_EQ(tressel({"rename", "--column", "1", "--dry-run", sat.path()}), 0);
    EXPECT_EQ(out.str(), "0A1B.exe -> Orbit Tracker.exe\n1 Renamed\n");
    EXPECT_EQ(listing(), "0A1B.exe;");
    EXPECT_EQ(tressel({"undo", sat.path()}), 1); // nothing to undo
}

TEST_F(RenameCliTest, CaseOnlyClashIsNumberedAlikeInDryAndRealRuns) {
    sat.write("ORBIT TRACKER.exe", exe);
    sat.write("Orbit Tracker.exe", "someone else's file");
    const std::string expected = "ORBIT TRACKER.exe -> Orbit Tracker[1].exe\n1 Renamed\n";
    EXPECT_EQ(tressel({"rename", "--column", "1", "--dry-run", sat.path(), "ORBIT TRACKER.exe"}), 0)
        << err.str();
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(listing(), "ORBIT TRACKER.exe;Orbit Tracker.exe;");
    EXPECT_EQ(tressel({"rename", "--column", "1", sat.path(), "ORBIT TRACKER.exe"}), 0)
        << err.str();
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(listing(), "Orbit Tracker.exe;Orbit Tracker[1].exe;");
    EXPECT_EQ(test::ReadWholeFile(sat.file("Orbit Tracker.exe")), "someone else's file");
}

TEST_F(RenameCliTest, ControlCharactersOfATagNeitherNameTheFileNorReachTheTerminal) {
    sat.write("0A1B.avi", test::AviFile(test::StreamList(test::StreamHeader("vids", 1, 25, 0)),
                                        test::InfoList({{"INAM", "Bell\x07 \x1b[2JSong"}})));
    const std::string name = "Bell_ _[2JSong.avi";
    EXPECT_EQ(tressel({"rename", "--column", "1", sat.path()}), 0) << err.str();
    EXPECT_EQ(out.str(), "0A1B.avi -> " + name + "\n1 Renamed\n");
    EXPECT_EQ(listing(), name + ";");
    // A file already carrying such a name is shown escaped.
    const std::string odd = "x\x1b[2J.avi";
    ::rename(sat.file(name).c_str(), sat.file(odd).c_str());
    EXPECT_EQ(tressel({"rename", "--column", "1", "--dry-run", sat.path()}), 0);
    EXPECT_EQ(out.str(), "x\\x1b[2J.avi -> " + name + "\n1 Renamed\n");
}

TEST_F(RenameCliTest, AnAppendThatLeavesTheNameAsItIsIsNeitherCountedNorJournaled) {
    const std::string longest = std::string(251, 'x') + ".exe";
    sat.write(longest, exe);
    EXPECT_EQ(tressel({"rename", "--column", "1", "--append", sat.path()}), 0) << err.str();
    EXPECT_EQ(out.str(), "0 Renamed, Selected Unchanged\n");
    EXPECT_EQ(tressel({"undo", "--dry-run", sat.path()}), 1) << out.str();
    EXPECT_NE(err.str().find("nothing to undo"), std::string::npos);
}

TEST_F(RenameCliTest, UsageErrorsAndUnknownNames) {
    sat.write("0A1B.exe", exe);
    EXPECT_EQ(tressel({"rename", sat.path()}), 2);
    EXPECT_NE(err.str().find("--column"), std::string::npos);
    EXPECT_EQ(tressel({"rename", "--column", "10", sat.path()}), 2);
    EXPECT_EQ(tressel({"rename", "--column", "1"}), 2);
    EXPECT_EQ(tressel({"rename", "--column", "1", sat.file("missing")}), 1);
    EXPECT_EQ(tressel({"rename", "--column", "1", sat.path(), "nothere.exe", "0A1B.exe"}), 1);
    EXPECT_NE(err.str().find("nothere.exe"), std::string::npos);
    EXPECT_EQ(listing(), "Orbit Tracker.exe;"); // the named file that exists was renamed
    EXPECT_EQ(tressel({"rename", "--help"}), 0);
    EXPECT_NE(out.str().find("tressel undo"), std::string::npos);
}

} // namespace
} // namespace tressel::cli
