#include "media_builders.h"
#include "readers/asf_reader.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using namespace tressel::test;
using Values = std::vector<std::string>;

ReadResult ValuesOf(const std::string& bytes) {
    MemorySource source(bytes);
    ReadResult read = ParseAsf(source, {9, true});
    if (!read.recognised)
        read.values = {"<not recognised>"};
    return read;
}

// Every one of the ten attributes, each objects' share given in reverse of the
// reader's order, so that the order seen is the reader's own.
std::string FullHeader() {
    return AsfHeader(
        AsfHeaderExtension(AsfMetadata(kAsfMetadataLibraryGuid,
                                       {{"WM/PromotionURL", kAsfString, Utf16z("https://x.org")},
                                        {"WM/Lyrics", kAsfString, Utf16z("Verse\nChorus")}})) +
        AsfExtendedContent({{"WM/Genre", kAsfString, Utf16z("Rock")},
                            {"WM/Year", kAsfString, Utf16z("1999")},
                            {"WM/AlbumTitle", kAsfString, Utf16z("Album")}}) +
        AsfFileProperties(36'000'000'000 + 31'000'000, 3100) +
        AsfContentDescription(Utf16z("Title"), Utf16z("Author"), Utf16z("(c) Someone"),
                              Utf16z("Notes")));
}

TEST(AsfValues, TenAttributesInTheReadersOrder) {
    const ReadResult read = ValuesOf(FullHeader());
    EXPECT_EQ(read.values, (Values{"Title", "Author", "Album", "(c) Someone", "1999", "1:00:00",
                                   "Rock", "Notes", "Verse\nChorus", "https://x.org"}));
    EXPECT_EQ(read.preview, "Verse\nChorus");
}

TEST(AsfValues, EmptyAndMissingAttributesAreSkippedAndTheRestMoveUp) {
    const ReadResult read = ValuesOf(AsfHeader(
        AsfExtendedContent({{"WM/AlbumTitle", kAsfString, Utf16z("")},      // just the terminator
                            {"WM/Year", kAsfString, ""},                    // no bytes at all
                            {"WM/Genre", kAsfDword, Le32(0)},               // a zero number
                            {"WM/Lyrics", kAsfString, std::string(1, 'x')}, // half a character
                            {"WM/PromotionURL", kAsfString, Utf16z("u")}}) +
        AsfContentDescription("", Utf16z("Author"), "", "")));
    EXPECT_EQ(read.values, (Values{"Author", "u"}));
    EXPECT_EQ(read.preview, "");
}

TEST(AsfValues, SixtyFourBitValuesArePlayTimesOtherNumbersDecimal) {
    const ReadResult read = ValuesOf(
        AsfHeader(AsfExtendedContent({{"Title", kAsfQword, Le64(37'250'000'000)}, // 3725 seconds
                                      {"WM/Year", kAsfDword, Le32(2009)},
                                      {"WM/Genre", kAsfWord, Le16(12)},
                                      {"Description", kAsfBool, Le32(1)}})));
    EXPECT_EQ(read.values, (Values{"1:02:05", "2009", "12", "1"}));
}

TEST(AsfValues, DurationBelowOneSecondShowsAsZeroButZeroIsSkipped) {
    EXPECT_EQ(ValuesOf(AsfHeader(AsfFileProperties(31'000'000 + 5'000'000, 3100))).values,
              Values{"0:00:00"});
    EXPECT_EQ(ValuesOf(AsfHeader(AsfFileProperties(31'000'000, 3100))).values, Values{});
}

TEST(AsfValues, BinaryValuesAreReadAsText) {
    const ReadResult read = ValuesOf(AsfHeader(
        AsfExtendedContent({{"Description", kAsfBinary, Utf16z("as text") + "\x01\x02"}})));
    EXPECT_EQ(read.values, Values{"as text"});
}

TEST(CAsfReader, ReadsTheWmaAndWmvFiles) {
    CAsfReader wma(SourcePath("tests/fixtures/media/tags.wma"), false);
    ASSERT_TRUE(wma.isRecognized());
    EXPECT_EQ(wma.extract(9), 10); // the limit is not the reader's to honour
    EXPECT_EQ(wma.values(), (Values{"Wma Title", "Wma Author", "Wma Album", "Wma Copyright", "2009",
                                    "0:00:01", "Ambient", "Wma Comment", "First line\nsecond line",
                                    "https://example.org/wma"}));
    EXPECT_EQ(wma.lyrics(), "First line\nsecond line");
    EXPECT_EQ(wma.extract(9), 10);

    CAsfReader wmv(SourcePath("tests/fixtures/media/clip.wmv"), false);
    ASSERT_TRUE(wmv.isRecognized());
    wmv.extract(9);
    EXPECT_EQ(wmv.values(), (Values{"Wmv Title", "Wmv Author", "Wmv Copyright", "2010", "0:00:02",
                                    "Wmv Comment"}));
    EXPECT_EQ(wmv.lyrics(), "");
}

TEST(CAsfReader, ExtensionFilterAndContentDecide) {
    TempDir dir;
    const std::string wma = ReadWholeFile(SourcePath("tests/fixtures/media/tags.wma"));
    for (const char* name : {"a.asf", "a.WMA", "a.wmv", "a.avi", "a.wax", "a"})
        EXPECT_TRUE(CAsfReader(dir.write(name, wma), false).isRecognized()) << name;
    EXPECT_FALSE(CAsfReader(dir.write("a.mp3", wma), false).isRecognized());
    EXPECT_TRUE(CAsfReader(dir.write("a.mp3", wma), true).isRecognized());
    const std::string wave = ReadWholeFile(SourcePath("tests/fixtures/media/info.wav"));
    EXPECT_FALSE(CAsfReader(dir.write("b.wma", wave), true).isRecognized());
    EXPECT_FALSE(CAsfReader(dir.mkdir("c.wma"), true).isRecognized());
}

} // namespace
} // namespace tressel
