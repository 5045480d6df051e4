#include "cli_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tressel::cli {
namespace {

class GroupCliTest : public CliTest {
protected:
    std::string listing() const { return sat.listing(true); }

    // The dry run prints what the real run then prints and does; undo takes it back.
    void expectDryRunRealRunAndUndoAgree(const std::vector<std::string>& command,
                                         const std::string& expected, const std::string& after) {
        const std::string before = test::FolderSnapshot(sat.path());
        const std::string beforeListing = listing();
        std::vector<std::string> dry = command;
        dry.insert(dry.begin() + 1, "--dry-run");
        dry.push_back(sat.path());
        EXPECT_EQ(tressel(dry), 0) << err.str();
        EXPECT_EQ(out.str(), expected);
        EXPECT_EQ(listing(), beforeListing);

        std::vector<std::string> real = command;
        real.push_back(sat.path());
        EXPECT_EQ(tressel(real), 0) << err.str();
        EXPECT_EQ(out.str(), expected);
        EXPECT_EQ(listing(), after);

        EXPECT_EQ(tressel({"undo", sat.path()}), 0) << err.str();
        EXPECT_EQ(test::FolderSnapshot(sat.path()), before);
    }
};

TEST_F(GroupCliTest, ByExtension) {
    for (const char* name :
         {"a.exe", "b.exe", "c.txt", "d.txt", "x.ZIP", "y.zip", "e.pdf", "noext"})
        sat.write(name, name);
    sat.write("txt/c.txt", "already there");
    sat.mkdir("Pdf");
    expectDryRunRealRunAndUndoAgree({"group", "--by", "ext"},
                                    "a.exe -> exe/a.exe\n"
                                    "b.exe -> exe/b.exe\n"
                                    "e.pdf -> Pdf/e.pdf\n"
                                    "c.txt -> txt/c[1].txt\n"
                                    "d.txt -> txt/d.txt\n"
                                    "x.ZIP -> ZIP/x.ZIP\n"
                                    "y.zip -> ZIP/y.zip\n"
                                    "Successfully Grouped 7 File(s)\n",
                                    "Pdf;Pdf/e.pdf;ZIP;ZIP/x.ZIP;ZIP/y.zip;exe;exe/a.exe;exe/b.exe;"
                                    "noext;txt;txt/c.txt;txt/c[1].txt;txt/d.txt;");
}

TEST_F(GroupCliTest, ByTypeNamesTheFolderAfterTheTypeInThePlural) {
    for (const char* name : {"a.zip", "b.zip", "c.pdf"})
        sat.write(name, name);
    EXPECT_EQ(tressel({"group", "--dry-run", "--by=type", sat.path()}), 0) << err.str();
    EXPECT_NE(out.str().find("a.zip -> "), std::string::npos) << out.str();
    const std::string folder = out.str().substr(9, out.str().find('/') - 9);
    EXPECT_EQ(folder.back(), 's') << folder;
    EXPECT_EQ(out.str(), "a.zip -> " + folder + "/a.zip\nb.zip -> " + folder +
                             "/b.zip\nSuccessfully Grouped 2 File(s)\n");
}

TEST_F(GroupCliTest, ByColumnReadsTheColumnAndAFailedMoveIsAnError) {
    sat.write("a.html", "<html><title>Radio: Tressel?</title></html>");
    sat.write("b.html", "<html><title>radio: tressel?</title></html>");
    sat.write("c.html", "<html><title>Weather</title></html>");
    sat.write("d.html", "<html><title>Weather</title></html>");
    sat.write("Weather", "a file where the folder would go");
    EXPECT_EQ(tressel({"group", "--by", "column", "1", sat.path()}), 1);
    EXPECT_EQ(out.str(), "a.html -> Radio_ Tressel_/a.html\n"
                         "b.html -> Radio_ Tressel_/b.html\n"
                         "2 error(s) ocurred while Grouping files (2 done)\n");
    EXPECT_EQ(err.str(), "tressel group: c.html: could not be moved\n"
                         "tressel group: d.html: could not be moved\n");
}

TEST_F(GroupCliTest, WrongUsage) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"group", sat.path()},
                                                 {"group", "--by", "size", sat.path()},
                                                 {"group", "--by", "column", sat.path()},
                                                 {"group", "--by", "column", "10", sat.path()},
                                                 {"group", "--by", "ext", sat.path(), sat.path()},
                                                 {"setext", "exe", sat.path()},
                                                 {"setext", "exe", "abcdefghijk", sat.path()}}) {
        EXPECT_EQ(tressel(args), 2) << args[1];
        EXPECT_FALSE(err.str().empty());
    }
    EXPECT_EQ(tressel({"group", "--by", "ext", sat.path() + "missing"}), 1);
}

TEST_F(GroupCliTest, SetExtensions) {
    for (const char* name : {"0A1B", "a.exe", "b.Exe", "b.zip"})
        sat.write(name, name);
    expectDryRunRealRunAndUndoAgree({"setext", "EXE", "zip"},
                                    "a.exe -> a.zip\n"
                                    "b.Exe -> b[1].zip\n"
                                    "Successfully set extension for 2 files\n",
                                    "0A1B;a.zip;b.zip;b[1].zip;");
    expectDryRunRealRunAndUndoAgree({"setext", "", ".abcdefghij"},
                                    "0A1B -> 0A1B.abcdefghij\n"
                                    "Successfully set extension for 1 files\n",
                                    "0A1B.abcdefghij;a.exe;b.Exe;b.zip;");
}

} // namespace
} // namespace tressel::cli
