#include "cli/cli.h"
#include "isolated_settings.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tressel {
namespace {

class InfoOnMedia : public ::testing::Test {
protected:
    std::string info(const cli::Args& args) {
        std::ostringstream out, err;
        cli::Args full{"info"};
        full.insert(full.end(), args.begin(), args.end());
        EXPECT_EQ(cli::Run(full, out, err), 0) << err.str();
        return out.str();
    }

    static std::string Fixture(const char* name) {
        return test::ReadWholeFile(test::SourcePath(std::string("tests/fixtures/media/") + name));
    }

    test::IsolatedSettings settings;
    test::TempDir folder;
};

TEST_F(InfoOnMedia, JsonNamesTheFormatAndGivesEveryValue) {
    const std::string mp3 = folder.write("0A1B2C3D.mp3", Fixture("id3v24-utf16.mp3"));
    EXPECT_EQ(info({"--json", mp3}),
              "{\"name\": \"" + mp3 +
                  "\", \"folder\": false, \"recognised\": true, \"format\": \"mp3\", \"values\": "
                  "[\"Sängerin - Grüße aus Köln\", \"Grüße aus Köln\", \"Sängerin\", \"2019\", "
                  "\"Über\", \"2019 Sängerin\"], \"labels\": [\"Artist - Title\", \"Title\", "
                  "\"Artist\", \"Year\", \"Album\", \"Copyright\"], \"columns\": [\"Sängerin - "
                  "Grüße aus Köln\", "
                  "\"Grüße aus Köln\", \"Sängerin\", \"2019\", \"Über\", \"2019 Sängerin\", \"\", "
                  "\"\", \"\"]}\n");
    const std::string ogg = folder.write("0A1B2C3E.ogg", Fixture("tags.ogg"));
    EXPECT_NE(info({"--json", ogg})
                  .find("\"format\": \"ogg\", \"values\": [\"Ogg Title\", "
                        "\"Ogg Artist\", \"Ogg Album\", \"2003\", \"Ogg comment\"]"),
              std::string::npos);
    const std::string rm = folder.write("0A1B2C3F.rm", Fixture("tags.rm"));
    EXPECT_NE(info({"--json", rm})
                  .find("\"format\": \"rm\", \"values\": [\"Real Author - Real "
                        "Title\", \"Real Title\", \"Real Author\", \"(C) 2004 "
                        "Real Author\", \"Real comment\"]"),
              std::string::npos);
}

TEST_F(InfoOnMedia, FolderTableShowsEachKindAndScanAllFindsLostExtensions) {
    folder.write("00000001.mp3", Fixture("id3v1-only.mp3"));
    folder.write("00000002.ogg", Fixture("tags.ogg"));
    folder.write("00000003", Fixture("tags.rm")); // no extension: every reader probes it
    folder.write("00000004.bin", Fixture("cover.mp3"));
    folder.write("00000005.mp3", Fixture("untagged.mp3"));
    const std::string table = info({folder.path()});
    std::istringstream lines(table);
    std::string header, line;
    std::getline(lines, header);
    EXPECT_EQ(header.rfind("Name\tFileDescription (1)", 0), 0u) << header;
    std::vector<std::string> rows;
    while (std::getline(lines, line))
        rows.push_back(line);
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "00000001.mp3\tOnly Title\tOld Album\t1999\tOld comment\t\t\t\t\t",
                        "00000002.ogg\tOgg Title\tOgg Artist\tOgg Album\t2003\tOgg comment\t\t\t\t",
                        "00000003\tReal Author - Real Title\tReal Title\tReal Author\t(C) 2004 "
                        "Real Author\tReal comment\t\t\t\t",
                        "00000004.bin\t\t\t\t\t\t\t\t\t",
                        "00000005.mp3\t\t\t\t\t\t\t\t\t",
                    }));
    const std::string scanned = info({"--scan-all", folder.file("00000004.bin")});
    EXPECT_NE(scanned.find("00000004.bin\tCovered Band - Covered Song\tCovered Song\tCovered "
                           "Band\t2021\tCovered Album\t"),
              std::string::npos)
        << scanned;
}

} // namespace
} // namespace tressel
