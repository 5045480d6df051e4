#include "media_builders.h"
#include "readers/avi_reader.h"
#include "readers/duration_text.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using namespace tressel::test;
using Values = std::vector<std::string>;

Values ValuesOf(const std::string& bytes) {
    MemorySource source(bytes);
    const ReadResult read = ParseAvi(source, {9, false});
    return read.recognised ? read.values : Values{"<not recognised>"};
}

Values ReadFile(const std::string& path, bool scanAll = false) {
    CAviReader reader(path, scanAll);
    if (!reader.isRecognized())
        return {"<not recognised>"};
    reader.extract(9);
    return reader.values();
}

TEST(DurationText, HoursUnpaddedMinutesAndSecondsTwoDigits) {
    EXPECT_EQ(DurationText(3725), "1:02:05");
    EXPECT_EQ(DurationText(0), "0:00:00");
    EXPECT_EQ(DurationText(59), "0:00:59");
    EXPECT_EQ(DurationText(360000), "100:00:00");
}

TEST(AviValues, NamedStreamOfTwoHoursAt25FramesASecond) {
    const uint32_t frames = (2 * 3600 + 3 * 60 + 4) * 25;
    const std::string bytes =
        AviFile(StreamList(StreamHeader("vids", 1, 25, frames, {0, 0, 640, 480}), "", "Feature"),
                InfoList({{"INAM", "Film"}}));
    EXPECT_EQ(ValuesOf(bytes), (Values{"Film", "Feature", "2:03:04", "640 x 480"}));
}

TEST(AviValues, DurationIsLengthTimesScaleOverRate) {
    struct Case {
        uint32_t scale, rate, length;
        Values want;
    } cases[] = {
        // An hour at 29.97 frames a second (an integer rate of 29 made it 1:02:00).
        {1001, 30000, 107893, {"1:00:00", "720 x 480"}},
        // One frame every two seconds (an integer rate of 0 gave no duration at all).
        {2, 1, 100, {"0:03:20", "720 x 480"}},
        // Broken headers give no duration, and no division by zero.
        {1, 0, 100, {"720 x 480"}},
        {0, 25, 100, {"720 x 480"}},
        // The largest header values do not overflow: 2^32-1 frames of 2^32-1 seconds each.
        {0xFFFFFFFF, 1, 0xFFFFFFFF, {DurationText(18446744065119617025ull), "720 x 480"}},
    };
    for (const Case& c : cases) {
        const std::string bytes =
            AviFile(StreamList(StreamHeader("vids", c.scale, c.rate, c.length, {0, 0, 720, 480})));
        EXPECT_EQ(ValuesOf(bytes), c.want) << c.scale << "/" << c.rate << " x " << c.length;
    }
}

TEST(CAviReader, FfmpegFilesAt29_97AndAtHalfAFrameASecond) {
    // A minute of 1799 frames at 30000/1001, and 5 frames of 2 s each.
    EXPECT_EQ(ReadFile(SourcePath("tests/fixtures/media/ntsc.avi")),
              (Values{"0:01:00", "16 x 16"}));
    EXPECT_EQ(ReadFile(SourcePath("tests/fixtures/media/slides.avi")),
              (Values{"0:00:10", "16 x 16"}));
}

TEST(AviValues, VideoBeforeAudioWhateverTheStreamOrder) {
    const std::string bytes =
        AviFile(StreamList(StreamHeader("auds", 1, 8000, 16000), "", "Sound") +
                StreamList(StreamHeader("vids", 1, 10, 50, {0, 0, -4, 3}), "", "Picture"));
    EXPECT_EQ(ValuesOf(bytes), (Values{"Picture", "0:00:05", "-4 x 3", "Sound", "0:00:02"}));
}

TEST(InfoListTexts, FixedOrderWhateverTheOrderInTheList) {
    const std::string info = InfoList({{"ICMT", "comment"},
                                       {"ICOP", "copyright"},
                                       {"ISBJ", "subject"},
                                       {"IART", "artist"},
                                       {"ICRD", "2001"},
                                       {"INAM", "name"}});
    EXPECT_EQ(InfoListTexts(info), (Values{"name", "artist", "subject", "copyright", "comment"}));
    EXPECT_EQ(InfoListTexts(InfoList({{"IART", "only the artist"}})), Values{"only the artist"});
}

TEST(InfoListTexts, IsAPlainSearchWithLengthsCutToTheData) {
    // The first "INAM" wins, even inside another text: its "length" is then made of the
    // bytes that follow, and the value runs to the end of the data.
    const Values texts = InfoListTexts(InfoList({{"ICMT", "see INAM"}, {"INAM", "real"}}));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].substr(0, 2), "AM");
    EXPECT_EQ(texts[1], "see INAM");
    // A length past the end of the data is cut to it; an identifier too near the end
    // for its length field gives nothing.
    EXPECT_EQ(InfoListTexts(std::string("INAM") + Le32(1000) + "short"), Values{"short"});
    EXPECT_EQ(InfoListTexts("xxINAM" + Le32(5)), Values{""});
    EXPECT_EQ(InfoListTexts("xxxINAM\x05"), Values{});
    // Windows-1252 bytes become UTF-8.
    EXPECT_EQ(InfoListTexts(InfoList({{"INAM", "Caf\xE9"}})), Values{"Caf\xC3\xA9"});
}

TEST(CAviReader, ReadsTheTaggedAviAndWaveFiles) {
    EXPECT_EQ(ReadFile(SourcePath("tests/fixtures/media/info.avi")),
              (Values{"Avi Title", "Avi Artist", "Avi Subject", "Avi Copyright", "Avi Comment",
                      "Main video", "0:00:02", "64 x 48", "Main audio", "0:00:02"}));
    EXPECT_EQ(ReadFile(SourcePath("tests/fixtures/media/info.wav")),
              (Values{"Wav Title", "Wav Artist", "Wav Copyright", "Wav Comment", "0:00:01"}));
}

TEST(CAviReader, ExtensionFilterAndContentDecide) {
    TempDir dir;
    const std::string wave = ReadWholeFile(SourcePath("tests/fixtures/media/info.wav"));
    EXPECT_EQ(ReadFile(dir.write("a.mp3", wave)), Values{"<not recognised>"});
    EXPECT_EQ(ReadFile(dir.write("a.mp3", wave), true).front(), "Wav Title");
    EXPECT_EQ(ReadFile(dir.write("a.DIVX", wave)).front(), "Wav Title");
    EXPECT_EQ(ReadFile(dir.write("asf.avi", AsfHeader(""))), Values{"<not recognised>"});
    EXPECT_EQ(ReadFile(dir.mkdir("folder.avi")), Values{"<not recognised>"});
    EXPECT_EQ(ReadFile(dir.file("missing.avi")), Values{"<not recognised>"});
}

TEST(CAviReader, ExtractRunsOnce) {
    CAviReader reader(SourcePath("tests/fixtures/media/info.wav"), false);
    ASSERT_TRUE(reader.isRecognized());
    EXPECT_EQ(reader.extract(9), 5);
    EXPECT_EQ(reader.extract(9), 5);
}

TEST(Registry, AviNameSettlesOnTheAsfReaderWhenTheContentIsAsf) {
    TempDir dir;
    const std::string avi =
        dir.write("real.avi", ReadWholeFile(SourcePath("tests/fixtures/media/info.avi")));
    const std::string asf =
        dir.write("asf.avi", ReadWholeFile(SourcePath("tests/fixtures/media/clip.wmv")));
    EXPECT_STREQ(CreateFileReader(avi, false)->formatName(), "avi");
    auto reader = CreateFileReader(asf, false);
    EXPECT_TRUE(reader->isRecognized());
    EXPECT_STREQ(reader->formatName(), "asf");
}

TEST(Registry, NumberedWaveIsFoundOnlyWithScanAll) {
    TempDir dir;
    const std::string path =
        dir.write("0A1B2C3D.bin", ReadWholeFile(SourcePath("tests/fixtures/media/info.wav")));
    EXPECT_FALSE(CreateFileReader(path, false)->isRecognized());
    auto reader = CreateFileReader(path, true);
    ASSERT_TRUE(reader->isRecognized());
    EXPECT_STREQ(reader->formatName(), "avi");
}

} // namespace
} // namespace tressel
