#include "cli_fixture.h"
#include "settings/settings_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace tressel::cli {
namespace {

namespace fs = std::filesystem;

// A folder of the project's own fixtures and samples under wrong, missing and right
// names, as they arrive from a broadcast.
class FixExtCliTest : public CliTest {
protected:
    void SetUp() override {
        const struct {
            const char* source;
            const char* name;
        } copies[] = {
            {"tests/fixtures/exe/us_english.exe", "7F00A1.bin"},
            {"tests/fixtures/exe/us_english.exe", "0A1B2C7C"},
            {"tests/fixtures/exe/two_tables.exe", "12-34_5F.zip"},
            {"tests/fixtures/exe/us_english.exe", "C0DE.bin"},
            {"tests/fixtures/exe/two_tables.exe", "C0DE.exe"},
            {"tests/fixtures/exe/german.dll", "EMPFANG.DLL"},
            {"tests/fixtures/exe/no_comments.exe", "saver.scr"},
            {"samples/archives/orbit-tracker.zip", "tracker.jar"},
            {"samples/archives/orbit-tracker-sfx.exe", "setup.exe"},
            {"tests/fixtures/media/clip.wmv", "00FF"},
            {"tests/fixtures/media/info.wav", "1234.avi"},
            {"tests/fixtures/documents/ghostscript.pdf", "55AA.dat"},
            {"samples/documents/subscription-prices.htm", "prices.htm"},
            {"samples/text/notes.txt", "notes.txt"},
        };
        for (const auto& copy : copies)
            fs::copy_file(test::SourcePath(copy.source), sat.file(copy.name));
        sat.write("0001", "Frequencies for the autumn schedule\n");
        sat.write("README", "Read me first\n");
        sat.write("changelog.gz", std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10));
        sat.write(".0002", "a hidden note\n");
        fs::create_symlink("0A1B2C7C", sat.file("ABCD"));
        fs::copy_file("/bin/true", sat.file("libtrue.so.6"));
        const std::string jpeg = "convert -size 8x8 xc:red jpeg:" + sat.file("77.dat");
        ASSERT_EQ(std::system(jpeg.c_str()), 0) << "ImageMagick's convert makes the JPEG";
    }
};

TEST_F(FixExtCliTest, DryRunRealRunAndUndoAgree) {
    const std::string before = test::FolderSnapshot(sat.path());
    const std::string expected = "0001 -> 0001.txt\n"
                                 "00FF -> 00FF.wmv\n"
                                 "0A1B2C7C -> 0A1B2C7C.exe\n"
                                 "12-34_5F.zip -> 12-34_5F.exe\n"
                                 "1234.avi -> 1234.wav\n"
                                 "55AA.dat -> 55AA.pdf\n"
                                 "77.dat -> 77.jpg\n"
                                 "7F00A1.bin -> 7F00A1.exe\n"
                                 "C0DE.bin -> C0DE[1].exe\n"
                                 "9 Renamed, Selected Unchanged\n";

    EXPECT_EQ(tressel({"fixext", "--dry-run", sat.path()}), 0) << err.str();
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(test::FolderSnapshot(sat.path()), before);

    EXPECT_EQ(tressel({"fixext", sat.path()}), 0) << err.str();
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(sat.listing(), ".0002;0001.txt;00FF.wmv;0A1B2C7C.exe;12-34_5F.exe;1234.wav;55AA.pdf;"
                             "77.jpg;7F00A1.exe;ABCD;C0DE.exe;C0DE[1].exe;EMPFANG.DLL;README;"
                             "changelog.gz;libtrue.so.6;notes.txt;prices.htm;saver.scr;setup.exe;"
                             "tracker.jar;");
    EXPECT_EQ(tressel({"fixext", sat.path()}), 0);
    EXPECT_EQ(out.str(), "0 Renamed, Selected Unchanged\n") << "nothing is left to fix";

    EXPECT_EQ(tressel({"undo", sat.path()}), 0) << err.str();
    EXPECT_EQ(test::FolderSnapshot(sat.path()), before);
}

TEST_F(FixExtCliTest, NamedFilesOnly) {
    EXPECT_EQ(tressel({"fixext", sat.path(), "0A1B2C7C", "README", "missing"}), 1);
    EXPECT_EQ(out.str(), "0A1B2C7C -> 0A1B2C7C.exe\n1 Renamed, Selected Unchanged\n");
    EXPECT_NE(err.str().find("missing: no such file"), std::string::npos) << err.str();
}

// The rename command gives the right extension at the same time, with --fix-ext or
// while the window's option is on, and not otherwise.
TEST_F(FixExtCliTest, RenameFixesExtensionsWhenAsked) {
    const std::string names[] = {"7F00A1.bin", "12-34_5F.zip", "EMPFANG.DLL"};
    EXPECT_EQ(tressel({"rename", "--column", "1", "--scan-all", "--dry-run", sat.path(), names[0],
                       names[1]}),
              0);
    EXPECT_EQ(out.str(), "7F00A1.bin -> Orbit Tracker.bin\n12-34_5F.zip -> Channel Sorter.zip\n"
                         "2 Renamed\n");
    EXPECT_EQ(tressel({"rename", "--column", "1", "--scan-all", "--fix-ext", sat.path(), names[0],
                       names[1]}),
              0);
    EXPECT_EQ(out.str(), "7F00A1.bin -> Orbit Tracker.exe\n12-34_5F.zip -> Channel Sorter.exe\n"
                         "2 Renamed\n");

    fs::create_directories(settings.home() + "TresselUtil");
    std::FILE* conf = std::fopen((settings.home() + "TresselUtil/TresselUtil.conf").c_str(), "w");
    ASSERT_NE(conf, nullptr);
    std::fputs("[Settings]\nFixExtensions=1\n", conf);
    std::fclose(conf);
    SettingsStore::reset();
    EXPECT_EQ(tressel({"rename", "--column", "2", "--dry-run", sat.path(), "0A1B2C7C", names[2]}),
              0);
    EXPECT_EQ(out.str(), "0A1B2C7C -> Orbit Suite.exe\nEMPFANG.DLL -> Satellitenempfang.DLL\n"
                         "2 Renamed\n");
}

TEST_F(FixExtCliTest, WrongUsage) {
    EXPECT_EQ(tressel({"fixext"}), 2);
    EXPECT_EQ(tressel({"fixext", "--column", "1", sat.path()}), 2);
    EXPECT_EQ(tressel({"fixext", sat.file("missing")}), 1);
    EXPECT_NE(err.str().find("folder cannot be read"), std::string::npos);
}

} // namespace
} // namespace tressel::cli
