#include "view_fixture.h"

#include "listview/find_dialog.h"
#include "listview/list_context_menu.h"

#include <QTest>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>

namespace tressel::test {
namespace {

// Files named slow* hold their reader until the test opens the gate (or a second has
// passed), as a file on a stalled mount holds whoever reads it.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    std::atomic<int> waiting{0};
} g_gate;

class CBlockingReader : public CCountingReader {
public:
    CBlockingReader(const std::string& path, bool scanAll)
        : CCountingReader(WaitIfSlow(path), scanAll) {}

private:
    static const std::string& WaitIfSlow(const std::string& path) {
        if (path.find("/slow") != std::string::npos) {
            ++g_gate.waiting;
            std::unique_lock lock(g_gate.mutex);
            g_gate.opened.wait_for(lock, std::chrono::seconds(1), [] { return g_gate.open; });
            --g_gate.waiting;
        }
        return path;
    }
};

class BackgroundReadTest : public ViewTest {
protected:
    BackgroundReadTest() {
        g_gate.open = false;
        // Static: a worker may still be inside a read when the test ends.
        static const ReaderTable table{{&MakeReader<CBlockingReader>}, {}};
        doc.setReaderTable(&table);
    }
    ~BackgroundReadTest() override { openGate(); }

    void openGate() {
        {
            std::lock_guard lock(g_gate.mutex);
            g_gate.open = true;
        }
        g_gate.opened.notify_all();
    }
    // A cell as the list shows it: empty until its row is read.
    QString shown(const std::string& name, int column = 1) {
        for (int row = 0; row < view->model().rowCount(); ++row)
            if (view->model().nameBytes(row) == name)
                return view->model()
                    .data(view->model().index(row, column), Qt::DisplayRole)
                    .toString();
        return "(no row)";
    }
};

TEST_F(BackgroundReadTest, TheWindowAnswersWhileAFileBlocksAndItsCellFillsWhenTheReadEnds) {
    folder.write("a.tst", ReadableContent("Alpha"));
    folder.write("slow.tst", ReadableContent("Slow"));
    folder.write("z.tst", ReadableContent("Zeta"));
    open(folder.path());
    paint();
    ASSERT_TRUE(WaitUntil([&] { return g_gate.waiting == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return shown("a.tst") == "Alpha" && shown("z.tst") == "Zeta"; }));

    // A key press is handled while the read is still held.
    QTableView* list = view->detailsView();
    list->setFocus();
    list->setCurrentIndex(view->model().index(0, 0));
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex().row(), 1);
    EXPECT_EQ(shown("slow.tst"), "");
    EXPECT_EQ(g_gate.waiting, 1);

    openGate();
    EXPECT_TRUE(WaitUntil([&] { return shown("slow.tst") == "Slow"; }));
    expectConsistent();
}

TEST_F(BackgroundReadTest, AFolderChangeWhileReadingKeepsRowsAndCellsTogether) {
    folder.write("b.tst", ReadableContent("Beta"));
    folder.write("slow1.tst", ReadableContent("First"));
    folder.write("slow2.tst", ReadableContent("Second"));
    open(folder.path());
    paint();
    ASSERT_TRUE(WaitUntil([&] { return g_gate.waiting >= 1; }));

    // One held file goes, others come before it in name order.
    std::filesystem::remove(folder.file("slow1.tst"));
    folder.write("a.tst", ReadableContent("Alpha"));
    folder.write("0.tst", ReadableContent("Zero"));
    view->refreshChanges();
    expectConsistent();

    openGate();
    EXPECT_TRUE(WaitUntil([&] {
        return shown("slow2.tst") == "Second" && shown("a.tst") == "Alpha" &&
               shown("0.tst") == "Zero" && shown("b.tst") == "Beta";
    }));
    EXPECT_EQ(shown("slow1.tst"), "(no row)");
    expectConsistent();
}

// Sorting by a column waits for the rows it needs instead of reading them on the
// window's thread, and sorts by what they hold.
TEST_F(BackgroundReadTest, ColumnSortWaitsForTheRowsItNeeds) {
    folder.write("a.tst", ReadableContent("Zeta"));
    folder.write("slow.tst", ReadableContent("Alpha"));
    folder.write("c.tst", ReadableContent("Mid"));
    open(folder.path());
    openGate();
    view->sortByColumn(1);
    EXPECT_EQ(names(), (QStringList{"slow.tst", "c.tst", "a.tst"}));
    expectConsistent();
}

// Find Next and the Rename To menu over unread rows leave the reading to the workers:
// a file held on a worker while the window's timers still run shows that.
TEST_F(BackgroundReadTest, FindAndTheNameMenuWaitForTheWorkersNotForAFile) {
    for (const char* name : {"a.tst", "slow.tst", "z.tst"})
        folder.write(name, ReadableContent(std::string("Match ") + name));
    open(folder.path());
    const auto whileHeld = [&](const std::function<void()>& command) {
        bool heldOnAWorker = false;
        QTimer::singleShot(50, [&] {
            heldOnAWorker = g_gate.waiting == 1;
            openGate();
        });
        command();
        EXPECT_TRUE(heldOnAWorker);
        g_gate.open = false;
    };
    view->findDialog().setFindText("match slow");
    whileHeld([&] { view->findNext(false); });
    EXPECT_EQ(view->findPosition(), 1);

    view->model().forgetInformation(1);
    view->detailsView()->selectAll();
    whileHeld(
        [&] { EXPECT_FALSE(view->contextMenu().nameItems(view->selectedRecords()).empty()); });
}

} // namespace
} // namespace tressel::test
