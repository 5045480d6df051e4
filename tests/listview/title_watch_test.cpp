#include "listview/title_watch.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

const std::vector<std::string> kHeaders = {"Name",
                                           "FileDescription (1)",
                                           "ProductName (2)",
                                           "OriginalFilename (3)",
                                           "InternalName (4)",
                                           "CompanyName (5)",
                                           "LegalCopyright (6)",
                                           "Comments (7)",
                                           "FileVersion (8)",
                                           "ProductVersion (9)"};

TEST(TitleWatch, FillsTheFirstEmptyCellAndSaysWhichColumn) {
    std::vector<std::string> cells = {"1A2B.exe", "Setup", "", "", "", "", "", "", "", ""};
    const TitleWatchStep step = ApplyWindowTitle(cells, "  Foo Setup 2.0\t", kHeaders);
    EXPECT_EQ(step.outcome, TitleWatchStep::Filled);
    EXPECT_EQ(step.column, 2);
    EXPECT_EQ(cells[2], "Foo Setup 2.0");
    EXPECT_EQ(step.status.english(), "ProductName (2) filled with \"Foo Setup 2.0\"");
    EXPECT_EQ(cells[0], "1A2B.exe");

    // The same title again changes nothing.
    const TitleWatchStep again = ApplyWindowTitle(cells, "Foo Setup 2.0", kHeaders);
    EXPECT_EQ(again.outcome, TitleWatchStep::AlreadyShown);
    EXPECT_EQ(cells[3], "");
}

TEST(TitleWatch, BlankTitlesAreIgnoredAndAFullRowEndsTheWatch) {
    std::vector<std::string> cells(10, "x");
    EXPECT_EQ(ApplyWindowTitle(cells, " \t ", kHeaders).outcome, TitleWatchStep::Ignored);
    EXPECT_EQ(ApplyWindowTitle(cells, "", kHeaders).outcome, TitleWatchStep::Ignored);
    const TitleWatchStep step = ApplyWindowTitle(cells, "Other", kHeaders);
    EXPECT_EQ(step.outcome, TitleWatchStep::RowFull);
    EXPECT_EQ(cells, std::vector<std::string>(10, "x"));
}

TEST(TitleWatch, ATitleEqualToALaterCellStopsAtTheFirstEmptyCellBeforeIt) {
    // The walk stops at the first empty cell: a title already in a later cell is
    // written again into the earlier gap.
    std::vector<std::string> cells = {"a.exe", "", "Tool", "", "", "", "", "", "", ""};
    const TitleWatchStep step = ApplyWindowTitle(cells, "Tool", kHeaders);
    EXPECT_EQ(step.outcome, TitleWatchStep::Filled);
    EXPECT_EQ(step.column, 1);
}

} // namespace
} // namespace tressel
