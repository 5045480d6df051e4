#include "catalogue/document.h"
#include "catalogue/set_extensions.h"
#include "isolated_settings.h"
#include "operations/undo.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

class SetExtensionsTest : public ::testing::Test {
protected:
    std::vector<int> openAll() {
        doc.OpenFolderPath(sat.path());
        std::vector<int> records;
        for (int record = 0; record < doc.GetRecordCount(); ++record)
            records.push_back(record);
        return records;
    }
    SetExtensionsResult run(const std::string& from, const std::string& to, bool dryRun = false) {
        SetExtensionsOptions options;
        options.from = from;
        options.to = to;
        options.dryRun = dryRun;
        options.onRename = [this](int, const std::string& a, const std::string& b) {
            renamed.push_back(a + ">" + b);
        };
        return SetExtensions(doc, openAll(), group, options);
    }

    test::IsolatedSettings settings;
    test::TempDir sat;
    CMarlockUtilDoc doc;
    CUndoGroup group;
    std::vector<std::string> renamed;
};

TEST_F(SetExtensionsTest, AnEmptyFromGivesFilesWithoutExtensionTheNewOne) {
    for (const char* name : {"0A1B", "0A1C", "a.txt", ".hidden.cfg"})
        sat.write(name, name);
    sat.mkdir("folder");
    const SetExtensionsResult result = run("", "zip");
    EXPECT_EQ(renamed, (std::vector<std::string>{"0A1B>0A1B.zip", "0A1C>0A1C.zip"}));
    EXPECT_EQ(sat.listing(), ".hidden.cfg;0A1B.zip;0A1C.zip;a.txt;folder;");
    EXPECT_EQ(SetExtensionsStatus(result).english(), "Successfully set extension for 2 files");
    EXPECT_EQ(doc.GetItemName(1, NameMode::InFolder), "0A1B.zip") << "the record follows";
}

TEST_F(SetExtensionsTest, FromMatchesAnyCaseAndClashesAreNumbered) {
    for (const char* name : {"a.exe", "b.Exe", "c.EXE", "c.zip", "d.exe.bak"})
        sat.write(name, name);
    run("EXE", "zip");
    EXPECT_EQ(renamed, (std::vector<std::string>{"a.exe>a.zip", "b.Exe>b.zip", "c.EXE>c[1].zip"}));
    EXPECT_EQ(test::ReadWholeFile(sat.file("c.zip")), "c.zip") << "never overwritten";
    EXPECT_EQ(group.count(), 3u);

    EXPECT_EQ(group.moveBack({}), 0);
    EXPECT_EQ(sat.listing(), "a.exe;b.Exe;c.EXE;c.zip;d.exe.bak;");
}

TEST_F(SetExtensionsTest, AnEmptyNewExtensionRemovesItAndTheSameNameIsLeftAlone) {
    for (const char* name : {"a.bin", "b.zip"})
        sat.write(name, name);
    run("bin", "");
    run("zip", "zip");
    EXPECT_EQ(renamed, std::vector<std::string>{"a.bin>a"});
    EXPECT_EQ(sat.listing(), "a;b.zip;");
}

TEST_F(SetExtensionsTest, DryRunGivesTheRealRunsNamesAndMovesNothing) {
    for (const char* name : {"a.exe", "a.zip", "b.exe", "b.EXE"})
        sat.write(name, name);
    run("exe", "zip", true);
    const std::vector<std::string> imagined = renamed;
    EXPECT_EQ(sat.listing(), "a.exe;a.zip;b.EXE;b.exe;");
    EXPECT_TRUE(group.empty());
    renamed.clear();
    run("exe", "zip");
    EXPECT_EQ(renamed, imagined);
    EXPECT_EQ(renamed,
              (std::vector<std::string>{"a.exe>a[1].zip", "b.EXE>b.zip", "b.exe>b[1].zip"}));
}

TEST(ExtensionTexts, TypedTextsAndNames) {
    EXPECT_EQ(ExtensionText(".zip"), "zip");
    EXPECT_EQ(ExtensionText("zip"), "zip");
    EXPECT_TRUE(HasExtension("a.ZIP", "zip"));
    EXPECT_TRUE(HasExtension("noext", ""));
    EXPECT_FALSE(HasExtension("a.zip", ""));
    EXPECT_FALSE(HasExtension("a.zip.bak", "zip"));
    EXPECT_EQ(WithExtension("a.b.c", "zip"), "a.b.zip");
    EXPECT_EQ(WithExtension("a.b", ""), "a");
    EXPECT_EQ(CharacterCount("ÜberLänge"), 9u);
}

} // namespace
} // namespace tressel
