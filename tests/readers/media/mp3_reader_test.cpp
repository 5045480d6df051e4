#include "media_bytes.h"
#include "readers/media/mp3_reader.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using test::Id3Frame;
using test::Id3Tag;
using test::Id3Text;
using test::Id3v1;
using Values = std::vector<std::string>;

// A few bytes of MPEG audio after the tags, as in a real file.
const std::string kAudio = std::string("\xFF\xFB\x90\x64") + std::string(400, '\x55');

ReadResult Read(const std::string& bytes) {
    MemorySource source(bytes);
    return ParseMp3(source, {});
}

Values ValuesOf(const std::string& bytes) {
    return Read(bytes).values;
}

Values FixtureValues(const char* name) {
    CMp3Reader reader(test::SourcePath(std::string("tests/fixtures/media/") + name), false);
    EXPECT_TRUE(reader.isRecognized()) << name;
    return reader.values();
}

TEST(Mp3Reader, FilesTaggedByRealTaggers) {
    EXPECT_EQ(FixtureValues("id3v23.mp3"),
              (Values{"B\xC3\xA4nd - Song", "Song", "B\xC3\xA4nd", "2001", "Album", "2001 Band"}));
    EXPECT_EQ(FixtureValues("id3v24-utf16.mp3"),
              (Values{"Sängerin - Grüße aus Köln", "Grüße aus Köln", "Sängerin", "2019", "Über",
                      "2019 Sängerin"}));
    EXPECT_EQ(FixtureValues("id3v24-utf8.mp3"),
              (Values{"Ünïcode Band - 東京の夜", "東京の夜", "Ünïcode Band", "2020", "Nächte"}));
    // Blank ID3v1 artist: the title alone, then album, year and comment.
    EXPECT_EQ(FixtureValues("id3v1-only.mp3"),
              (Values{"Only Title", "Old Album", "1999", "Old comment"}));
    // Both tags: the ID3v2 values, then the ID3v1 ones.
    EXPECT_EQ(FixtureValues("both-tags.mp3"),
              (Values{"Both Band - Both Song", "Both Song", "Both Band", "2002", "Both Album",
                      "Both Band - Both Song", "Both Album", "2002", ""}));
    EXPECT_EQ(FixtureValues("cover.mp3"), (Values{"Covered Band - Covered Song", "Covered Song",
                                                  "Covered Band", "2021", "Covered Album"}));
}

TEST(Mp3Reader, UntaggedMp3IsRefusedEvenWithItsExtension) {
    CMp3Reader reader(test::SourcePath("tests/fixtures/media/untagged.mp3"), false);
    EXPECT_FALSE(reader.isRecognized());
    EXPECT_TRUE(reader.values().empty());
    EXPECT_FALSE(Read("ID").recognised);
    EXPECT_FALSE(Read("").recognised);
}

TEST(Mp3Reader, ExtensionFilterKeepsOtherNamesUnreadUnlessScanAll) {
    test::TempDir dir;
    const std::string song = Id3Tag(3, Id3Text(3, "TIT2", "Song")) + kAudio;
    const std::string path = dir.write("0A1B2C3D.bin", song);
    EXPECT_FALSE(CMp3Reader(path, false).isRecognized());
    EXPECT_EQ(CMp3Reader(path, true).values(), Values{"Song"});
    EXPECT_TRUE(CMp3Reader(dir.write("0A1B2C3D.MP3", song), false).isRecognized());
}

TEST(Mp3Reader, ArtistAndTitleCombineAheadOfTheSeparateValues) {
    const std::string frames =
        Id3Text(3, "TALB", "Album") + Id3Text(3, "TPE1", "Band") + Id3Text(3, "TIT2", "Song");
    EXPECT_EQ(ValuesOf(Id3Tag(3, frames) + kAudio),
              (Values{"Band - Song", "Song", "Band", "Album"}));
    // The artist alone: no combined value.
    EXPECT_EQ(ValuesOf(Id3Tag(3, Id3Text(3, "TPE1", "Band")) + kAudio), Values{"Band"});
    // An ID3v2 tag without any frame we show is still an MP3.
    const ReadResult empty = Read(Id3Tag(3, Id3Text(3, "TCON", "Rock"), 0, 64) + kAudio);
    EXPECT_TRUE(empty.recognised);
    EXPECT_TRUE(empty.values.empty());
}

TEST(Mp3Reader, EncodingByteOfTextFramesIsHonoured) {
    auto single = [](std::string_view data) {
        return ValuesOf(Id3Tag(4, Id3Frame(4, "TIT2", data)) + kAudio);
    };
    using namespace std::string_literals;
    EXPECT_EQ(single("\0Caf\xE9"s), Values{"Caf\xC3\xA9"}); // Latin-1
    EXPECT_EQ(single("\x01\xFF\xFE"
                     "C\0a\0f\0\xE9\0"s),
              Values{"Café"});                                         // UTF-16LE + BOM
    EXPECT_EQ(single("\x01\xFE\xFF\0C\0a\0f\0\xE9"s), Values{"Café"}); // UTF-16BE + BOM
    EXPECT_EQ(single("\x02\0C\0a\0f\0\xE9"s), Values{"Café"});         // UTF-16BE
    EXPECT_EQ(single("\x03"
                     "Caf\xC3\xA9"s),
              Values{"Café"}); // UTF-8
    EXPECT_EQ(single("\x03"
                     "Caf\xE9"s),
              Values{"Caf\xEF\xBF\xBD"}); // broken UTF-8
    // Terminators and further strings of a multi-valued frame are not part of the text.
    EXPECT_EQ(single("\x03"
                     "One\0Two"s),
              Values{"One"});
    EXPECT_EQ(single("\x01\xFF\xFE"
                     "A\0\0\0"s),
              Values{"A"});
    EXPECT_EQ(single("\x01"s), Values{});
}

TEST(Mp3Reader, Version22UsesThreeLetterFrames) {
    const std::string frames = Id3Text(2, "TT2", "Song") + Id3Text(2, "TP1", "Band") +
                               Id3Text(2, "TYE", "1998") + Id3Text(2, "TAL", "Album") +
                               Id3Text(2, "TCR", "1998 Band");
    EXPECT_EQ(ValuesOf(Id3Tag(2, frames) + kAudio),
              (Values{"Band - Song", "Song", "Band", "1998", "Album", "1998 Band"}));
}

TEST(Mp3Reader, Version24SizesAreSyncSafeAndRecordingTimeIsTheYear) {
    const std::string longTitle(300, 'T'); // size 301 differs from its sync-safe form
    const std::string frames = Id3Text(4, "TIT2", longTitle) + Id3Text(4, "TDRC", "2007-05-01") +
                               Id3Text(4, "TPE1", "Band");
    EXPECT_EQ(ValuesOf(Id3Tag(4, frames) + kAudio),
              (Values{"Band - " + longTitle, longTitle, "Band", "2007-05-01"}));
    // Some writers put plain sizes into v2.4 frames; such a size is not sync-safe.
    std::string plain =
        "TIT2" + test::Be32(201) + std::string(2, '\0') + '\0' + std::string(200, 'x');
    EXPECT_EQ(ValuesOf(Id3Tag(4, plain + Id3Text(4, "TPE1", "Band")) + kAudio),
              (Values{"Band - " + std::string(200, 'x'), std::string(200, 'x'), "Band"}));
}

TEST(Mp3Reader, CoverPictureAheadOfTheTextIsSkippedNotRead) {
    const std::string picture =
        std::string("\0image/jpeg\0\x03\0", 14) + std::string(100 * 1024, '\xAB');
    const std::string frames =
        Id3Frame(3, "APIC", picture) + Id3Text(3, "TIT2", "Song") + Id3Text(3, "TPE1", "Band");
    test::CountingSource source(Id3Tag(3, frames, 0, 2048) + kAudio);
    const ReadResult reading = ParseMp3(source, {});
    EXPECT_EQ(reading.values, (Values{"Band - Song", "Song", "Band"}));
    EXPECT_LT(source.bytesRead, 4096u);
}

TEST(Mp3Reader, UnsynchronisedTagsAreDecoded) {
    using namespace std::string_literals;
    // v2.3: the whole tag is unsynchronised; FF FE of the BOM became FF 00 FE.
    const std::string v23 = Id3Frame(3, "TIT2",
                                     "\x01\xFF\xFE"
                                     "A\0"s);
    std::string encoded = v23;
    encoded.insert(encoded.find("\xFF\xFE") + 1, 1, '\0');
    EXPECT_EQ(ValuesOf(Id3Tag(3, encoded + Id3Text(3, "TPE1", "B"), 0x80) + kAudio),
              (Values{"B - A", "A", "B"}));
    // v2.4: per frame, and the frame size counts the encoded bytes.
    const std::string v24 = Id3Frame(4, "TIT2",
                                     "\x01\xFF\x00\xFE"
                                     "A\0"s,
                                     0x02);
    EXPECT_EQ(ValuesOf(Id3Tag(4, v24) + kAudio), Values{"A"});
}

TEST(Mp3Reader, FrameExtrasAreSkippedAndUnreadableFramesIgnored) {
    const std::string extended = test::Be32(6) + std::string(6, '\0');
    EXPECT_EQ(ValuesOf(Id3Tag(3, extended + Id3Text(3, "TIT2", "Song"), 0x40) + kAudio),
              Values{"Song"});
    const std::string extended24 = test::SyncSafe(6) + std::string(2, '\0');
    EXPECT_EQ(ValuesOf(Id3Tag(4, extended24 + Id3Text(4, "TIT2", "Song"), 0x40) + kAudio),
              Values{"Song"});
    // v2.4 data-length indicator and group id come before the text.
    const std::string grouped = Id3Frame(4, "TIT2", std::string("\x07\0\0\0\x05\0Song", 10), 0x41);
    EXPECT_EQ(ValuesOf(Id3Tag(4, grouped) + kAudio), Values{"Song"});
    // A compressed title is not text; a later plain frame of the same kind is.
    const std::string frames = Id3Frame(3, "TIT2", "zzzz", 0x80) + Id3Text(3, "TIT2", "Plain");
    EXPECT_EQ(ValuesOf(Id3Tag(3, frames) + kAudio), Values{"Plain"});
}

TEST(Mp3Reader, DamagedTagsGiveWhatIsSoundAndNeverOverrun) {
    const std::string good = Id3Text(3, "TIT2", "Song");
    // A frame whose size runs past the tag ends the walk.
    const std::string oversized = "TPE1" + test::Be32(0x7FFFFFFF) + std::string(2, '\0') + "\0Band";
    EXPECT_EQ(ValuesOf(Id3Tag(3, good + oversized) + kAudio), Values{"Song"});
    // A tag size beyond the end of the file is cut to the file.
    std::string truncated = Id3Tag(3, good + Id3Text(3, "TPE1", "Band"));
    truncated.resize(truncated.size() - 2);
    const ReadResult cut = Read(truncated);
    EXPECT_TRUE(cut.recognised);
    EXPECT_EQ(cut.values, Values{"Song"});
    // Junk where a frame id belongs ends the walk.
    EXPECT_EQ(ValuesOf(Id3Tag(3, good + "t!t2" + std::string(20, 'x')) + kAudio), Values{"Song"});
    // Bare "ID3" and unknown versions are ours, with nothing to show.
    EXPECT_TRUE(Read("ID3").recognised);
    EXPECT_TRUE(Read("ID3\x03").values.empty());
    EXPECT_TRUE(Read(Id3Tag(5, good) + kAudio).values.empty());
    // An extended header larger than the tag leaves no frames.
    const std::string hugeExtended = test::Be32(0xFFFFFFF0) + good;
    EXPECT_TRUE(Read(Id3Tag(3, hugeExtended, 0x40) + kAudio).values.empty());
}

TEST(Mp3Reader, LongTextIsCutToAFewKilobytes) {
    const std::string huge(100000, 'L');
    const Values values = ValuesOf(Id3Tag(3, Id3Text(3, "TIT2", huge)) + kAudio);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].size(), 4095u); // 4096 bytes of frame data less the encoding byte
}

TEST(Mp3Reader, Id3v1Record) {
    EXPECT_EQ(ValuesOf(kAudio + Id3v1("Song", "Band  ", "Album ", "1999", "Nice")),
              (Values{"Band - Song", "Album", "1999", "Nice"}));
    // Blank artist: the title alone; empty fields keep their places.
    EXPECT_EQ(ValuesOf(kAudio + Id3v1("Song", "   ", "", "", "")), (Values{"Song", "", "", ""}));
    // A one-letter artist is an artist.
    EXPECT_EQ(ValuesOf(kAudio + Id3v1("Song", "X", "", "", ""))[0], "X - Song");
    // ID3v1.1: the track number after the comment's NUL is not comment text.
    std::string record = Id3v1("Song", "", "", "", "Hi");
    record[126] = '\x07';
    EXPECT_EQ(ValuesOf(kAudio + record)[3], "Hi");
    // Bytes that are not UTF-8 are Windows-1252.
    EXPECT_EQ(ValuesOf(kAudio + Id3v1("Ol\xE9", "", "", "", ""))[0], "Olé");
    // Exactly 128 bytes is enough.
    EXPECT_TRUE(Read(Id3v1("Song", "", "", "", "")).recognised);
}

TEST(Mp3Reader, Id3v1IsNeverTakenFromInsideTheId3v2Tag) {
    // The last 128 bytes of this file lie inside its ID3v2 tag.
    const std::string inside =
        Id3Text(3, "TIT2", "Song") + Id3Frame(3, "PRIV", Id3v1("Fake", "", "", "", ""));
    EXPECT_EQ(ValuesOf(Id3Tag(3, inside)), Values{"Song"});
    EXPECT_EQ(ValuesOf(Id3Tag(3, inside) + Id3v1("Real", "", "", "", "")),
              (Values{"Song", "Real", "", "", ""}));
}

} // namespace
} // namespace tressel
