#include "catalogue/document.h"
#include "catalogue/rename_command.h"
#include "isolated_settings.h"
#include "operations/feedback.h"
#include "operations/undo.h"
#include "platform/text.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace tressel {
namespace {

// A list over the open folder whose column texts the test sets; rows are records.
class FakeRows : public IRenameRows {
public:
    FakeRows(CMarlockUtilDoc& doc, std::vector<int> selection)
        : m_doc(doc), m_selected(selection.begin(), selection.end()) {}

    void setCell(int record, int column, std::string text) { m_cells[{record, column}] = text; }
    std::vector<int> selectedRows() override { return {m_selected.begin(), m_selected.end()}; }
    int record(int row) override { return row; }
    std::string cellText(int row, int column) override {
        if (column == 0)
            return m_names.count(row) ? m_names[row] : m_doc.GetItemName(row, NameMode::InFolder);
        auto it = m_cells.find({row, column});
        return it == m_cells.end() ? std::string() : it->second;
    }
    void deselect(int row) override { m_selected.erase(row); }
    void setName(int row, const std::string& name) override { m_names[row] = name; }
    const std::set<int>& selected() const { return m_selected; }
    std::string shownName(int row) { return cellText(row, 0); }

private:
    CMarlockUtilDoc& m_doc;
    std::set<int> m_selected;
    std::map<std::pair<int, int>, std::string> m_cells;
    std::map<int, std::string> m_names;
};

struct CountingProgress : IProgress {
    uint64_t range = 0;
    int steps = 0;
    void start(uint64_t count) override { range = count; }
    void step() override { ++steps; }
};

struct EscAfter : ICancelCheck {
    explicit EscAfter(int files) : left(files) {}
    bool cancelRequested() override { return left-- <= 0; }
    int left;
};

class RenameCommandTest : public ::testing::Test {
protected:
    // Opens the folder after the test has filled it; records follow name order.
    void open() { doc.OpenFolderPath(sat.path()); }
    int rec(const std::string& name) { return doc.findRecord(name); }
    std::vector<std::string> listing() {
        auto names = ListFolder(sat.path());
        return names ? *names : std::vector<std::string>{};
    }

    test::IsolatedSettings settings;
    test::TempDir sat;
    CMarlockUtilDoc doc;
};

TEST_F(RenameCommandTest, SameTextGivesPlainThenNumberedNamesInRowOrder) {
    sat.write("0A1B.exe", "1");
    sat.write("0A1C.exe", "2");
    sat.write("0A1D.exe", "3");
    open();
    FakeRows rows(doc, {0, 1, 2});
    for (int r = 0; r < 3; ++r)
        rows.setCell(r, 1, "Setup");
    CUndoGroup group;
    CountingProgress progress;
    RenameOptions options;
    options.progress = &progress;
    const RenameResult result = RunRenameCommand(doc, rows, group, options);
    EXPECT_EQ(result.status.english(), "3 Renamed");
    EXPECT_EQ(listing(), (std::vector<std::string>{"Setup.exe", "Setup[1].exe", "Setup[2].exe"}));
    EXPECT_EQ(test::ReadWholeFile(sat.file("Setup[2].exe")), "3");
    EXPECT_EQ(rows.shownName(1), "Setup[1].exe");
    EXPECT_TRUE(rows.selected().empty());
    EXPECT_EQ(group.count(), 3u);
    EXPECT_EQ(progress.range, 3u);
    EXPECT_EQ(progress.steps, 3);
    // The records follow their files.
    EXPECT_EQ(doc.GetItemName(0, NameMode::InFolder), "Setup.exe");
}

TEST_F(RenameCommandTest, AnExistingFileIsNeverOverwritten) {
    sat.write("0A1B.exe", "new");
    sat.write("Setup.exe", "precious");
    open();
    FakeRows rows(doc, {rec("0A1B.exe")});
    rows.setCell(rec("0A1B.exe"), 1, "Setup");
    CUndoGroup group;
    EXPECT_EQ(RunRenameCommand(doc, rows, group, {}).status.english(), "1 Renamed");
    EXPECT_EQ(test::ReadWholeFile(sat.file("Setup.exe")), "precious");
    EXPECT_EQ(test::ReadWholeFile(sat.file("Setup[1].exe")), "new");
}

TEST_F(RenameCommandTest, TargetNamesAreCleanedAndKeepTheExtension) {
    EXPECT_EQ(RenameTargetName("0A1B.exe", "Setup Program 1.2", false), "Setup Program 1.2.exe");
    EXPECT_EQ(RenameTargetName("12.txt", "Readme.TXT", false), "Readme.TXT");
    EXPECT_EQ(RenameTargetName("1A2B.zip", "Driver Pack", true), "1A2B_Driver Pack.zip");
    EXPECT_EQ(RenameTargetName("x.bin", "a/b: c?", false), "a_b_ c_.bin");
    EXPECT_EQ(RenameTargetName("x.bin", "tab\there", false), "tab_here.bin");
    EXPECT_EQ(RenameTargetName("x.bin", ".hidden", false), "_hidden.bin");
    EXPECT_EQ(RenameTargetName("noext", "Title", false), "Title");
    EXPECT_EQ(RenameTargetName("x.bin", "", false), "");
}

TEST_F(RenameCommandTest, ClashNumberingReadsTheCounterOnlyFromTheStem) {
    std::set<std::string> existing = {"a.b[1]", "report[4].txt", "Setup.exe", "Setup[1].exe"};
    auto clashes = [&](const std::string& name) { return existing.count(name) > 0; };
    EXPECT_EQ(NumberClashingName("a.b[1]", clashes), "a[1].b[1]");
    EXPECT_EQ(NumberClashingName("report[4].txt", clashes), "report[5].txt");
    EXPECT_EQ(NumberClashingName("Setup.exe", clashes), "Setup[2].exe");
    EXPECT_EQ(NumberClashingName("free.txt", clashes), "free.txt");
    // A counter too large to go up stops the numbering instead of overflowing.
    existing.insert("x[99999999999999999999].bin");
    EXPECT_EQ(NumberClashingName("x[99999999999999999999].bin", clashes),
              "x[99999999999999999999].bin");
    // A numbered name still fits the file system, as the move routine would cut it.
    const std::string full = std::string(251, 'x') + ".txt";
    existing.insert(full);
    EXPECT_EQ(NumberClashingName(full, clashes, 255), std::string(248, 'x') + "[1].txt");
}

TEST_F(RenameCommandTest, TargetNamesHoldNoControlCharactersAndFitTheLimit) {
    const struct {
        const char* value;
        bool append;
        std::string want;
    } cases[] = {
        {"Bell\a and \x1b[31mred", false, "Bell_ and _[31mred.mp3"},
        {"nul\x7f del \xC2\x85 nel \xC2\x9B csi", false, "nul_ del _ nel _ csi.mp3"},
        {"\xC2\xA0kept \xC3\x85", false, "\xC2\xA0kept \xC3\x85.mp3"}, // U+00A0, U+00C5
        {"Band", true, "1A2B_Band.mp3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RenameTargetName("1A2B.mp3", c.value, c.append), c.want) << c.value;
    // At the length limit an appended text is cut away again: the name stays.
    const std::string longest = std::string(251, 'x') + ".mp3";
    EXPECT_EQ(RenameTargetName(longest, "Band", true, 255), longest);
}

TEST_F(RenameCommandTest, FoldersAreDeselectedAndEmptyValuesLeftSelected) {
    sat.mkdir("Dir1");
    sat.mkdir("Dir2");
    sat.write("0A1B.bin", "x");
    open();
    FakeRows rows(doc, {rec("Dir1"), rec("Dir2"), rec("0A1B.bin")});
    CUndoGroup group;
    const RenameResult result = RunRenameCommand(doc, rows, group, {});
    EXPECT_EQ(result.status.english(), "0 Renamed, Selected Unchanged");
    EXPECT_EQ(rows.selected(), std::set<int>{rec("0A1B.bin")});
    EXPECT_TRUE(group.empty());
}

TEST_F(RenameCommandTest, ACaseOnlyChangeIsAppliedAndTheSameNameSkipped) {
    sat.write("readme.txt", "r");
    sat.write("Same.txt", "s");
    open();
    FakeRows rows(doc, {rec("readme.txt"), rec("Same.txt")});
    rows.setCell(rec("readme.txt"), 1, "README.TXT");
    rows.setCell(rec("Same.txt"), 1, "Same");
    CUndoGroup group;
    const RenameResult result = RunRenameCommand(doc, rows, group, {});
    EXPECT_EQ(result.status.english(), "1 Renamed, Selected Unchanged");
    EXPECT_TRUE(test::PathExists(sat.file("README.TXT")));
    EXPECT_FALSE(test::PathExists(sat.file("readme.txt")));
}

TEST_F(RenameCommandTest, AFailedMoveIsCountedAndLeavesTheFile) {
    sat.write("0A1B.exe", "a");
    sat.write("0A1C.exe", "b");
    open();
    FakeRows rows(doc, {rec("0A1B.exe"), rec("0A1C.exe")});
    rows.setCell(rec("0A1B.exe"), 1, "Gone");
    rows.setCell(rec("0A1C.exe"), 1, "Tool");
    ::unlink(sat.file("0A1B.exe").c_str()); // vanished before the command ran
    CUndoGroup group;
    std::vector<std::string> failed;
    RenameOptions options;
    options.onError = [&](const std::string& name) { failed.push_back(name); };
    const RenameResult result = RunRenameCommand(doc, rows, group, options);
    EXPECT_EQ(result.status.english(), "1 Error(s), 1 Renamed, Selected Unchanged");
    EXPECT_EQ(failed, std::vector<std::string>{"0A1B.exe"});
    EXPECT_EQ(listing(), std::vector<std::string>{"Tool.exe"});
}

TEST_F(RenameCommandTest, EscStopsAfterTheCurrentFileAndKeepsWhatWasDone) {
    for (const char* name : {"1.bin", "2.bin", "3.bin"})
        sat.write(name, name);
    open();
    FakeRows rows(doc, {0, 1, 2});
    for (int r = 0; r < 3; ++r)
        rows.setCell(r, 1, "T");
    CUndoGroup group;
    EscAfter esc(1);
    RenameOptions options;
    options.cancel = &esc;
    const RenameResult result = RunRenameCommand(doc, rows, group, options);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.status.english(), "1 Renamed, Selected Unchanged");
    EXPECT_EQ(listing(), (std::vector<std::string>{"2.bin", "3.bin", "T.bin"}));
    EXPECT_EQ(group.count(), 1u);
}

TEST_F(RenameCommandTest, DryRunReportsTheSameNamesAndMovesNothing) {
    sat.write("0A1B.exe", "1");
    sat.write("0A1C.exe", "2");
    sat.write("Setup.exe", "taken");
    open();
    FakeRows rows(doc, {rec("0A1B.exe"), rec("0A1C.exe")});
    rows.setCell(rec("0A1B.exe"), 1, "Setup");
    rows.setCell(rec("0A1C.exe"), 1, "Setup");
    CUndoGroup group;
    std::vector<std::string> planned;
    RenameOptions options;
    options.dryRun = true;
    options.onRename = [&](const std::string& from, const std::string& to) {
        planned.push_back(from + " -> " + to);
    };
    const RenameResult result = RunRenameCommand(doc, rows, group, options);
    EXPECT_EQ(result.status.english(), "2 Renamed");
    EXPECT_EQ(planned,
              (std::vector<std::string>{"0A1B.exe -> Setup[1].exe", "0A1C.exe -> Setup[2].exe"}));
    EXPECT_EQ(listing(), (std::vector<std::string>{"0A1B.exe", "0A1C.exe", "Setup.exe"}));
    EXPECT_TRUE(group.empty());
}

// The plan names every selected file (a folder left out, an unchanged file as it is)
// as the real run then names it, chains of names freed and taken included.
TEST_F(RenameCommandTest, PlanListsEverySelectedFileAsTheRealRunNamesIt) {
    for (const char* name : {"a.bin", "b.bin", "c.bin", "keep.bin"})
        sat.write(name, name);
    sat.mkdir("Dir");
    open();
    const std::vector<int> records = {rec("a.bin"), rec("b.bin"), rec("c.bin"), rec("keep.bin"),
                                      rec("Dir")};
    FakeRows rows(doc, records);
    for (const auto& [name, text] : {std::pair{"a.bin", "x"}, {"b.bin", "a"}, {"c.bin", "b"}})
        rows.setCell(rec(name), 1, text);
    const RenamePlan plan = PlanRenameCommand(doc, rows, {});
    std::string planned;
    for (const PlannedRename& file : plan.files)
        planned += file.oldName + ">" + file.newName + " ";
    // Row order; each file takes the name the one before it frees.
    EXPECT_EQ(planned, "a.bin>x.bin b.bin>a.bin c.bin>b.bin keep.bin>keep.bin ");
    EXPECT_EQ(plan.result.status.english(), "3 Renamed, Selected Unchanged");
    EXPECT_EQ(listing(), (std::vector<std::string>{"a.bin", "b.bin", "c.bin", "Dir", "keep.bin"}));

    CUndoGroup group;
    FakeRows again(doc, records);
    for (const auto& [name, text] : {std::pair{"a.bin", "x"}, {"b.bin", "a"}, {"c.bin", "b"}})
        again.setCell(rec(name), 1, text);
    RunRenameCommand(doc, again, group, {});
    EXPECT_EQ(listing(), (std::vector<std::string>{"a.bin", "b.bin", "Dir", "keep.bin", "x.bin"}));
    EXPECT_EQ(test::ReadWholeFile(sat.file("a.bin")), "b.bin");
}

TEST_F(RenameCommandTest, UndoAndRedoOfARenameCommand) {
    sat.write("0A1B.exe", "1");
    sat.write("0A1C.exe", "2");
    open();
    FakeRows rows(doc, {0, 1});
    rows.setCell(0, 1, "Alpha");
    rows.setCell(1, 1, "Beta");
    auto group = std::make_unique<CUndoGroup>();
    RunRenameCommand(doc, rows, *group, {});
    CUndoHistory history;
    history.push(std::move(group));
    EXPECT_EQ(history.undo({}, 1), 0);
    EXPECT_EQ(listing(), (std::vector<std::string>{"0A1B.exe", "0A1C.exe"}));
    EXPECT_EQ(history.redo({}, 1), 0);
    EXPECT_EQ(listing(), (std::vector<std::string>{"Alpha.exe", "Beta.exe"}));
}

// A folder in memory whose entries are renamed one after another, as one command
// renames them: the remembering numbering must give every name the plain scan gives.
class MemoryFolder {
public:
    explicit MemoryFolder(bool foldCase) : m_foldCase(foldCase) {}
    // False when the name is held already (on a case-folding file system, in any case).
    bool add(const std::string& name) {
        if (holds(name, -1))
            return false;
        m_names.push_back(name);
        return true;
    }
    bool holds(const std::string& name, int except) const {
        for (size_t id = 0; id < m_names.size(); ++id) {
            const bool same = m_foldCase ? EqualsNoCase(m_names[id], name) : m_names[id] == name;
            if (same && static_cast<int>(id) != except)
                return true;
        }
        return false;
    }
    std::vector<std::string> m_names;

private:
    bool m_foldCase;
};

TEST(ClashNumbering, GivesThePlainScansNamesWhateverTheOrderOfRenames) {
    const std::vector<std::string> stems = {"Setup",   "setup", "a",        "Setup[1]", "Setup[2]",
                                            "Setup[x", "b[3]",  "Setup[3]", "SETUP[1]"};
    const std::vector<std::string> exts = {".exe", ".EXE", ""};
    const std::vector<std::string> texts = {"Setup.exe", "setup.exe", "a.exe",      "Setup[2].exe",
                                            "b[3].exe",  "Setup.EXE", "Setup[x.exe"};
    for (const bool foldCase : {false, true}) {
        std::mt19937 random(foldCase ? 7 : 11);
        for (int command = 0; command < 40; ++command) {
            MemoryFolder folder(foldCase);
            for (int i = 0; i < 12; ++i)
                folder.add(stems[random() % stems.size()] + exts[random() % exts.size()]);
            CClashNumbering numbering;
            for (int step = 0; step < 60; ++step) {
                const int id = static_cast<int>(random() % folder.m_names.size());
                const std::string current = folder.m_names[static_cast<size_t>(id)];
                const std::string wanted = texts[random() % texts.size()];
                if (wanted == current)
                    continue;
                const auto clashes = [&](const std::string& name) {
                    return folder.holds(name, id);
                };
                const std::string plain = NumberClashingName(wanted, clashes);
                ASSERT_EQ(numbering.number(wanted, current, clashes), plain)
                    << (foldCase ? "folding" : "exact") << " command " << command << " step "
                    << step << ": " << current << " -> " << wanted;
                if (plain == current)
                    continue;
                if (random() % 8 == 0) {
                    numbering.freed(plain); // the move failed: nothing changed
                    continue;
                }
                folder.m_names[static_cast<size_t>(id)] = plain;
                numbering.freed(current);
            }
        }
    }
}

TEST(RenameStatusText, ErrorsDoneAndWaiting) {
    EXPECT_EQ(RenameStatusText(5, 0, 0).english(), "5 Renamed");
    EXPECT_EQ(RenameStatusText(4, 1, 1).english(), "1 Error(s), 4 Renamed, Selected Unchanged");
    EXPECT_EQ(RenameStatusText(0, 0, 3).english(), "0 Renamed, Selected Unchanged");
    EXPECT_EQ(RenameStatusText(2, 1, 0).english(), "1 Error(s), 2 Renamed");
}

} // namespace
} // namespace tressel
