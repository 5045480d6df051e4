#include "operations/feedback.h"
#include "operations/group_files.h"
#include "operations/undo.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace tressel {
namespace {

using test::TempDir;

// Items in row order: "name=key".
std::vector<GroupItem> Items(TempDir& dir, const std::vector<const char*>& pairs) {
    std::vector<GroupItem> items;
    for (const std::string pair : pairs) {
        const size_t eq = pair.find('=');
        items.push_back({pair.substr(0, eq), pair.substr(eq + 1)});
        dir.write(items.back().name, items.back().name);
    }
    return items;
}

struct Case {
    const char* what;
    std::vector<const char*> folders; // existing before the run
    std::vector<const char*> items;
    const char* after; // TempDir::listing(true)
    const char* status;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class GroupFilesTable : public ::testing::TestWithParam<Case> {};

TEST_P(GroupFilesTable, MovesGroupsOfTwoOrIntoExistingFolders) {
    const Case& c = GetParam();
    TempDir dir;
    for (const char* folder : c.folders)
        dir.mkdir(folder);
    const std::vector<GroupItem> items = Items(dir, c.items);
    CUndoGroup group;
    const GroupResult result = GroupFiles(dir.path(), items, &group);
    EXPECT_EQ(dir.listing(true), c.after);
    EXPECT_EQ(GroupStatus(result).english(), c.status);
    EXPECT_EQ(group.count(), static_cast<uint64_t>(result.done));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GroupFilesTable,
    ::testing::Values(Case{"two of a kind move, a lone one stays",
                           {},
                           {"a.exe=exe", "b.exe=exe", "c.txt=txt"},
                           "c.txt;exe;exe/a.exe;exe/b.exe;",
                           "Successfully Grouped 2 File(s)"},
                      Case{"a lone one goes into an existing folder",
                           {"txt"},
                           {"a.exe=exe", "b.exe=exe", "c.txt=txt"},
                           "exe;exe/a.exe;exe/b.exe;txt;txt/c.txt;",
                           "Successfully Grouped 3 File(s)"},
                      Case{"keys equal but for case share the first key's folder",
                           {},
                           {"x.ZIP=ZIP", "y.zip=zip"},
                           "ZIP;ZIP/x.ZIP;ZIP/y.zip;",
                           "Successfully Grouped 2 File(s)"},
                      Case{"an existing folder matching without case is used",
                           {"Zip"},
                           {"x.ZIP=ZIP", "y.zip=zip"},
                           "Zip;Zip/x.ZIP;Zip/y.zip;",
                           "Successfully Grouped 2 File(s)"},
                      Case{"the folder spelled as the key wins over another spelling",
                           {"Zip", "zip"},
                           {"y.zip=zip"},
                           "Zip;zip;zip/y.zip;",
                           "Successfully Grouped 1 File(s)"},
                      Case{"an empty key never moves",
                           {},
                           {"a=", "b=", "c.d=d"},
                           "a;b;c.d;",
                           "Successfully Grouped 0 File(s)"},
                      Case{"texts are cleaned into folder names",
                           {},
                           {"1=Disk: 1?", "2=Disk: 1?", "3=.hidden", "4=.hidden", "5=a/b", "6=a/b"},
                           "Disk_ 1_;Disk_ 1_/1;Disk_ 1_/2;_hidden;_hidden/3;_hidden/4;a_b;a_b/5;"
                           "a_b/6;",
                           "Successfully Grouped 6 File(s)"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(GroupFiles, AClashIsNumberedAndAFolderNameHeldByAFileOrALinkFailsItsMoves) {
    TempDir dir;
    dir.write("txt/c.txt", "old");
    dir.write("exe", "a file where the folder would be");
    TempDir elsewhere;
    ASSERT_EQ(::symlink(elsewhere.path().c_str(), dir.file("zip").c_str()), 0);
    const std::vector<GroupItem> items =
        Items(dir, {"c.txt=txt", "a.exe=exe", "b.exe=exe", "d.zip=zip", "e.zip=zip"});
    CUndoGroup group;
    std::vector<std::string> moved, failed;
    GroupOptions options;
    options.onMove = [&](const std::string& name, const std::string& to) {
        moved.push_back(name + ">" + to);
    };
    options.onError = [&](const std::string& name) { failed.push_back(name); };
    const GroupResult result = GroupFiles(dir.path(), items, &group, options);
    EXPECT_EQ(moved, std::vector<std::string>{"c.txt>txt/c[1].txt"});
    EXPECT_EQ(failed, (std::vector<std::string>{"a.exe", "b.exe", "d.zip", "e.zip"}));
    EXPECT_EQ(result.failures.count(), 4);
    EXPECT_EQ(GroupStatus(result).english(), "4 error(s) ocurred while Grouping files (1 done)");
    EXPECT_EQ(elsewhere.listing(), "") << "a link never takes the files out of the folder";
    EXPECT_EQ(test::ReadWholeFile(dir.file("txt/c.txt")), "old");
}

TEST(GroupFiles, UndoMovesEveryFileBackAndTheFoldersStay) {
    TempDir dir;
    const std::vector<GroupItem> items =
        Items(dir, {"a.exe=exe", "b.exe=exe", "x.ZIP=ZIP", "y.zip=zip"});
    const std::string before = test::FolderSnapshot(dir.path());
    CUndoGroup group;
    GroupFiles(dir.path(), items, &group);
    EXPECT_EQ(group.moveBack({}), 0);
    EXPECT_EQ(test::FolderSnapshot(dir.path()), before);
    EXPECT_EQ(dir.listing(), "ZIP;a.exe;b.exe;exe;x.ZIP;y.zip;");
}

struct Counting : IProgress, ICancelCheck {
    void start(uint64_t n) override { total = n; }
    void step() override { ++steps; }
    bool cancelRequested() override { return ++checks > cancelAfter; }
    uint64_t total = 0, steps = 0;
    int checks = 0, cancelAfter = 1000;
};

TEST(GroupFiles, ProgressCountsEveryEntryAndCancelKeepsTheMovesMade) {
    TempDir dir;
    const std::vector<GroupItem> items =
        Items(dir, {"a.exe=exe", "b.exe=exe", "c.txt=txt", "d=", "e.zip=zip", "f.zip=zip"});
    Counting feedback;
    GroupOptions options;
    options.progress = &feedback;
    options.cancel = &feedback;
    GroupFiles(dir.path(), items, nullptr, options);
    EXPECT_EQ(feedback.total, 5u) << "files with a key";
    EXPECT_EQ(feedback.steps, 5u) << "one step for the lone c.txt";

    TempDir other;
    Counting cancel;
    cancel.cancelAfter = 2; // before the first group, before a.exe: then Esc
    options.progress = &cancel;
    options.cancel = &cancel;
    CUndoGroup group;
    const GroupResult result =
        GroupFiles(other.path(), Items(other, {"a.exe=exe", "b.exe=exe", "c.zip=zip", "d.zip=zip"}),
                   &group, options);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.done, 1);
    EXPECT_EQ(other.listing(true), "b.exe;c.zip;d.zip;exe;exe/a.exe;");
    EXPECT_EQ(group.count(), 1u);
}

TEST(GroupInto, NeedsTwoRowsOrAnExistingFolder) {
    TempDir dir;
    dir.mkdir("Setup Files");
    EXPECT_FALSE(ShouldGroupInto(dir.path(), "", 5));
    EXPECT_FALSE(ShouldGroupInto(dir.path(), "setup", 1)) << "one match, no such folder";
    EXPECT_TRUE(ShouldGroupInto(dir.path(), "setup", 2));
    EXPECT_TRUE(ShouldGroupInto(dir.path(), "SETUP FILES", 1)) << "found without regard to case";
    EXPECT_FALSE(ShouldGroupInto("", "setup", 2)) << "no folder open";

    for (const char* name : {"a.exe", "b.exe"})
        dir.write(name, name);
    CUndoGroup group;
    const GroupResult result =
        GroupIntoFolder(dir.path(), {"a.exe", "b.exe"}, "setup files", &group);
    EXPECT_EQ(dir.listing(true), "Setup Files;Setup Files/a.exe;Setup Files/b.exe;");
    EXPECT_EQ(GroupStatus(result).english(), "Successfully Grouped 2 File(s)");
    const GroupResult cleaned = GroupIntoFolder(dir.path(), {}, "Disk: 1?", &group);
    EXPECT_EQ(cleaned.done, 0);
}

TEST(CleanFolderName, ReplacesWhatANameCannotHold) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {".zip", "_zip"},
        {"a:b?c*d", "a_b_c_d"},
        {"x/y\\z", "x_y_z"},
        {"t\tu", "t_u"},
        {"<\"|>", "____"},
        {"esc\x1b", "esc_"},
        {"Über.Programme", "Über.Programme"},
    };
    for (auto [in, out] : cases) {
        CleanFolderName(in);
        EXPECT_EQ(in, out);
    }
}

} // namespace
} // namespace tressel
