#include "../listview/gui_fixture.h"
#include "../readers/zip_builder.h"

#include "app/application.h"
#include "app/main_frame.h"
#include "listview/row_reader.h"
#include "listview/view.h"
#include "preview/log_font.h"
#include "preview/my_preview.h"
#include "preview/preview_content.h"
#include "readers/archive_reader.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QUrl>

#include <array>
#include <functional>
#include <sys/stat.h>

namespace tressel::test {
namespace {

const QString kNoPreview = "Generating Preview...No Preview";
constexpr std::array kSwitches = {CMyPreview::Textual, CMyPreview::Media, CMyPreview::Archives,
                                  CMyPreview::Swf};

std::string PngBytes(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// The banner the archive texts put before each member, as the text control shows it.
QString Banner(const QString& name) {
    return "\n" + QString(36, '|') + "__" + name + "__" + QString(35, '|') + "\n\n";
}

class PreviewTest : public GuiTest {
protected:
    QString path(const std::string& name, const std::string& bytes) {
        return QString::fromStdString(folder.write(name, bytes));
    }
    // Previews on worker threads and waits for the answer.
    bool previewAndWait(CMyPreview& pane, const QString& file) {
        QSignalSpy finished(&pane, &CMyPreview::previewFinished);
        pane.Preview(file);
        EXPECT_TRUE(WaitUntil([&] { return finished.size() > 0; }));
        return pane.isShowing();
    }
    CRowReader workers{1};
};

TEST_F(PreviewTest, EachKindOfFileShowsWhatItSays) {
    const std::string longReadme(kMaxPreviewMemberBytes + 10, 'x');
    struct Case {
        const char* name;
        std::string file;
        std::string bytes;
        std::function<void(CMyPreview&)> setUp;
        std::function<bool(const QString& text)> expected;
    };
    const std::vector<Case> cases = {
        {"archive readme with its banner",
         "pack.zip",
         BuildZip({{"readme.txt", "Orbit Tracker\r\nline two"}}, "Comment"),
         {},
         [](const QString& t) {
             return t.contains(Banner("readme.txt") + "Orbit Tracker\nline two") &&
                    t.startsWith("Comment");
         }},
        {"member over the limit is cut",
         "big.zip",
         BuildZip({{"readme.txt", longReadme}}),
         {},
         [](const QString& t) {
             return t.endsWith(QString(100, 'x') + "\n\nTressel Renamer truncated this file") &&
                    !t.contains(QString(kMaxPreviewMemberBytes + 1, 'x'));
         }},
        {"archive with Textual off", "off.zip", BuildZip({{"readme.txt", "Hidden text"}}),
         [](CMyPreview& p) { p.setSwitch(CMyPreview::Textual, false); },
         [](const QString& t) { return t == kNoPreview; }},
        {"archive with Archives off is no text file", "noarc.zip",
         BuildZip({{"readme.txt", "Hidden text"}}),
         [](CMyPreview& p) { p.setSwitch(CMyPreview::Archives, false); },
         [](const QString& t) { return t == kNoPreview; }},
        {"lyrics of a Windows Media file",
         "song.wma",
         ReadWholeFile(SourcePath("tests/fixtures/media/tags.wma")),
         {},
         [](const QString& t) { return t.contains("First line") && t.contains("second line"); }},
        {"nfo in CP437",
         "group.nfo",
         "\xC9\xCD\xBB Release \xB0\xB1\xB2",
         {},
         [](const QString& t) { return t == QString::fromUtf8("╔═╗ Release ░▒▓"); }},
        {"txt in Windows-1252",
         "notes.txt",
         "caf\xE9",
         {},
         [](const QString& t) { return t == QString::fromUtf8("café"); }},
        {"text without extension",
         "README",
         "Plain words\n",
         {},
         [](const QString& t) { return t == "Plain words\n"; }},
        {"binary without extension",
         "0A1B2C",
         std::string("MZ\0\0\x90", 5),
         {},
         [](const QString& t) { return t == kNoPreview; }},
        {"unknown extension",
         "data.bin",
         "Plain words",
         {},
         [](const QString& t) { return t == kNoPreview; }},
        {"image with Media off", "shot.png", PngBytes(8, 8),
         [](CMyPreview& p) { p.setSwitch(CMyPreview::Media, false); },
         [](const QString& t) { return t == kNoPreview; }},
    };
    for (const Case& c : cases) {
        CMyPreview pane(&workers);
        for (auto which : kSwitches)
            pane.setSwitch(which, true); // the case before stored its own
        if (c.setUp)
            c.setUp(pane);
        const bool shown = previewAndWait(pane, path(c.file, c.bytes));
        EXPECT_TRUE(c.expected(pane.text()))
            << c.name << ": " << pane.text().left(300).toStdString();
        EXPECT_EQ(shown, pane.text() != kNoPreview) << c.name;
    }
}

TEST_F(PreviewTest, TextCutAtTheLimitStaysUtf8) {
    std::string text(kMaxPlainTextBytes - 1, 'a');
    text += "\xC3\xA9 more"; // "é" across the limit
    const std::optional<std::string> shown =
        PlainTextOf("cut.txt", std::string_view(text).substr(0, kMaxPlainTextBytes));
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown, std::string(kMaxPlainTextBytes - 1, 'a'));
}

TEST_F(PreviewTest, ImageIsScaledDownToThePane) {
    CMyPreview pane(&workers);
    pane.resize(100, 80);
    ASSERT_TRUE(previewAndWait(pane, path("shot.png", PngBytes(400, 200))));
    const QPixmap shown = pane.shownImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.width(), 100);
    EXPECT_EQ(shown.height(), 50);
    EXPECT_TRUE(pane.textControl()->isHidden());
}

TEST_F(PreviewTest, SameFileTwiceIsNotRegenerated) {
    CMyPreview pane(&workers);
    const QString file = path("a.txt", "text");
    ASSERT_TRUE(previewAndWait(pane, file));
    QSignalSpy finished(&pane, &CMyPreview::previewFinished);
    EXPECT_TRUE(pane.Preview(file));
    EXPECT_EQ(pane.text(), "text");
    pane.Preview(file, true);
    EXPECT_EQ(pane.text(), "Generating Preview...") << "forced asks again";
    ASSERT_TRUE(WaitUntil([&] { return finished.size() == 1; }));
    EXPECT_EQ(pane.text(), "text");
}

TEST_F(PreviewTest, ClearAndDisablingForgetTheFile) {
    CMyPreview pane(&workers);
    const QString file = path("a.txt", "text");
    ASSERT_TRUE(previewAndWait(pane, file));
    pane.setPreviewEnabled(false);
    EXPECT_FALSE(pane.isShowing());
    EXPECT_TRUE(pane.currentPath().isEmpty());
    EXPECT_FALSE(pane.Preview(file)) << "disabled: nothing happens";
    EXPECT_TRUE(pane.text().isEmpty());
    pane.setPreviewEnabled(true);
    EXPECT_TRUE(previewAndWait(pane, file));
}

TEST_F(PreviewTest, FifoUnderATextNameIsNeverWaitedFor) {
    const std::string fifo = folder.file("pipe.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CMyPreview pane(&workers);
    EXPECT_FALSE(previewAndWait(pane, QString::fromStdString(fifo)));
    EXPECT_EQ(pane.text(), kNoPreview);
}

TEST_F(PreviewTest, ResultOfAnOlderRequestIsDropped) {
    CMyPreview pane(&workers);
    QSignalSpy finished(&pane, &CMyPreview::previewFinished);
    pane.Preview(path("a.txt", "first"));
    pane.Preview(path("b.txt", "second"));
    ASSERT_TRUE(WaitUntil([&] { return finished.size() == 1; }));
    WaitUntil([] { return false; }, 50);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(pane.text(), "second");
}

TEST_F(PreviewTest, DropOfSeveralFilesPreviewsTheFirst) {
    CMyPreview pane(&workers);
    const QString first = path("first.txt", "one");
    const QString second = path("second.txt", "two");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    QSignalSpy finished(&pane, &CMyPreview::previewFinished);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&pane, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&pane, &drop);
    ASSERT_TRUE(WaitUntil([&] { return finished.size() == 1; }));
    EXPECT_EQ(pane.currentPath(), first);
    EXPECT_EQ(pane.text(), "one");
}

TEST_F(PreviewTest, WordWrapMakesTheControlAgainWithItsTextAndFont) {
    CMyPreview pane(&workers);
    ASSERT_TRUE(previewAndWait(pane, path("a.txt", "a long line")));
    QFont font("Monospace");
    font.setPixelSize(17);
    pane.setTextFont(font);
    const QPlainTextEdit* before = pane.textControl();
    EXPECT_EQ(before->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    pane.toggleWordWrap();
    const QPlainTextEdit* after = pane.textControl();
    EXPECT_NE(after, before);
    EXPECT_EQ(after->toPlainText(), "a long line");
    EXPECT_EQ(after->font().pixelSize(), 17);
    EXPECT_EQ(after->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(after->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(after->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(PreviewTest, FlagsFontAndShareSurviveARestart) {
    QFont font("Serif");
    font.setPixelSize(21);
    font.setBold(true);
    font.setItalic(true);
    {
        CMyPreview pane(&workers);
        for (auto which :
             {CMyPreview::Textual, CMyPreview::Media, CMyPreview::Archives, CMyPreview::Swf})
            pane.setSwitch(which, false);
        pane.setPreviewEnabled(false);
        pane.toggleWordWrap();
        pane.setTextFont(font);
        pane.setListShare(6000);
    }
    const std::optional<QByteArray> record =
        SettingsStore::instance().readBinary("settings", "CurFont");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->size(), kLogFontBytes);
    CMyPreview pane(&workers);
    for (auto which : kSwitches)
        EXPECT_FALSE(pane.switchOn(which)) << which;
    EXPECT_FALSE(pane.isPreviewEnabled());
    EXPECT_TRUE(pane.wordWrap());
    EXPECT_EQ(pane.listShare(), 6000);
    EXPECT_EQ(pane.textFont().family(), "Serif");
    EXPECT_EQ(pane.textFont().pixelSize(), 21);
    EXPECT_TRUE(pane.textFont().bold());
    EXPECT_TRUE(pane.textFont().italic());
}

TEST(LogFont, FaceNameIsCutAtACharacterAndTheRecordIsSixtyBytes) {
    QFont font(QString(20, QChar(0x00DC))); // 40 bytes of UTF-8
    const QByteArray record = LogFontFromQFont(font);
    ASSERT_EQ(record.size(), kLogFontBytes);
    EXPECT_EQ(record[kLogFontBytes - 1], '\0');
    EXPECT_EQ(QFontFromLogFont(record)->family(), QString(15, QChar(0x00DC)));
    EXPECT_FALSE(QFontFromLogFont(record.left(59)));
}

TEST(ListWidthForShare, LeavesThePaneTenPixelsAtLeast) {
    const std::vector<std::tuple<int, int, int>> cases = {
        // room, share in ten-thousandths, list width
        {1000, 6000, 600},  {1000, 0, 750}, {1000, 9950, 985},
        {1000, 10000, 990}, {5, 5000, 0},   {0, 5000, 0},
    };
    for (const auto& [room, share, list] : cases)
        EXPECT_EQ(ListWidthForShare(room, share), list) << room << " " << share;
}

class PreviewFrameTest : public GuiTest {};

TEST_F(PreviewFrameTest, AutoHideHidesThePaneWithNothingToShowAndShowingComesBack) {
    CTresselApplication program;
    program.start({}, false);
    CMainFrame& frame = *program.frame();
    frame.showFirstTime();
    CMyPreview& pane = frame.preview();
    const QString empty = QString::fromStdString(folder.write("0A1B", std::string(8, '\0')));
    const QString text = QString::fromStdString(folder.write("notes.txt", "Notes"));
    pane.Preview(empty);
    ASSERT_TRUE(WaitUntil([&] { return pane.isHidden(); }));
    EXPECT_TRUE(pane.currentPath().isEmpty()) << "hiding clears the pane";
    pane.Preview(text);
    ASSERT_TRUE(WaitUntil([&] { return !pane.isHidden(); }));
    EXPECT_EQ(pane.text(), "Notes");
    EXPECT_GE(pane.width(), 10);

    QApplication::setActiveWindow(&frame);
    frame.action("switchPreviewFocus")->trigger();
    EXPECT_TRUE(pane.textControl()->hasFocus()) << "the pane's focus goes to its text";

    frame.action("previewAutoHide")->trigger();
    pane.Preview(empty);
    ASSERT_TRUE(WaitUntil([&] { return pane.text() == kNoPreview; }));
    EXPECT_FALSE(pane.isHidden());
}

TEST_F(PreviewFrameTest, SelectingOneFileInTheListPreviewsIt) {
    folder.write("0A.txt", "first file");
    folder.write("0B.txt", "second file");
    CTresselApplication program;
    program.start({QString::fromStdString(folder.file("0A.txt"))}, false);
    CMainFrame& frame = *program.frame();
    frame.showFirstTime();
    CMyPreview& pane = frame.preview();
    ASSERT_TRUE(WaitUntil([&] { return pane.text() == "first file"; }));
    frame.view().currentView()->selectAll();
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(pane.text(), "first file") << "two files selected: no preview asked";
}

TEST_F(PreviewFrameTest, MenuSwitchesSetThePanesFlags) {
    CTresselApplication program;
    program.start({}, false);
    CMainFrame& frame = *program.frame();
    CMyPreview& pane = frame.preview();
    const std::vector<std::pair<const char*, std::function<bool()>>> switches = {
        {"previewTextual", [&] { return pane.switchOn(CMyPreview::Textual); }},
        {"previewMedia", [&] { return pane.switchOn(CMyPreview::Media); }},
        {"previewArchives", [&] { return pane.switchOn(CMyPreview::Archives); }},
        {"previewSwf", [&] { return pane.switchOn(CMyPreview::Swf); }},
        {"previewEnabled", [&] { return pane.isPreviewEnabled(); }},
        {"wordWrap", [&] { return pane.wordWrap(); }},
    };
    for (const auto& [name, state] : switches) {
        QAction* action = frame.action(name);
        ASSERT_TRUE(action && action->isEnabled()) << name;
        EXPECT_TRUE(action->isChecked() == state()) << name;
        action->trigger();
        EXPECT_EQ(action->isChecked(), state()) << name;
    }
    EXPECT_EQ(frame.action("wordWrap")->shortcut(), QKeySequence("Ctrl+W"));
}

} // namespace
} // namespace tressel::test
