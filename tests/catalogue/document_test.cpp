#include "catalogue/document.h"
#include "isolated_settings.h"
#include "settings/settings_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tressel {
namespace {

// Collects what the document tells its view during a refresh.
struct RecordingView : IDocumentView {
    std::vector<int> removed;
    std::vector<int> addedFrom;
    void removeRecordRow(int record) override { removed.push_back(record); }
    void addRecordRows(int firstRecord) override { addedFrom.push_back(firstRecord); }
};

class DocumentTest : public ::testing::Test {
protected:
    std::vector<std::string> names(CMarlockUtilDoc& doc) {
        std::vector<std::string> out;
        for (int i = 0; i < doc.GetRecordCount(); ++i)
            out.push_back(doc.GetItemName(i, NameMode::InFolder));
        return out;
    }

    test::IsolatedSettings settings;
    test::TempDir sat;
};

TEST_F(DocumentTest, OpensAFolderWithOneRecordPerEntryHiddenOnesIncluded) {
    sat.write("b.zip", "zip");
    sat.write("A.exe", "exe");
    sat.write(".hidden", "h");
    sat.mkdir("Files");
    CMarlockUtilDoc doc;
    EXPECT_TRUE(doc.OpenFolderPath(sat.path()));
    ASSERT_EQ(doc.GetRecordCount(), 4);
    EXPECT_EQ(names(doc), (std::vector<std::string>{".hidden", "A.exe", "b.zip", "Files"}));
    EXPECT_EQ(doc.GetCurrentFolderPath(), sat.path());
    EXPECT_EQ(doc.title(), sat.path());
    EXPECT_EQ(doc.GetItemName(1, NameMode::Parsing), sat.path() + "A.exe");
    EXPECT_EQ(doc.GetItemName(4, NameMode::Parsing), "");
    EXPECT_EQ(doc.GetItemName(-1, NameMode::InFolder), "");

    EXPECT_TRUE(doc.GetAttributes(0, 0) & SFGAO_GHOSTED);
    EXPECT_FALSE(doc.GetAttributes(1, 0) & SFGAO_GHOSTED);
    EXPECT_TRUE(doc.GetAttributes(3, SFGAO_FOLDER) & SFGAO_FOLDER);
    EXPECT_FALSE(doc.GetAttributes(2, SFGAO_FOLDER) & SFGAO_FOLDER); // an archive is a file
    EXPECT_TRUE(doc.GetAttributes(2, 0) & SFGAO_FILESYSTEM);
}

TEST_F(DocumentTest, RefreshVacatesVanishedRecordsAndAppendsNewOnes) {
    sat.write("0.bin", "0");
    sat.write("1.bin", "1");
    sat.write("2.bin", "2");
    sat.mkdir("3");
    CMarlockUtilDoc doc;
    RecordingView view;
    doc.setView(&view);
    doc.OpenFolderPath(sat.path());
    ASSERT_EQ(doc.GetRecordSize(2), 1u);

    ASSERT_EQ(::unlink(sat.file("1.bin").c_str()), 0);
    doc.RefreshChanges();
    EXPECT_EQ(view.removed, std::vector<int>{1});
    EXPECT_TRUE(view.addedFrom.empty());
    EXPECT_TRUE(doc.isVacated(1));
    EXPECT_EQ(doc.GetRecordCount(), 4);
    EXPECT_EQ(doc.GetItemName(2, NameMode::InFolder), "2.bin");

    sat.write("new.bin", "new!");
    doc.RefreshChanges();
    EXPECT_EQ(view.addedFrom, std::vector<int>{4});
    EXPECT_EQ(doc.GetItemName(4, NameMode::InFolder), "new.bin");
    EXPECT_EQ(doc.GetRecordSize(4), 4u);

    // Renamed outside: the old record goes, the name comes back as a new record.
    ASSERT_EQ(::rename(sat.file("0.bin").c_str(), sat.file("zero.bin").c_str()), 0);
    view = {};
    doc.RefreshChanges();
    EXPECT_EQ(view.removed, std::vector<int>{0});
    EXPECT_EQ(view.addedFrom, std::vector<int>{5});
    EXPECT_EQ(doc.GetItemName(5, NameMode::InFolder), "zero.bin");
    EXPECT_EQ(doc.findRecord("zero.bin"), 5);
    EXPECT_EQ(doc.findRecord("0.bin"), -1);

    // A full rescan renumbers from 0.
    doc.Rescan();
    EXPECT_EQ(names(doc), (std::vector<std::string>{"2.bin", "3", "new.bin", "zero.bin"}));
}

TEST_F(DocumentTest, SizeAndTimeAreCachedTogetherUntilTheNextRescan) {
    const std::string path = sat.write("a.bin", "12345");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    CMarlockUtilDoc doc;
    doc.OpenFolderPath(sat.path());
    // 2001-09-09T01:46:40Z in 100-ns units since 1601, plus 500 ns rounded down.
    EXPECT_EQ(doc.GetLastWriteTime(0), (1000000000ULL + 11644473600ULL) * 10000000ULL + 5);
    sat.write("a.bin", "1234567890");
    EXPECT_EQ(doc.GetRecordSize(0), 5u);
    doc.Rescan();
    EXPECT_EQ(doc.GetRecordSize(0), 10u);
}

TEST_F(DocumentTest, AVanishedRecordAnswersZeroSizeAndTime) {
    sat.write("gone.bin", "xyz");
    CMarlockUtilDoc doc;
    doc.OpenFolderPath(sat.path());
    ::unlink(sat.file("gone.bin").c_str());
    EXPECT_EQ(doc.GetRecordSize(0), 0u);
    EXPECT_EQ(doc.GetLastWriteTime(0), 0u);
}

int OpenDescriptors() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

// The window's document holds no descriptor of the folder (its file system stays free
// to unmount); a kept one answers the same facts relative to the folder.
TEST_F(DocumentTest, TheFolderIsHeldOpenOnlyWhenAskedAndAnswersTheSameFacts) {
    sat.write("a.bin", "12345");
    sat.mkdir("sub");
    for (const bool kept : {false, true}) {
        const int before = OpenDescriptors();
        CMarlockUtilDoc doc;
        doc.keepFolderOpen(kept);
        ASSERT_TRUE(doc.TryOpenFolderPath(sat.path()));
        EXPECT_EQ(OpenDescriptors(), before + (kept ? 1 : 0)) << kept;
        const int file = doc.findRecord("a.bin");
        EXPECT_EQ(doc.GetRecordSize(file), 5u) << kept;
        EXPECT_TRUE(doc.GetAttributes(doc.findRecord("sub"), 0) & SFGAO_FOLDER) << kept;
        const ReaderTrace onFile = doc.ReadInformation(file, true).attempts;
        ASSERT_FALSE(onFile.empty());
        EXPECT_NE(onFile.front().reader, nullptr) << "a regular file goes to the readers";
        const ReaderTrace onFolder = doc.ReadInformation(doc.findRecord("sub"), true).attempts;
        ASSERT_EQ(onFolder.size(), 1u);
        EXPECT_EQ(onFolder.front().reader, nullptr);
        doc.Rescan();
        EXPECT_EQ(doc.GetRecordCount(), 2);
    }
}

TEST_F(DocumentTest, UpOpensTheParentAndDoesNothingAtTheRoot) {
    sat.mkdir("Files");
    CMarlockUtilDoc doc;
    doc.OpenFolderPath(sat.file("Files"));
    EXPECT_EQ(doc.GetCurrentFolderPath(), sat.path() + "Files/");
    doc.GoUp();
    EXPECT_EQ(doc.GetCurrentFolderPath(), sat.path());
    EXPECT_EQ(doc.title(), sat.path());
    EXPECT_EQ(doc.findRecord("Files"), 0);

    doc.OpenFolderPath("/");
    doc.GoUp();
    EXPECT_EQ(doc.GetCurrentFolderPath(), "/");
}

TEST_F(DocumentTest, RelativePathsAndItemIdsResolveAgainstTheOpenFolder) {
    sat.mkdir("Files/Deep");
    CMarlockUtilDoc doc;
    doc.OpenFolderPath(sat.path());
    EXPECT_TRUE(doc.OpenFolderItem("Files"));
    EXPECT_EQ(doc.GetCurrentFolderPath(), sat.path() + "Files/");
    doc.OpenFolderPath("Deep/..");
    EXPECT_EQ(doc.GetCurrentFolderPath(), sat.path() + "Files/");
    EXPECT_FALSE(doc.OpenFolderItem("missing"));
    EXPECT_FALSE(doc.OpenFolderItem(""));
    EXPECT_EQ(doc.GetCurrentFolderPath(), sat.path() + "Files/");
}

TEST_F(DocumentTest, AFolderThatCannotBeOpenedLeavesTheOpenFolderAsItWas) {
    sat.write("keep.txt", "k");
    const std::string locked = sat.mkdir("locked");
    CMarlockUtilDoc doc;
    doc.OpenFolderPath(sat.path());
    EXPECT_TRUE(doc.OpenFolderPath(sat.file("no-such-folder"))); // reports success anyway
    EXPECT_FALSE(doc.TryOpenFolderPath(sat.file("keep.txt")));
    if (::geteuid() != 0) {
        ::chmod(locked.c_str(), 0);
        EXPECT_FALSE(doc.TryOpenFolderPath(locked));
    }
    EXPECT_EQ(doc.GetCurrentFolderPath(), sat.path());
    EXPECT_EQ(doc.GetRecordCount(), 2);
}

TEST_F(DocumentTest, NamesThatAreNotUtf8ListAndKeepTheirBytes) {
    const std::string name = "caf\xE9-\xFF.bin";
    sat.write(name, "bytes");
    CMarlockUtilDoc doc;
    doc.OpenFolderPath(sat.path());
    ASSERT_EQ(doc.GetRecordCount(), 1);
    EXPECT_EQ(doc.GetItemName(0, NameMode::InFolder), name);
    EXPECT_EQ(doc.GetRecordSize(0), 5u);
    EXPECT_EQ(test::ReadWholeFile(doc.GetItemName(0, NameMode::Parsing)), "bytes");
}

TEST_F(DocumentTest, ReadsInformationOnlyFromRegularFiles) {
    sat.write("plain.txt", "nothing to read");
    sat.mkdir("dir.exe");
    ASSERT_EQ(::mkfifo(sat.file("pipe.exe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("nowhere", sat.file("dangling.exe").c_str()), 0);
    CMarlockUtilDoc doc;
    doc.setScanAll(true);
    doc.OpenFolderPath(sat.path());
    ASSERT_EQ(doc.GetRecordCount(), 4);
    // A FIFO would block a reader that opened it; none of these may even be tried.
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        const InformationResult info = doc.ReadInformation(i);
        EXPECT_FALSE(info.recognised) << doc.GetItemName(i, NameMode::InFolder);
        EXPECT_TRUE(info.values.empty());
    }
    EXPECT_FALSE(doc.GetAttributes(doc.findRecord("dangling.exe"), 0) & SFGAO_FOLDER);
}

TEST_F(DocumentTest, TypeAndIconNamesComeFromTheFileNameAlone) {
    sat.write("notes.txt", "");
    sat.write("weird.zip", "not a zip at all");
    sat.mkdir("Files.zip");
    CMarlockUtilDoc doc;
    doc.OpenFolderPath(sat.path());
    const int folder = doc.findRecord("Files.zip");
    const int zip = doc.findRecord("weird.zip");
    EXPECT_EQ(doc.GetTypeName(zip), doc.GetTypeName(folder)); // a folder typed by its name
    EXPECT_NE(doc.GetTypeName(zip), doc.GetTypeName(doc.findRecord("notes.txt")));
    EXPECT_EQ(doc.GetIconName(folder), "folder");
    EXPECT_NE(doc.GetIconName(zip), "folder");
}

// The theme is asked for the type's own icon, then its generic icon, then a plain file.
TEST_F(DocumentTest, IconNamesFallBackToWhatTheThemeHas) {
    sat.write("song.mp3", "");
    CMarlockUtilDoc doc;
    doc.OpenFolderPath(sat.path());
    const int song = doc.findRecord("song.mp3");
    const std::vector<std::pair<std::set<std::string>, std::string>> cases = {
        {{"audio-mpeg", "audio-x-generic", "text-x-generic"}, "audio-mpeg"},
        {{"audio-x-generic", "text-x-generic"}, "audio-x-generic"},
        {{"text-x-generic"}, "text-x-generic"},
        {{}, "text-x-generic"},
    };
    for (const auto& [theme, expected] : cases) {
        EXPECT_EQ(doc.GetIconName(song, [&](const std::string& n) { return theme.count(n) > 0; }),
                  expected);
    }
    EXPECT_EQ(doc.GetIconName(song), "audio-mpeg") << "no theme to ask";
}

TEST_F(DocumentTest, ColumnNamesAreNameThenTheNineNumberedFields) {
    CMarlockUtilDoc doc;
    const auto& columns = doc.ColumnNames();
    ASSERT_EQ(columns.size(), 10u);
    EXPECT_EQ(columns[0], "Name");
    EXPECT_EQ(columns[1], "FileDescription (1)");
    EXPECT_EQ(columns[3], "OriginalFilename (3)");
    EXPECT_EQ(columns[9], "ProductVersion (9)");
}

TEST_F(DocumentTest, ScanAllIsReadFromAndWrittenBackToTheStore) {
    SettingsStore::instance().writeInt("Settings", "ScanAll", 1);
    {
        CMarlockUtilDoc doc;
        EXPECT_TRUE(doc.scanAll());
        doc.setScanAll(false);
    }
    EXPECT_EQ(SettingsStore::instance().readInt("Settings", "ScanAll", 7), 0);
}

TEST(IsNumberedName, HexDigitsAndPunctuationOnly) {
    EXPECT_TRUE(CMarlockUtilDoc::IsNumberedName("0A1B2C3D.exe"));
    EXPECT_TRUE(CMarlockUtilDoc::IsNumberedName("12-34_5F.zip"));
    EXPECT_TRUE(CMarlockUtilDoc::IsNumberedName("A1B2.C3D4.tmp"));
    EXPECT_TRUE(CMarlockUtilDoc::IsNumberedName(".htaccess"));
    EXPECT_TRUE(CMarlockUtilDoc::IsNumberedName("{7F}[00]~a1"));
    EXPECT_FALSE(CMarlockUtilDoc::IsNumberedName("0x1234.bin"));
    EXPECT_FALSE(CMarlockUtilDoc::IsNumberedName("12 34.txt"));
    EXPECT_FALSE(CMarlockUtilDoc::IsNumberedName("readme.txt"));
    EXPECT_FALSE(CMarlockUtilDoc::IsNumberedName("AB\xC3\x9C.bin"));
}

} // namespace
} // namespace tressel
