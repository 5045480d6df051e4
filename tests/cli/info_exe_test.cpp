#include "cli/cli.h"
#include "isolated_settings.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tressel::cli {
namespace {

using test::ReadWholeFile;
using test::SourcePath;
using test::TempDir;

// `tressel info` on executables.
class InfoOnExecutables : public ::testing::Test {
protected:
    std::string Copy(std::string_view fixture, std::string_view name) {
        return folder.write(
            name, ReadWholeFile(SourcePath("tests/fixtures/exe/" + std::string(fixture))));
    }
    int Info(const Args& args) {
        out.str({});
        err.str({});
        Args full{"info"};
        full.insert(full.end(), args.begin(), args.end());
        return cli::Run(full, out, err);
    }

    test::IsolatedSettings settings;
    TempDir folder;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(InfoOnExecutables, JsonShowsTheReaderAndEveryVersionString) {
    const std::string path = Copy("no_comments.exe", "0A1B2C3D.exe");
    ASSERT_EQ(Info({"--json", path}), 0) << err.str();
    const std::string line = out.str();
    EXPECT_NE(line.find("\"recognised\": true, \"format\": \"exe\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"values\": [\"Transponder List Editor\", \"Transponder Tools\", "
                        "\"TPEDIT.EXE\", \"tpedit\", \"Skyline Software\", \"Skyline Software "
                        "2001\", \"\", \"3.0.0.0\", \"3.0\"]"),
              std::string::npos)
        << line;
}

TEST_F(InfoOnExecutables, TableShowsTheFirstLineOfEachValueAndThePackageTitle) {
    Copy("us_english.exe", "0A1B2C3D.exe");
    Copy("wextract_title.exe", "0A1B2C4E.exe");
    ASSERT_EQ(Info({folder.path()}), 0) << err.str();
    std::istringstream lines(out.str());
    std::string header, first, second;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_EQ(header.rfind("Name\tFileDescription (1)\tProductName (2)", 0), 0u) << header;
    EXPECT_EQ(first, "0A1B2C3D.exe\tOrbit Tracker\tOrbit Suite\tORBTRACK.EXE\torbtrack\t"
                     "Northwind Satellite Tools\tCopyright (C) 2004 Northwind Satellite Tools\t"
                     "Tracks satellites\t2.4.0.117\t2.4");
    EXPECT_EQ(second.rfind("0A1B2C4E.exe\tMy Tool Setup\tPackaging Stub\tWEXTRACT.EXE\t", 0), 0u)
        << second;
}

TEST_F(InfoOnExecutables, WrongExtensionIsReadOnlyWithScanAll) {
    const std::string path = Copy("german.dll", "0001A2F3.dat");
    ASSERT_EQ(Info({"--json", path}), 0);
    EXPECT_NE(out.str().find("\"recognised\": false, \"format\": null"), std::string::npos)
        << out.str();
    ASSERT_EQ(Info({"--json", "--scan-all", path}), 0);
    EXPECT_NE(out.str().find("\"format\": \"exe\""), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Satellitenempfang"), std::string::npos) << out.str();
}

} // namespace
} // namespace tressel::cli
