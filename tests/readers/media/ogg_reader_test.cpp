#include "media_bytes.h"
#include "readers/media/ogg_reader.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using test::Le32;
using Values = std::vector<std::string>;

// The first page (58 bytes, the identification header) and the start of the second,
// as an encoder lays them out, then the comment header with the given fields.
std::string OggWithComments(const std::vector<std::string>& fields,
                            std::string_view signature = std::string_view("\x03vorbis", 7),
                            std::string vendor = "Xiph.Org libVorbis") {
    std::string bytes = "OggS" + std::string(54, '\x01') + "OggS" + std::string(26, '\x02');
    bytes += signature;
    bytes += Le32(static_cast<uint32_t>(vendor.size())) + vendor;
    bytes += Le32(static_cast<uint32_t>(fields.size()));
    for (const std::string& field : fields)
        bytes += Le32(static_cast<uint32_t>(field.size())) + field;
    return bytes + std::string(3000, '\x05'); // setup header and audio
}

ReadResult Read(const std::string& bytes) {
    MemorySource source(bytes);
    return ParseOgg(source, {});
}

TEST(OggReader, FileEncodedByOggencWithLowerCaseNames) {
    COggReader reader(test::SourcePath("tests/fixtures/media/tags.ogg"), false);
    EXPECT_TRUE(reader.isRecognized());
    EXPECT_EQ(reader.values(),
              (Values{"Ogg Title", "Ogg Artist", "Ogg Album", "2003", "Ogg comment"}));
}

TEST(OggReader, NamesMatchWithoutCaseAndValuesComeInColumnOrder) {
    const ReadResult reading = Read(OggWithComments(
        {"comment=Nice", "Date=2001", "ALBUM=Album", "artist=Band", "TiTlE=Song", "GENRE=Pop"}));
    EXPECT_TRUE(reading.recognised);
    EXPECT_EQ(reading.values, (Values{"Song", "Band", "Album", "2001", "Nice"}));
}

TEST(OggReader, OnlyWholeNamesCountAndTheFirstOfEachIsTaken) {
    EXPECT_EQ(Read(OggWithComments({"SUBTITLE=Not it", "COMMENT=ARTIST=x", "TITLE=One", "TITLE=Two",
                                    "noequals", "TITLE2=no"}))
                  .values,
              (Values{"One", "ARTIST=x"}));
    // A name present with an empty value keeps its place.
    EXPECT_EQ(Read(OggWithComments({"TITLE=", "ARTIST=Band"})).values, (Values{"", "Band"}));
}

TEST(OggReader, OpusAndTheoraCommentHeadersAreReadToo) {
    EXPECT_EQ(Read(OggWithComments({"title=Opus song"}, "OpusTags")).values, Values{"Opus song"});
    EXPECT_EQ(Read(OggWithComments({"title=Film"}, std::string_view("\x81theora", 7))).values,
              Values{"Film"});
}

TEST(OggReader, AnyOggFileIsOursEvenWithoutComments) {
    const ReadResult bare = Read("OggS" + std::string(100, '\0'));
    EXPECT_TRUE(bare.recognised);
    EXPECT_TRUE(bare.values.empty());
    EXPECT_TRUE(Read("Ogg").recognised);
    EXPECT_FALSE(Read("OgXS" + std::string(100, '\0')).recognised);
    EXPECT_FALSE(Read("Og").recognised);
    // A file nobody else accepts comes back as a refusing Ogg reader, which reads
    // only files named .ogg unless Scan All is on.
    test::TempDir dir;
    const std::string path = dir.write("0A1B2C3D.bin", OggWithComments({"TITLE=Song"}));
    EXPECT_FALSE(COggReader(path, false).isRecognized());
    EXPECT_EQ(COggReader(path, true).values(), Values{"Song"});
}

TEST(OggReader, FieldsAreBoundedByTheFirstKilobyte) {
    // A field running past the window is cut at its end.
    const ReadResult cut =
        Read(OggWithComments({"ARTIST=Band", "TITLE=" + std::string(2000, 'x')}));
    ASSERT_EQ(cut.values.size(), 2u);
    // The window ends at file offset 1027; the title's text starts at 146.
    EXPECT_EQ(cut.values[0], std::string(1027 - 146, 'x'));
    // A comment header that starts beyond the window is not seen.
    EXPECT_TRUE(Read("OggS" + std::string(1100, '\0') + OggWithComments({"TITLE=Song"}).substr(4))
                    .values.empty());
}

TEST(OggReader, DamagedLengthsNeverOverrun) {
    std::string bytes = OggWithComments({"TITLE=Song"});
    const size_t vendorLength = bytes.find("\x03vorbis") + 7;
    // A vendor length past the window leaves no fields.
    std::string hugeVendor = bytes;
    hugeVendor.replace(vendorLength, 4, Le32(0xFFFFFFFF));
    EXPECT_TRUE(Read(hugeVendor).values.empty());
    // A field count far beyond what fits ends with the window.
    std::string hugeCount = bytes;
    hugeCount.replace(vendorLength + 4 + 18, 4, Le32(0xFFFFFFFF));
    EXPECT_EQ(Read(hugeCount).values, Values{"Song"});
    // The header cut short right after its signature.
    EXPECT_TRUE(Read(bytes.substr(0, vendorLength + 2)).values.empty());
    // Raw bytes that are not UTF-8 are Windows-1252.
    EXPECT_EQ(Read(OggWithComments({"TITLE=Caf\xE9"})).values, Values{"Café"});
}

} // namespace
} // namespace tressel
