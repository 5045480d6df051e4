#include "cli_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace tressel::cli {
namespace {

class DupsCliTest : public CliTest {
protected:
    std::string listing() const { return sat.listing(true); }
};

// The dry run prints what the real run then does; undo takes it all back.
TEST_F(DupsCliTest, DryRunRealRunAndUndoAgree) {
    for (const char* name : {"c.bin", "a.bin", "b.bin"})
        sat.write(name, "same bytes");
    sat.write("d.bin", "same byteZ");
    sat.write("Duplicates/b.bin", "someone else's");
    sat.write("e.txt", "");
    sat.write("f.txt", "");
    const std::string before = listing();
    const std::string expected = "b.bin -> Duplicates/b[1].bin (copy of a.bin)\n"
                                 "c.bin -> Duplicates/c.bin (copy of a.bin)\n"
                                 "2 dups Removed\n";

    EXPECT_EQ(tressel({"dups", "--dry-run", sat.path()}), 0) << err.str();
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(tressel({"undo", sat.path()}), 1); // a dry run leaves nothing to undo

    EXPECT_EQ(tressel({"dups", sat.path()}), 0) << err.str();
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(listing(), "Duplicates;Duplicates/b.bin;Duplicates/b[1].bin;Duplicates/c.bin;"
                         "a.bin;d.bin;e.txt;f.txt;");
    EXPECT_EQ(tressel({"dups", sat.path()}), 0);
    EXPECT_EQ(out.str(), "0 dups Removed\n");

    EXPECT_EQ(tressel({"undo", sat.path()}), 0) << err.str();
    EXPECT_EQ(listing(), before);
}

TEST_F(DupsCliTest, NoMoveWithoutAJournalToRecordIt) {
    sat.write("a", "same");
    sat.write("b", "same");
    setenv("XDG_STATE_HOME", sat.write("state", "not a folder").c_str(), 1);
    EXPECT_EQ(tressel({"dups", sat.path()}), 1);
    EXPECT_EQ(out.str().rfind("0 dups Removed. ", 0), 0u) << out.str();
    EXPECT_EQ(listing(), "a;b;state;");
    EXPECT_EQ(tressel({"dups", "--dry-run", sat.path()}), 0) << "a dry run needs no journal";
    EXPECT_EQ(out.str(), "b -> Duplicates/b (copy of a)\n1 dups Removed\n");
}

TEST_F(DupsCliTest, WrongUsageAndMissingFolder) {
    EXPECT_EQ(tressel({"dups"}), 2);
    EXPECT_EQ(tressel({"dups", "--force", sat.path()}), 2);
    EXPECT_EQ(tressel({"dups", sat.path(), sat.path()}), 2);
    EXPECT_EQ(tressel({"dups", sat.file("missing")}), 1);
    EXPECT_NE(err.str().find("folder cannot be read"), std::string::npos);
}

} // namespace
} // namespace tressel::cli
