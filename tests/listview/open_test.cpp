#include "view_fixture.h"

#include "listview/properties_dialog.h"
#include "listview/sort_order.h"
#include "listview/title_watch.h"
#include "platform/text.h"
#include "url_recorder.h"

#include <QHeaderView>
#include <QMimeData>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

namespace tressel::test {
namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

class OpenTest : public ViewTest {
protected:
    void selectAllRows() { view->detailsView()->selectAll(); }
    UrlRecorder urls;
};

TEST_F(OpenTest, FolderOpensInTheListAndWithCtrlWithTheDefaultApplication) {
    folder.mkdir("sub");
    folder.write("sub/0A.bin", "");
    open(folder.path());
    select({"sub"});
    view->openSelection(Qt::ControlModifier);
    EXPECT_EQ(urls.opened, QStringList{Q(folder.file("sub"))});
    EXPECT_EQ(doc.GetCurrentFolderPath(), folder.path());

    paint();
    const QRect cell = view->detailsView()->visualRect(view->model().index(0, 0));
    // The item view answers a double click only on the row its press chose.
    QTest::mousePress(view->detailsView()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      cell.center());
    QTest::mouseDClick(view->detailsView()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       cell.center());
    EXPECT_EQ(doc.GetCurrentFolderPath(), folder.path() + "sub/");
    EXPECT_EQ(names(), QStringList{"0A.bin"});
}

TEST_F(OpenTest, AtMostFiveFilesOpenAndAltShowsThePropertiesOfAll) {
    for (int i = 0; i < 8; ++i)
        folder.write("0" + std::to_string(i) + ".txt",
                     ReadableContent("Text " + std::to_string(i)));
    open(folder.path());
    selectAllRows();
    view->openSelection(Qt::NoModifier);
    ASSERT_EQ(urls.opened.size(), 5);
    EXPECT_EQ(urls.opened.front(), Q(folder.file("00.txt")));
    EXPECT_EQ(urls.opened.back(), Q(folder.file("04.txt")));
    EXPECT_FALSE(view->titleWatch().running());

    urls.opened.clear();
    paint();
    view->detailsView()->setFocus();
    QTest::keyClick(view->detailsView(), Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(urls.opened.isEmpty()) << "Alt opens nothing";
    CPropertiesDialog* dialog = view->propertiesDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->tabs()->count(), 8);
    EXPECT_EQ(dialog->windowTitle(), "Properties of 8 entries");
    EXPECT_EQ(dialog->tabs()->tabText(7), "07.txt");
    dialog->close();
}

TEST(Properties, LinesDescribeTheEntryAndItsInformation) {
    TempDir dir;
    const std::string path = dir.write("0A.bin", std::string(1234, 'x'));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    EntryFacts facts{Q(path), "binary", {"FileDescription (1)", "ProductName (2)"}, {"Desc"}};
    const PropertyLines lines = EntryProperties(facts);
    auto value = [&](const QString& label) {
        for (const auto& [l, v] : lines)
            if (l == label)
                return v;
        ADD_FAILURE() << "no line " << label.toStdString();
        return QString();
    };
    EXPECT_EQ(value("Path"), Q(path));
    EXPECT_EQ(value("Type"), "binary");
    EXPECT_EQ(value("Size"), "1,234 Bytes");
    EXPECT_EQ(value("Permissions"), "rw-r----- (640)");
    EXPECT_FALSE(value("Modified").isEmpty());
    EXPECT_TRUE(value("Owner").contains(':'));
    EXPECT_EQ(value("FileDescription (1)"), "Desc");
    EXPECT_EQ(value("ProductName (2)"), "") << "a missing value is an empty line";
    EXPECT_EQ(lines.back().first, "ProductName (2)");

    const PropertyLines gone = EntryProperties({Q(dir.file("gone")), "", {}, {}});
    EXPECT_EQ(gone[2].second, "") << "no size for an entry that is not there";
}

TEST(Properties, PermissionTextShowsLettersAndOctal) {
    EXPECT_EQ(PermissionText(0755), "rwxr-xr-x (755)");
    EXPECT_EQ(PermissionText(0100600), "rw------- (600)");
    EXPECT_EQ(PermissionText(0), "--------- (000)");
}

// The foreground window as a test sets it.
struct FakeForeground : IForegroundWindow {
    std::optional<ForegroundWindow> foreground() override { return front; }
    std::optional<ForegroundWindow> front;
};

class TitleWatchTest : public OpenTest {
protected:
    TitleWatchTest() {
        auto source = std::make_unique<FakeForeground>();
        fake = source.get();
        view->titleWatch().setForegroundWindow(std::move(source));
    }

    // Launches the named executable as a double click would.
    void launch(const QString& name) {
        select({name});
        view->openSelection(Qt::NoModifier);
    }

    void front(const std::string& title, uint64_t id = 4242) {
        fake->front = ForegroundWindow{id, title};
    }

    QString cell(int column) { return view->model().cellText(0, column); }

    FakeForeground* fake = nullptr;
};

TEST_F(TitleWatchTest, ATitleFillsTheFirstEmptyCellOnceAndBlanksAreIgnored) {
    folder.write("1A2B.exe", ReadableContent("Desc"));
    open(folder.path());
    panes[2] = "old report";
    launch("1A2B.exe");
    EXPECT_EQ(urls.opened, QStringList{Q(folder.file("1A2B.exe"))});
    ASSERT_TRUE(view->titleWatch().running());
    EXPECT_EQ(panes[2], "") << "pane 2 is cleared at the launch";
    EXPECT_EQ(view->titleWatch().titleTimer()->interval(), 500);
    EXPECT_TRUE(view->titleWatch().watchEndTimer()->isActive());
    EXPECT_EQ(view->titleWatch().watchEndTimer()->interval(), 10000);

    front("  Foo Setup 2.0\t");
    ASSERT_TRUE(WaitUntil([&] { return cell(2) == "Foo Setup 2.0"; }, 3000))
        << "timer 104 samples the title";
    EXPECT_EQ(cell(1), "Desc");
    EXPECT_EQ(panes[2], "ProductName (2) filled with \"Foo Setup 2.0\"");

    view->titleWatch().checkWindowTitle();
    EXPECT_EQ(cell(3), "") << "a title the row already shows changes nothing";
    front("   ");
    view->titleWatch().checkWindowTitle();
    EXPECT_EQ(cell(3), "") << "blank titles are ignored";
    view->show();
    QApplication::processEvents();
    front("Our Own Window", view->window()->winId());
    view->titleWatch().checkWindowTitle();
    EXPECT_EQ(cell(3), "") << "our own window in front is not watched";
    EXPECT_TRUE(view->titleWatch().running());
}

TEST_F(TitleWatchTest, AFullRowStopsTheWatch) {
    folder.write("1A2B.exe", "TST\n1\n2\n3\n4\n5\n6\n7\n8\n");
    open(folder.path());
    launch("1A2B.exe");
    front("Nine");
    view->titleWatch().checkWindowTitle();
    EXPECT_EQ(cell(9), "Nine");
    EXPECT_TRUE(view->titleWatch().running());
    front("Ten");
    view->titleWatch().checkWindowTitle();
    EXPECT_FALSE(view->titleWatch().running());
    EXPECT_EQ(panes[2], "ProductVersion (9) filled with \"Nine\"");
}

TEST_F(TitleWatchTest, FocusBackOnTheListEndsTheWatchSoonAfter) {
    folder.write("1A2B.exe", ReadableContent("Desc"));
    folder.write("0C.txt", ReadableContent("Text"));
    open(folder.path());
    launch("0C.txt");
    EXPECT_FALSE(view->titleWatch().running()) << "only an executable starts the watch";

    launch("1A2B.exe");
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(view->detailsView(), &out);
    EXPECT_FALSE(view->titleWatch().watchEndTimer()->isActive())
        << "the program in front keeps the watch";
    EXPECT_TRUE(view->titleWatch().running());
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(view->detailsView(), &in);
    EXPECT_TRUE(view->titleWatch().watchEndTimer()->isActive());
    EXPECT_EQ(view->titleWatch().watchEndTimer()->interval(), 3000);

    view->titleWatch().watchEndTimer()->start(1);
    EXPECT_TRUE(WaitUntil([&] { return !view->titleWatch().running(); }));
    EXPECT_FALSE(view->titleWatch().watchEndTimer()->isActive());
}

TEST_F(OpenTest, WithoutAWindowTitleSourceTheWatchIsOffAndSaysSo) {
    view->titleWatch().setForegroundWindow(nullptr);
    folder.write("1A2B.exe", "");
    open(folder.path());
    select({"1A2B.exe"});
    view->openSelection(Qt::NoModifier);
    EXPECT_EQ(urls.opened.size(), 1);
    EXPECT_FALSE(view->titleWatch().running());
    EXPECT_EQ(panes[2], "The title watch is off: window titles are read on X11 only");
}

TEST_F(OpenTest, DroppedFolderOpensTheFolderThatHoldsIt) {
    folder.mkdir("there");
    folder.mkdir("there/inner");
    open(folder.path());
    paint();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(folder.file("there/inner/"))),
                  QUrl::fromLocalFile(Q(folder.path()))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->detailsView()->viewport(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->detailsView()->viewport(), &drop);
    EXPECT_EQ(doc.GetCurrentFolderPath(), folder.path() + "there/");
    EXPECT_EQ(names(), QStringList{"inner"});
}

TEST_F(OpenTest, EscDuringAColumnSortStopsItThroughTheRealCheck) {
    for (int i = 0; i < 2000; ++i)
        folder.write(std::to_string(100000 + i) + ".tst",
                     "TST\n\n\n\n\n\n\n\n\n" + std::to_string(3000 - i) + "\n");
    open(folder.path());
    const QStringList before = names();
    const int readsBefore = CCountingReader::reads;
    QTimer::singleShot(0, [this] { QTest::keyClick(view->detailsView(), Qt::Key_Escape); });
    emit view->detailsView()->horizontalHeader()->sectionClicked(9);

    EXPECT_LT(CCountingReader::reads - readsBefore, 2000) << "the sort stopped before reading all";
    EXPECT_EQ(view->model().headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(),
              "ProductVersion (9)")
        << "no marker";
    EXPECT_EQ(view->sorter().lastClickedColumn(), -1);
    EXPECT_EQ(view->sortMode(), SortByColumnKeys);
    QStringList after = names();
    after.sort();
    EXPECT_EQ(after, before) << "every row is still there";
    expectConsistent();

    emit view->detailsView()->horizontalHeader()->sectionClicked(9);
    EXPECT_EQ(names().front(), "101999.tst") << "without Esc the sort completes";
    EXPECT_EQ(view->model().headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(),
              "ProductVersion (9) *");
}

TEST_F(OpenTest, ByTypeAfterAColumnSortRemovesTheMarkerAndRepopulationKeepsIt) {
    folder.write("a.txt", ReadableContent("3"));
    folder.write("b.png", ReadableContent("1"));
    folder.write("c.html", ReadableContent("2"));
    folder.mkdir("z");
    open(folder.path());
    emit view->detailsView()->horizontalHeader()->sectionClicked(3);
    EXPECT_EQ(view->model().headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
              "OriginalFilename (3) *");
    view->sortFixed(SortByType);
    EXPECT_EQ(view->model().headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
              "OriginalFilename (3)");
    EXPECT_EQ(view->sortMode(), SortByType);

    std::vector<std::pair<std::string, QString>> files;
    for (const char* name : {"a.txt", "b.png", "c.html"})
        files.emplace_back(doc.GetTypeName(doc.findRecord(name)), name);
    std::stable_sort(files.begin(), files.end(), [](const auto& x, const auto& y) {
        return CompareNoCase(x.first, y.first) < 0;
    });
    QStringList expected{"z"};
    for (const auto& file : files)
        expected << file.second;
    view->rescan();
    EXPECT_EQ(names(), expected);
}

} // namespace
} // namespace tressel::test
