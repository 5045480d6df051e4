#include "view_fixture.h"

#include "catalogue/group_keys.h"
#include "listview/set_extensions_dialog.h"
#include "operations/feedback.h"
#include "operations/group_files.h"
#include "settings/settings_store.h"

#include <QLineEdit>
#include <QTest>

namespace tressel::test {
namespace {

class GroupTest : public ViewTest {
protected:
    GroupTest() {
        view->setProgress(&progress);
        view->setReport(&reports);
    }

    EscAtStep progress;
    struct Reports : IOperationReport {
        void report(const UiText& subject, int errors) override {
            lines << QString::fromStdString(ReportText(subject, errors).english());
        }
        QStringList lines;
    } reports;
};

TEST_F(GroupTest, ByExtensionMovesPairsAndUndoLeavesTheFolders) {
    for (const char* name : {"a.exe", "b.exe", "c.txt", "x.ZIP", "y.zip", "noext"})
        folder.write(name, name);
    folder.mkdir("sub");
    open(folder.path());
    view->group(GroupByExtension);
    EXPECT_EQ(reports.lines, QStringList{"Successfully Grouped 4 File(s)"});
    EXPECT_EQ(folder.listing(true),
              "ZIP;ZIP/x.ZIP;ZIP/y.zip;c.txt;exe;exe/a.exe;exe/b.exe;noext;sub;");
    ASSERT_TRUE(view->canUndo());
    view->undo();
    EXPECT_EQ(folder.listing(true), "ZIP;a.exe;b.exe;c.txt;exe;noext;sub;x.ZIP;y.zip;");
}

TEST_F(GroupTest, ByTypeUsesTheTypeNameInThePlural) {
    for (const char* name : {"0A1B.exe", "0A1C.exe"})
        folder.write(name, "MZ");
    open(folder.path());
    std::string expected = doc.GetTypeName(0) + "s";
    CleanFolderName(expected);
    view->group(GroupByType);
    EXPECT_TRUE(PathExists(folder.file(expected + "/0A1B.exe"))) << expected;
    EXPECT_TRUE(PathExists(folder.file(expected + "/0A1C.exe")));
}

TEST_F(GroupTest, ByColumnCleansTheTextsAndEscEndsTheReadingOnly) {
    folder.write("1.bin", ReadableContent("Disk: 1?"));
    folder.write("2.bin", ReadableContent("disk: 1?"));
    folder.write("3.bin", ReadableContent(".config"));
    folder.write("4.bin", ReadableContent(".config"));
    folder.write("5.bin", ReadableContent("Disk: 1?"));
    open(folder.path());
    progress.list = view->detailsView();
    progress.escAt = 4; // after the fourth row is read
    view->group(GroupByFirstColumn + 1);
    EXPECT_EQ(progress.total, 4u) << "the moves' range: the rows read";
    EXPECT_EQ(folder.listing(true),
              "5.bin;Disk_ 1_;Disk_ 1_/1.bin;Disk_ 1_/2.bin;_config;_config/3.bin;_config/4.bin;");
    EXPECT_EQ(reports.lines, QStringList{"Successfully Grouped 4 File(s)"});
    EXPECT_FALSE(view->cancelFlag());
}

TEST_F(GroupTest, GroupAllNeedsTwoRowsOrAnExistingFolder) {
    for (const char* name : {"a.exe", "b.exe", "c.exe"})
        folder.write(name, name);
    open(folder.path());
    select({"a.exe"});
    view->groupInto("Setup");
    EXPECT_EQ(folder.listing(), "a.exe;b.exe;c.exe;");
    EXPECT_TRUE(reports.lines.isEmpty()) << "nothing happens, nothing is said";

    select({"a.exe", "c.exe"});
    view->groupInto("Setup: Tools");
    EXPECT_EQ(folder.listing(true), "Setup_ Tools;Setup_ Tools/a.exe;Setup_ Tools/c.exe;b.exe;");
    EXPECT_EQ(reports.lines, QStringList{"Successfully Grouped 2 File(s)"});
    view->refreshChanges();
    select({"b.exe"});
    view->groupInto("setup: tools");
    EXPECT_TRUE(PathExists(folder.file("Setup_ Tools/b.exe"))) << "the existing folder, any case";
}

TEST_F(GroupTest, SetExtensionsRenamesRowsAndUndoes) {
    for (const char* name : {"0A1B", "0A1C", "a.Exe", "b.EXE"})
        folder.write(name, name);
    open(folder.path());
    QString from = "", to = "zip";
    FileQuestions questions;
    questions.askExtensions = [&](QString& f, QString& t) {
        f = from, t = to;
        return true;
    };
    view->setFileQuestions(questions);
    view->setExtensions();
    EXPECT_EQ(names(), (QStringList{"0A1B.zip", "0A1C.zip", "a.Exe", "b.EXE"}));
    EXPECT_EQ(reports.lines.back(), "Successfully set extension for 2 files");
    expectConsistent();
    from = "exe", to = "bin";
    view->setExtensions();
    EXPECT_EQ(folder.listing(), "0A1B.zip;0A1C.zip;a.bin;b.bin;");
    view->undo();
    view->undo();
    EXPECT_EQ(folder.listing(), "0A1B;0A1C;a.Exe;b.EXE;");
}

TEST_F(GroupTest, TheDialogKeepsItsTextsAndTakesTenCharacters) {
    {
        CSetExtensionsDialog dialog;
        QTest::keyClicks(dialog.newExtensionEdit(), "abcdefghijk");
        EXPECT_EQ(dialog.newExtension(), "abcdefghij");
        dialog.fromEdit()->setText("exe");
    } // closed by Cancel as by OK: the texts are kept
    CSetExtensionsDialog again;
    EXPECT_EQ(again.from(), "exe");
    EXPECT_EQ(again.newExtension(), "abcdefghij");
    EXPECT_EQ(SettingsStore::instance().readString("Settings", "LastNewExt"), "abcdefghij");
}

} // namespace
} // namespace tressel::test
