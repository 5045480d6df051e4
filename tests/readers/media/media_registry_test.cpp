#include "media_bytes.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

// ID3v1 at the end, and a content-description chunk early on: both an MP3 and a
// RealMedia reading are possible, and only the registry's order settles which.
std::string Mp3AndRealMedia() {
    const std::string title = "Real";
    const std::string cont = "CONT" + test::Be32(20) + test::Be16(0) + test::Be16(4) + title +
                             test::Be16(0) + test::Be16(0) + test::Be16(0);
    return std::string(40, '\x11') + cont + std::string(500, '\x22') +
           test::Id3v1("Mp3", "", "", "", "");
}

TEST(MediaRegistry, EachKindIsFoundUnderItsExtension) {
    const std::string fixtures = test::SourcePath("tests/fixtures/media/");
    EXPECT_STREQ(CreateFileReader(fixtures + "id3v23.mp3", false)->formatName(), "mp3");
    EXPECT_STREQ(CreateFileReader(fixtures + "tags.ogg", false)->formatName(), "ogg");
    EXPECT_STREQ(CreateFileReader(fixtures + "tags.rm", false)->formatName(), "rm");
}

TEST(MediaRegistry, RealMediaIsSecondInTheFirstPassAndSixthInTheSecond) {
    test::TempDir dir;
    const std::string rm = dir.write("0A1B2C3D.rm", Mp3AndRealMedia());
    auto first = CreateFileReader(rm, true);
    EXPECT_STREQ(first->formatName(), "rm");
    EXPECT_EQ(first->values(), std::vector<std::string>{"Real"});
    // Without a listed extension only Scan All reads it, and MP3 comes before RealMedia.
    const std::string bin = dir.write("0A1B2C3D.bin", Mp3AndRealMedia());
    EXPECT_FALSE(CreateFileReader(bin, false)->isRecognized());
    EXPECT_STREQ(CreateFileReader(bin, true)->formatName(), "mp3");
}

TEST(MediaRegistry, AFileNobodyAcceptsComesBackAsARefusingOggReader) {
    test::TempDir dir;
    for (const bool scanAll : {false, true}) {
        auto reader = CreateFileReader(dir.write("7F00A1.bin", "nothing to see here"), scanAll);
        EXPECT_FALSE(reader->isRecognized());
        EXPECT_STREQ(reader->extensions(), "ogg");
    }
}

} // namespace
} // namespace tressel
