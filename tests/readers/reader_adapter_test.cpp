#include "readers/asf_reader.h"
#include "readers/exe_reader.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using test::ReadWholeFile;
using test::SourcePath;

// A parser that notes every request it gets and, like the executable parser, holds
// its values back when asked only whether the content is its format.
std::vector<int> g_requested;

ReadResult RecordingParse(ByteSource&, const ReadRequest& request) {
    g_requested.push_back(request.maxValues);
    ReadResult result("rec");
    result.accept("rec");
    for (int i = 0; i < request.maxValues; ++i)
        result.add("Label", "value");
    result.moreValues = request.maxValues == 0;
    return result;
}

constexpr ReaderFormat kRecordingFormat{"rec", "rec", &RecordingParse};

class CRecordingReader final : public CFileReader {
public:
    CRecordingReader(const std::string& path, bool scanAll)
        : CFileReader(kRecordingFormat, path, scanAll) {}
};

TEST(ReaderAdapter, HandsMaxValuesToTheParserAsItIs) {
    test::TempDir dir;
    const std::string path = dir.write("x.rec", "anything");
    for (const int maxValues : {0, 3, 9, 1000}) {
        g_requested.clear();
        CRecordingReader reader(path, false);
        ASSERT_TRUE(reader.isRecognized());
        EXPECT_EQ(reader.extract(maxValues), maxValues);
        EXPECT_EQ(reader.labels().size(), reader.values().size());
        // The probe asks with 0; extract() passes the caller's number on.
        EXPECT_EQ(g_requested, (std::vector<int>{0, maxValues}));
    }
}

TEST(ReaderAdapter, OnlyTheExecutableParserCutsTheValues) {
    test::TempDir dir;
    const std::string exe =
        dir.write("a.exe", ReadWholeFile(SourcePath("tests/fixtures/exe/us_english.exe")));
    const std::string wma =
        dir.write("a.wma", ReadWholeFile(SourcePath("tests/fixtures/media/tags.wma")));
    struct Case {
        int maxValues;
        int exeValues;
    };
    for (const Case c : {Case{0, 0}, Case{3, 3}, Case{9, 9}, Case{50, 9}}) {
        CExeReader exeReader(exe, false);
        EXPECT_EQ(exeReader.extract(c.maxValues), c.exeValues) << c.maxValues;
        CAsfReader asfReader(wma, false);
        EXPECT_EQ(asfReader.extract(c.maxValues), 10) << c.maxValues; // ASF's ten stay ten
    }
}

TEST(ReaderAdapter, ContentNamesTheExtensionItShouldCarry) {
    const std::pair<const char*, const char*> cases[] = {
        {"exe/us_english.exe", "exe"}, {"exe/german.dll", "dll"}, {"media/clip.wmv", "wmv"},
        {"media/tags.wma", "wma"},     {"media/info.avi", "avi"}, {"media/info.wav", "wav"},
        {"media/tags.rm", "rm"},       {"media/tags.ogg", "ogg"}, {"media/id3v23.mp3", "mp3"}};
    for (const auto& [fixture, extension] : cases) {
        auto reader = CreateFileReader(SourcePath(std::string("tests/fixtures/") + fixture), true);
        EXPECT_EQ(reader->contentExtension(), extension) << fixture;
    }
}

} // namespace
} // namespace tressel
