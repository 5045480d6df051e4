#include "cli/cli.h"
#include "isolated_settings.h"
#include "media_builders.h"
#include "settings/settings_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tressel::cli {
namespace {

class InfoCommandTest : public ::testing::Test {
protected:
    int run(const Args& args) {
        out.str("");
        err.str("");
        return cli::Run(args, out, err);
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

    test::IsolatedSettings settings;
    test::TempDir sat;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(InfoCommandTest, TablePrintsTheHeaderOnceThenOneLinePerEntryInNameOrder) {
    sat.write("b.bin", "x");
    sat.write("A.bin", "x");
    sat.mkdir("c");
    const std::string other = sat.mkdir("other");
    sat.write("other/z.bin", "z");
    EXPECT_EQ(run({"info", sat.path(), other}), 0);
    const auto got = lines();
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0], "Name\tFileDescription (1)\tProductName (2)\tOriginalFilename (3)\t"
                      "InternalName (4)\tCompanyName (5)\tLegalCopyright (6)\tComments (7)\t"
                      "FileVersion (8)\tProductVersion (9)");
    EXPECT_EQ(got[1], "A.bin\t\t\t\t\t\t\t\t\t");
    EXPECT_EQ(got[2].substr(0, 6), "b.bin\t");
    EXPECT_EQ(got[3].substr(0, 2), "c\t");
    EXPECT_EQ(got[5].substr(0, 6), "z.bin\t");
    EXPECT_TRUE(err.str().empty());
}

TEST_F(InfoCommandTest, JsonMarksFoldersAndGivesHexForNamesThatAreNotUtf8) {
    sat.mkdir("sub");
    sat.write("caf\xE9.bin", "x");
    EXPECT_EQ(run({"info", "--json", sat.path()}), 0);
    const auto got = lines();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(
        got[0],
        "{\"name\": \"caf\xEF\xBF\xBD.bin\", \"name_hex\": \"636166e92e62696e\", "
        "\"folder\": false, \"recognised\": false, \"format\": null, \"values\": [], "
        "\"labels\": [], \"columns\": [\"\", \"\", \"\", \"\", \"\", \"\", \"\", \"\", \"\"]}");
    EXPECT_NE(got[1].find("\"name\": \"sub\", \"folder\": true"), std::string::npos);
}

TEST_F(InfoCommandTest, MissingPathsAreReportedAndTheOthersStillPrinted) {
    sat.write("a.bin", "x");
    EXPECT_EQ(run({"info", sat.file("missing"), sat.file("a.bin")}), 1);
    EXPECT_NE(err.str().find(sat.file("missing")), std::string::npos);
    const auto got = lines();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].substr(0, sat.file("a.bin").size()), sat.file("a.bin"));
}

TEST_F(InfoCommandTest, RelativePathsAreTakenFromTheStartDirectoryAfterAFolder) {
    sat.write("A/a.bin", "a");
    sat.write("B/b.bin", "b");
    sat.write("c.bin", "c");
    char* start = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(sat.path().c_str()), 0);
    const int status = run({"info", "A", "B", "c.bin"});
    ASSERT_EQ(::chdir(start), 0);
    std::free(start);
    EXPECT_EQ(status, 0) << err.str();
    const auto got = lines();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[1].substr(0, 6), "a.bin\t");
    EXPECT_EQ(got[2].substr(0, 6), "b.bin\t");
    EXPECT_EQ(got[3].substr(0, 6), "c.bin\t");
}

// The tool run as an unprivileged user (dropped with setpriv when the tests run as
// root, since root reads every file) on files it may not read.
TEST_F(InfoCommandTest, FilesThatMayNotBeReadAreReportedAndFailTheCommand) {
    ASSERT_EQ(::chmod(sat.path().c_str(), 0755), 0);
    sat.write("locked/secret.bin", "x");
    sat.write("locked/open.bin", "x");
    ASSERT_EQ(::chmod(sat.file("locked").c_str(), 0755), 0);
    ASSERT_EQ(::chmod(sat.file("locked/secret.bin").c_str(), 0), 0);
    const test::TempDir outputs; // written by this process, before privileges drop
    const std::string user =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const auto tressel = [&](const std::string& args) {
        const std::string command = "cd / && " + user + TRESSEL_CLI + " info " + args + " >" +
                                    outputs.file("out") + " 2>" + outputs.file("err");
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(tressel(sat.file("locked/secret.bin") + " " + sat.file("locked/open.bin")), 1);
    EXPECT_NE(test::ReadWholeFile(outputs.file("err"))
                  .find(sat.file("locked/secret.bin") + ": cannot be read (Permission denied)"),
              std::string::npos)
        << test::ReadWholeFile(outputs.file("err"));
    const std::string table = test::ReadWholeFile(outputs.file("out"));
    EXPECT_EQ(table.find("secret.bin"), std::string::npos) << "no empty row for it";
    EXPECT_NE(table.find(sat.file("locked/open.bin")), std::string::npos);
    // In a folder the entry is listed, and still reported.
    EXPECT_EQ(tressel(sat.file("locked")), 1);
    EXPECT_NE(test::ReadWholeFile(outputs.file("err")).find("secret.bin: cannot be read"),
              std::string::npos);
    EXPECT_EQ(tressel(sat.file("locked/open.bin")), 0);
}

TEST_F(InfoCommandTest, ControlCharactersFromTagsAreEscapedInTableAndJson) {
    // A title that would set the terminal's title, ring its bell and clear the screen,
    // and a C1 control (U+009B, a one-character escape sequence start).
    const std::string title = "\x1b]0;owned\x07Song\x1b[2J\xC2\x9B"
                              "1m";
    sat.write("0A1B.avi", test::AviFile(test::StreamList(test::StreamHeader("vids", 1, 25, 0)),
                                        test::InfoList({{"INAM", title}})));
    EXPECT_EQ(run({"info", sat.path()}), 0);
    EXPECT_NE(out.str().find("\n0A1B.avi\t\\x1b]0;owned\\x07Song\\x1b[2J\\u009b1m\t"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(run({"info", "--json", sat.path()}), 0);
    EXPECT_NE(out.str().find("\"values\": [\"\\u001b]0;owned\\u0007Song\\u001b[2J\\u009b1m\""),
              std::string::npos)
        << out.str();
    for (const char c : out.str())
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
}

TEST_F(InfoCommandTest, UsageErrorsAndHelp) {
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(run({"info"}), 2);
    EXPECT_EQ(run({"info", "--bogus", sat.path()}), 2);
    EXPECT_NE(err.str().find("--bogus"), std::string::npos);
    EXPECT_EQ(run({"info", "--json", "--json", sat.path()}), 2);
    EXPECT_NE(err.str().find("'--json' given more than once"), std::string::npos);
    EXPECT_EQ(run({"rename", "--column", "1", "--column=2", sat.path()}), 2);
    EXPECT_NE(err.str().find("'--column' given more than once"), std::string::npos);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.str().find("info"), std::string::npos);
    EXPECT_EQ(run({"info", "--help"}), 0);
    EXPECT_NE(out.str().find("--scan-all"), std::string::npos);
    EXPECT_NE(out.str().find("--json"), std::string::npos);
}

// Files of every format read on several threads print as one thread prints them.
TEST_F(InfoCommandTest, JobsChangeNothingInTheOutput) {
    int n = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(test::SourcePath("samples"))) {
        if (entry.is_regular_file() && entry.path().extension() != ".md")
            for (int copy = 0; copy < 3; ++copy)
                sat.write(std::to_string(n++) + entry.path().filename().string(),
                          test::ReadWholeFile(entry.path().string()));
    }
    sat.mkdir("sub");
    ASSERT_GT(n, 40);
    for (const char* mode : {"--json", "--why"}) {
        ASSERT_EQ(run({"info", mode, "--scan-all", "--jobs", "1", sat.path()}), 0);
        const std::string one = out.str();
        ASSERT_EQ(run({"info", mode, "--scan-all", "--jobs=5", sat.path()}), 0);
        EXPECT_EQ(out.str(), one) << mode;
        EXPECT_NE(one.find("zip"), std::string::npos);
    }
    for (const char* bad : {"0", "-1", "x", "2x", "100000", ""})
        EXPECT_EQ(run({"info", "--jobs", bad, sat.path()}), 2) << bad;
    EXPECT_NE(err.str().find("--jobs takes a number"), std::string::npos);
}

TEST_F(InfoCommandTest, ScanAllOptionNeverChangesTheStoredSetting) {
    SettingsStore::instance().writeInt("Settings", "ScanAll", 0);
    SettingsStore::instance().sync();
    sat.write("a.bin", "x");
    EXPECT_EQ(run({"info", "--scan-all", sat.path()}), 0);
    SettingsStore::reset();
    EXPECT_EQ(SettingsStore::instance().readInt("Settings", "ScanAll", 7), 0);
}

TEST(CliText, CellsAndJsonStringsAreValidUtf8WithControlsEscaped) {
    const struct {
        std::string in, cell, json;
    } cases[] = {
        {"a\tb\xFF", "a\\tb\xEF\xBF\xBD", "\"a\\tb\xEF\xBF\xBD\""},
        {std::string("q\"\\\n\x01\0", 6), "q\"\\\\\\n\\x01\\x00", "\"q\\\"\\\\\\n\\u0001\\u0000\""},
        {"\x1b[31m\x07\r\x7f", "\\x1b[31m\\x07\\r\\x7f", "\"\\u001b[31m\\u0007\\r\\u007f\""},
        // C1 controls are code points; the same bytes inside other characters are not.
        {"\xC2\x85\xC2\x9F\xC2\xA0\xC3\x85", "\\u0085\\u009f\xC2\xA0\xC3\x85",
         "\"\\u0085\\u009f\xC2\xA0\xC3\x85\""},
        {"\x85", "\xEF\xBF\xBD", "\"\xEF\xBF\xBD\""}, // a lone byte: not UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TableCell(c.in), c.cell) << c.in;
        EXPECT_EQ(JsonString(c.in), c.json) << c.in;
    }
}

TEST(CliHelp, NamesExactlyTheFormatsTheReadersReadToday) {
    std::ostringstream usage, info, err;
    ASSERT_EQ(cli::Run({"--help"}, usage, err), 0);
    ASSERT_EQ(cli::Run({"info", "--help"}, info, err), 0);
    const std::vector<std::string> formats = ReadFormats();
    ASSERT_FALSE(formats.empty());
    const auto reads = [&](const char* format) {
        return std::find(formats.begin(), formats.end(), format) != formats.end();
    };
    // Words each help uses for a format, which must appear exactly when it is read.
    const struct {
        const char* format;
        const char* word;
    } words[] = {
        {"exe", "executables"}, {"mp3", "MP3"}, {"ogg", "Ogg Vorbis"}, {"rm", "RealMedia"},
        {"avi", "AVI"},         {"asf", "WMA"}, {"zip", "ZIP"},        {"rar", "RAR"},
        {"ace", "ACE"},         {"cab", "CAB"}, {"html", "page"},      {"pdf", "PDF"},
    };
    for (const auto& w : words) {
        for (const std::string& help : {usage.str(), info.str()})
            EXPECT_EQ(help.find(w.word) != std::string::npos, reads(w.format)) << w.word;
    }
    const bool readsArchives = reads("zip") || reads("rar") || reads("ace") || reads("cab");
    EXPECT_EQ(usage.str().find("archive") != std::string::npos, readsArchives);
    // The JSON "format" names of info --help are the registry's, one line.
    std::string names;
    for (const std::string& format : formats)
        names += (names.empty() ? "" : ", ") + format;
    EXPECT_NE(info.str().find("Short names:\n              " + names + ".\n"), std::string::npos)
        << info.str();
}

} // namespace
} // namespace tressel::cli
