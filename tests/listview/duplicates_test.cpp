#include "view_fixture.h"

#include "operations/feedback.h"

#include <QTest>

#include <filesystem>

namespace tressel::test {
namespace {

class DuplicatesTest : public ViewTest {
protected:
    DuplicatesTest() {
        view->setProgress(&progress);
        QObject::connect(view.get(), &CMarlockUtilView::statusText,
                         [this](int pane, const QString& text) {
                             if (pane == 2)
                                 paneTwo << text;
                         });
        view->setReport(&reports);
    }

    EscAtStep progress;
    struct Reports : IOperationReport {
        void report(const UiText& subject, int errors) override {
            lines << Translated(ReportText(subject, errors));
        }
        QStringList lines;
    } reports;
    QStringList paneTwo;
};

TEST_F(DuplicatesTest, CopiesButTheFirstShownMoveUndoably) {
    for (const char* name : {"a", "b", "c"})
        folder.write(name, "same bytes");
    folder.write("d", "same byteZ");
    folder.write("e", "");
    folder.write("f", "");
    folder.write("sub/a", "same bytes");
    open(folder.path());
    view->sortByColumn(0);
    ASSERT_EQ(names().mid(0, 3), (QStringList{"sub", "f", "e"})) << "names descending";

    view->removeDuplicates();
    EXPECT_EQ(paneTwo, (QStringList{"Press Esc to cancel", "2 dups Removed"}));
    EXPECT_EQ(progress.total, 4u) << "empty files and folders are not counted";
    EXPECT_EQ(progress.done, 4u);
    for (const char* name : {"Duplicates/a", "Duplicates/b", "c", "d", "e", "f", "sub/a"})
        EXPECT_TRUE(PathExists(folder.file(name))) << name;

    ASSERT_TRUE(view->canUndo());
    view->undo();
    for (const char* name : {"a", "b", "c"})
        EXPECT_TRUE(PathExists(folder.file(name))) << name;
    EXPECT_FALSE(PathExists(folder.file("Duplicates/a")));
}

TEST_F(DuplicatesTest, EscKeepsTheSizesDoneAndAFailedMoveIsReported) {
    for (const char* name : {"a", "b"})
        folder.write(name, "small");
    for (const char* name : {"c", "d"})
        folder.write(name, "larger");
    open(folder.path());
    progress.list = view->detailsView();
    progress.escAt = 1;
    view->removeDuplicates();
    EXPECT_EQ(paneTwo.back(), "1 dups Removed");
    EXPECT_TRUE(view->cancelFlag());
    EXPECT_TRUE(PathExists(folder.file("Duplicates/b")));
    EXPECT_TRUE(PathExists(folder.file("d")));

    // "Duplicates" taken by a file: no copy can move there.
    view->undo();
    std::filesystem::remove_all(folder.file("Duplicates"));
    folder.write("Duplicates", "not a folder");
    progress.escAt = 0;
    view->removeDuplicates();
    EXPECT_EQ(reports.lines.back(), "2 error(s) ocurred while remove (0 dups Removed)");
    EXPECT_FALSE(view->canUndo());
}

} // namespace
} // namespace tressel::test
