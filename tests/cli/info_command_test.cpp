#include "cli/cli.h"
#include "isolated_settings.h"
#include "settings/settings_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

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

TEST_F(InfoCommandTest, UsageErrorsAndHelp) {
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(run({"info"}), 2);
    EXPECT_EQ(run({"info", "--bogus", sat.path()}), 2);
    EXPECT_NE(err.str().find("--bogus"), std::string::npos);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.str().find("info"), std::string::npos);
    EXPECT_EQ(run({"info", "--help"}), 0);
    EXPECT_NE(out.str().find("--scan-all"), std::string::npos);
    EXPECT_NE(out.str().find("--json"), std::string::npos);
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
    EXPECT_EQ(TableCell("a\tb\xFF"), "a\\tb\xEF\xBF\xBD");
    EXPECT_EQ(JsonString(std::string("q\"\\\n\x01\0", 6)), "\"q\\\"\\\\\\n\\u0001\\u0000\"");
}

} // namespace
} // namespace tressel::cli
