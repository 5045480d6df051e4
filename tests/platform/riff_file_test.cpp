#include "media_builders.h"
#include "platform/riff/riff_file.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using namespace tressel::test;
using riff::kStreamAudio;
using riff::kStreamVideo;
using riff::RiffFile;

std::optional<RiffFile> Open(MemorySource& source) {
    return RiffFile::open(source);
}

TEST(RiffFile, RefusesWhatIsNotAnAviOrWaveFile) {
    for (std::string bytes :
         {std::string(), std::string("RIFF"), std::string("RIFF\x04\0\0\0", 8),
          test::RiffFile("CDXA", RiffChunk("fmt ", WaveFormat(8000, 1, 8))),
          std::string("RIFX") + Le32(4) + "WAVE", std::string("JUNK") + Le32(4) + "AVI "}) {
        MemorySource source(bytes);
        EXPECT_FALSE(Open(source)) << bytes.size() << " bytes";
    }
}

TEST(RiffFile, AnAviFileNeedsItsHeaderListAWaveFileNothingMore) {
    const std::string noHeader = test::RiffFile("AVI ", RiffList("movi", ""));
    MemorySource aviSource(noHeader);
    EXPECT_FALSE(Open(aviSource));

    const std::string bareWave = test::RiffFile("WAVE", "");
    MemorySource waveSource(bareWave);
    auto wave = Open(waveSource);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->form(), riff::Form::Wave);
    EXPECT_FALSE(wave->firstStream(kStreamAudio));
    EXPECT_FALSE(wave->readInfoList());
}

TEST(RiffFile, FindsTheFirstStreamOfEachType) {
    const std::string bytes = AviFile(
        StreamList(StreamHeader("auds", 1, 8000, 16000), WaveFormat(8000, 1, 8), "first audio") +
        StreamList(StreamHeader("vids", 1, 25, 50, {0, 0, 320, 240}), BitmapHeader(320, 240),
                   "first video") +
        StreamList(StreamHeader("vids", 1, 30, 90, {0, 0, 640, 480}), BitmapHeader(640, 480),
                   "second video"));
    MemorySource source(bytes);
    auto file = Open(source);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->form(), riff::Form::Avi);

    auto video = file->firstStream(kStreamVideo);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->type, kStreamVideo);
    EXPECT_EQ(video->name, "first video");
    EXPECT_EQ(video->scale, 1u);
    EXPECT_EQ(video->rate, 25u);
    EXPECT_EQ(video->length, 50u);
    EXPECT_EQ(video->frame.right, 320);
    EXPECT_EQ(video->frame.bottom, 240);

    auto audio = file->firstStream(kStreamAudio);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->name, "first audio");
    EXPECT_EQ(audio->rate, 8000u);
    EXPECT_FALSE(file->firstStream(riff::FourCC("txts")));
}

TEST(RiffFile, EmptyFrameRectangleIsTakenFromTheBitmapHeader) {
    // A top-down bitmap gives its height as a negative number.
    const std::string bytes =
        AviFile(StreamList(StreamHeader("vids", 1, 25, 50), BitmapHeader(720, -576)));
    MemorySource source(bytes);
    auto video = Open(source)->firstStream(kStreamVideo);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->frame.right, 720);
    EXPECT_EQ(video->frame.bottom, 576);
}

TEST(RiffFile, StreamNameEndsAtItsFirstNulAndIsCapped) {
    const std::string longName(5000, 'n');
    const std::string bytes =
        AviFile(StreamList(StreamHeader("vids", 1, 25, 50), "", std::string("cut\0here", 8)) +
                StreamList(StreamHeader("auds", 1, 8000, 8000), "", longName));
    MemorySource source(bytes);
    auto file = Open(source);
    EXPECT_EQ(file->firstStream(kStreamVideo)->name, "cut");
    EXPECT_EQ(file->firstStream(kStreamAudio)->name, longName.substr(0, riff::kMaxStreamNameBytes));
}

TEST(RiffFile, ShortStreamHeaderHidesItsStreamOnly) {
    const std::string shortHeader = StreamHeader("vids", 1, 25, 50).substr(0, 30);
    const std::string noRect = StreamHeader("auds", 1, 8000, 8000).substr(0, 36);
    const std::string bytes = AviFile(StreamList(shortHeader) + StreamList(noRect));
    MemorySource source(bytes);
    auto file = Open(source);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->firstStream(kStreamVideo));
    auto audio = file->firstStream(kStreamAudio);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->length, 8000u);
    EXPECT_TRUE(audio->frame.isEmpty());
}

TEST(RiffFile, InfoListIsFoundAtFileLevelOrElseInsideTheHeaderList) {
    const std::string info = InfoList({{"INAM", "Title"}});
    const std::string topLevel = AviFile("", info);
    MemorySource topSource(topLevel);
    auto data = Open(topSource)->readInfoList();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->substr(0, 4), "INFO");
    EXPECT_NE(data->find("INAM"), std::string::npos);

    const std::string inHeader = AviFile(info);
    MemorySource headerSource(inHeader);
    EXPECT_TRUE(Open(headerSource)->readInfoList());

    // Other lists are not INFO lists, whatever they hold.
    const std::string other = AviFile("", RiffList("odml", RiffChunk("INAM", "x")));
    MemorySource otherSource(other);
    EXPECT_FALSE(Open(otherSource)->readInfoList());
}

TEST(RiffFile, InfoListReadIsCapped) {
    const std::string big = test::RiffFile("WAVE", InfoList({{"ICMT", std::string(600000, 'c')}}));
    MemorySource source(big);
    auto file = Open(source);
    EXPECT_EQ(file->readInfoList()->size(), riff::kMaxInfoBytes);
    EXPECT_EQ(file->readInfoList(100)->size(), 100u);
}

TEST(RiffFile, WaveDurationComesFromTheFormatAndTheDataSize) {
    // 16-bit stereo at 44100 Hz: 176400 bytes a second; three seconds of data.
    const std::string bytes = test::RiffFile("WAVE", RiffChunk("fmt ", WaveFormat(44100, 2, 16)) +
                                                         RiffChunk("data", std::string(529200, 0)) +
                                                         InfoList({{"INAM", "After the data"}}));
    MemorySource source(bytes);
    auto file = Open(source);
    auto audio = file->firstStream(kStreamAudio);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->rate / audio->scale, 176400u);
    EXPECT_EQ(audio->length, 529200u);
    EXPECT_FALSE(file->firstStream(kStreamVideo));
    EXPECT_TRUE(file->readInfoList());
}

TEST(RiffFile, TruncatedFileIsReadAsFarAsItGoes) {
    // A recording cut short: the data chunk and the RIFF size promise more than there is.
    std::string bytes = test::RiffFile("WAVE", RiffChunk("fmt ", WaveFormat(8000, 1, 8)) +
                                                   RiffChunk("data", std::string(8000, 0)));
    bytes.resize(bytes.size() - 6000);
    MemorySource source(bytes);
    auto audio = Open(source)->firstStream(kStreamAudio);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->length, 2000u);

    // A header list cut inside its stream name still gives the stream.
    std::string avi = AviFile(
        StreamList(StreamHeader("vids", 1, 25, 50, {0, 0, 64, 48}), "", "a long stream name"));
    avi.resize(avi.find("long"));
    MemorySource aviSource(avi);
    auto video = Open(aviSource)->firstStream(kStreamVideo);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->name, "a ");
    EXPECT_EQ(video->frame.right, 64);
}

TEST(RiffFile, RiffSizeOfZeroMeansTheChunksRunToTheEndOfTheFile) {
    std::string bytes = test::RiffFile("WAVE", RiffChunk("fmt ", WaveFormat(8000, 1, 8)) +
                                                   RiffChunk("data", std::string(4000, 0)));
    bytes.replace(4, 4, Le32(0));
    MemorySource source(bytes);
    auto audio = Open(source)->firstStream(kStreamAudio);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->length, 4000u);
}

TEST(RiffFile, OddSizedChunksArePadded) {
    const std::string bytes = test::RiffFile("WAVE", RiffChunk("JUNK", "abc") +
                                                         RiffChunk("fmt ", WaveFormat(8000, 1, 8)));
    MemorySource source(bytes);
    EXPECT_TRUE(Open(source)->firstStream(kStreamAudio));
}

TEST(RiffFile, AWalkStopsAfterItsChunkLimit) {
    // Thousands of empty chunks before the format: the walk gives up, it never hangs.
    std::string junk;
    for (int i = 0; i < riff::kMaxChunksPerList; ++i)
        junk += RiffChunk("JUNK", "");
    const std::string bytes =
        test::RiffFile("WAVE", junk + RiffChunk("fmt ", WaveFormat(8000, 1, 8)));
    MemorySource source(bytes);
    auto file = Open(source);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->firstStream(kStreamAudio));

    junk.resize(junk.size() - 8);
    const std::string fewer =
        test::RiffFile("WAVE", junk + RiffChunk("fmt ", WaveFormat(8000, 1, 8)));
    MemorySource fewerSource(fewer);
    EXPECT_TRUE(Open(fewerSource)->firstStream(kStreamAudio));
}

TEST(RiffFile, ChunkSizePastTheEndEndsTheWalk) {
    // A size field of 0xFFFFFFFF must neither wrap around nor skip to a later chunk.
    const std::string bytes = test::RiffFile("WAVE", RiffChunk("JUNK", "xx", 0xFFFFFFFF) +
                                                         RiffChunk("fmt ", WaveFormat(8000, 1, 8)));
    MemorySource source(bytes);
    auto file = Open(source);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->firstStream(kStreamAudio));
}

} // namespace
} // namespace tressel
