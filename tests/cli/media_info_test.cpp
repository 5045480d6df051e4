#include "cli/cli.h"
#include "isolated_settings.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tressel {
namespace {

using test::ReadWholeFile;
using test::SourcePath;
using test::TempDir;

class MediaInfo : public ::testing::Test {
protected:
    std::string run(std::vector<std::string> args, int expectedStatus = 0) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::Run(args, out, err), expectedStatus) << err.str();
        return out.str();
    }
    static std::string fixture(const char* name) {
        return SourcePath(std::string("tests/fixtures/media/") + name);
    }

    test::IsolatedSettings settings;
};

TEST_F(MediaInfo, JsonNamesTheFormatAndKeepsWholeValues) {
    const std::pair<const char*, const char*> kinds[] = {
        {"info.avi", "avi"}, {"info.wav", "avi"}, {"tags.wma", "asf"}, {"clip.wmv", "asf"}};
    for (const auto& [file, format] : kinds)
        EXPECT_NE(run({"info", "--json", fixture(file)})
                      .find(std::string("\"recognised\": true, \"format\": \"") + format + '"'),
                  std::string::npos)
            << file;
    // The lyrics keep their line break among the values; their column shows line one.
    const std::string wma = run({"info", "--json", fixture("tags.wma")});
    EXPECT_NE(wma.find("\"First line\\nsecond line\", \"https://example.org/wma\"]"),
              std::string::npos);
    EXPECT_NE(wma.find("\"Ambient\", \"Wma Comment\", \"First line\"]}"), std::string::npos);
}

TEST_F(MediaInfo, TableOfANumberedFolderNeedsScanAllForLostExtensions) {
    TempDir folder;
    folder.write("0A1B2C1F.avi", ReadWholeFile(fixture("info.avi")));
    folder.write("0A1B2C3E", ReadWholeFile(fixture("info.wav")));
    folder.write("0A1B2C5D.bin", ReadWholeFile(fixture("tags.wma")));
    folder.write("0A1B2C7C.wmv", ReadWholeFile(fixture("clip.wmv")));

    const std::string table = run({"info", folder.path()});
    // No extension passes every reader's filter; a wrong one passes none of these.
    EXPECT_NE(table.find("0A1B2C1F.avi\tAvi Title\tAvi Artist\tAvi Subject\tAvi Copyright\t"
                         "Avi Comment\tMain video\t0:00:02\t64 x 48\tMain audio\n"),
              std::string::npos);
    EXPECT_NE(table.find("0A1B2C3E\tWav Title\tWav Artist\tWav Copyright\tWav Comment\t"
                         "0:00:01\t\t\t\t\n"),
              std::string::npos);
    EXPECT_NE(table.find("0A1B2C5D.bin\t\t\t\t\t\t\t\t\t\n"), std::string::npos);
    EXPECT_NE(table.find("0A1B2C7C.wmv\tWmv Title\tWmv Author\tWmv Copyright\t2010\t"
                         "0:00:02\tWmv Comment\t\t\t\n"),
              std::string::npos);

    const std::string scanned = run({"info", "--scan-all", folder.path()});
    EXPECT_NE(scanned.find("0A1B2C5D.bin\tWma Title\tWma Author\tWma Album\tWma Copyright\t"
                           "2009\t0:00:01\tAmbient\tWma Comment\tFirst line\n"),
              std::string::npos);
}

TEST_F(MediaInfo, DamagedMediaFilesAreListedUnrecognised) {
    TempDir folder;
    std::string avi = ReadWholeFile(fixture("info.avi"));
    avi.replace(8, 4, "AVIX");
    const std::string wma = ReadWholeFile(fixture("tags.wma")).substr(0, 40);
    const std::string aviPath = folder.write("broken.avi", avi);
    const std::string wmaPath = folder.write("cut.wma", wma);
    const std::string out = run({"info", "--json", aviPath, wmaPath});
    EXPECT_NE(out.find("\"recognised\": false, \"format\": null"), std::string::npos);
    // The cut header still starts an ASF file: recognised, with nothing to show.
    EXPECT_NE(out.find("\"recognised\": true, \"format\": \"asf\", \"values\": []"),
              std::string::npos);
}

} // namespace
} // namespace tressel
