#include "media_bytes.h"
#include "readers/media/realmedia_reader.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using test::Be16;
using test::Be32;
using Values = std::vector<std::string>;

std::string ContentChunk(std::string_view title, std::string_view author,
                         std::string_view copyright, std::string_view comment) {
    std::string strings;
    for (std::string_view text : {title, author, copyright, comment})
        strings += Be16(static_cast<uint32_t>(text.size())) + std::string(text);
    return "CONT" + Be32(static_cast<uint32_t>(10 + strings.size())) + Be16(0) + strings;
}

// A property as the logical-fileinfo stream holds it: name, type, value length, value.
std::string CreationDateProperty(std::string_view date) {
    return "Creation Date" + Be32(2) + Be16(static_cast<uint32_t>(date.size())) + std::string(date);
}

// Filler that holds no marker, so that a chunk can be put at a chosen offset.
std::string At(size_t offset, const std::string& chunk, size_t tail = 2000) {
    return std::string(offset, '\x11') + chunk + std::string(tail, '\x22');
}

ReadResult Read(const std::string& bytes) {
    MemorySource source(bytes);
    return ParseRealMedia(source, {});
}

TEST(RealMediaReader, FileMadeByFfmpeg) {
    CRealMediaReader reader(test::SourcePath("tests/fixtures/media/tags.rm"), false);
    EXPECT_TRUE(reader.isRecognized());
    EXPECT_EQ(reader.values(), (Values{"Real Author - Real Title", "Real Title", "Real Author",
                                       "(C) 2004 Real Author", "Real comment"}));
}

TEST(RealMediaReader, AuthorAndTitleCombineAndEmptyTextsAreLeftOut) {
    EXPECT_EQ(Read(At(68, ContentChunk("Title", "Author", "(C) Me", "Note"))).values,
              (Values{"Author - Title", "Title", "Author", "(C) Me", "Note"}));
    EXPECT_EQ(Read(At(68, ContentChunk("", "Author", "", "Note"))).values,
              (Values{"Author", "Note"}));
    EXPECT_EQ(Read(At(68, ContentChunk("Title", "", "(C) Me", ""))).values,
              (Values{"Title", "(C) Me"}));
}

// The content marker turns up in many other files (compiled units, databases): only a
// file that begins with a RealMedia or RealAudio signature names an extension.
TEST(RealMediaReader, OnlyASignatureNamesTheExtension) {
    const std::string chunk = ContentChunk("Title", "", "", "");
    const std::pair<std::string, const char*> cases[] = {
        {".RMF" + At(64, chunk), "rm"}, {".ra\xFD" + At(64, chunk), "ra"}, {At(68, chunk), ""}};
    for (const auto& [bytes, extension] : cases) {
        const ReadResult result = Read(bytes);
        EXPECT_TRUE(result.recognised);
        EXPECT_EQ(result.extension, extension);
    }
}

TEST(RealMediaReader, MarkerLateInAWindowIsReadFromTheNextWindow) {
    // At 900 the chunk would be cut by the first window's end.
    const std::string longComment(200, 'c');
    EXPECT_EQ(Read(At(900, ContentChunk("Title", "Author", "", longComment))).values,
              (Values{"Author - Title", "Title", "Author", longComment}));
    // Split between the first and the second window.
    EXPECT_EQ(Read(At(1021, ContentChunk("T", "", "", ""))).values, Values{"T"});
    // In the fourth window, and beyond it.
    EXPECT_EQ(Read(At(3050, ContentChunk("Far", "", "", ""))).values, Values{"Far"});
    EXPECT_FALSE(Read(At(4200, ContentChunk("Too far", "", "", ""))).recognised);
}

TEST(RealMediaReader, WithoutContentOrCreationDateTheFileIsRefused) {
    EXPECT_FALSE(Read(std::string(5000, '\x11')).recognised);
    EXPECT_FALSE(Read("").recognised);
    EXPECT_FALSE(Read(".RMF").recognised);
    // A chunk with nothing in it gives no value, so no recognition either.
    EXPECT_FALSE(Read(At(68, ContentChunk("", "", "", ""))).recognised);
    test::TempDir dir;
    const std::string path = dir.write("clip.rm", std::string(3000, '\x11'));
    EXPECT_FALSE(CRealMediaReader(path, false).isRecognized());
}

TEST(RealMediaReader, CreationDateComesLast) {
    const std::string date = "7/12/2005 10:24:33";
    EXPECT_EQ(Read(At(40, CreationDateProperty(date) + ContentChunk("Title", "", "", ""))).values,
              (Values{"Title", date}));
    // Alone it is enough; it is searched for in every window read.
    EXPECT_EQ(Read(At(2500, CreationDateProperty(date))).values, Values{date});
    // A value that would run past the bytes read is not taken.
    std::string cut = CreationDateProperty(date);
    EXPECT_FALSE(Read(cut.substr(0, cut.size() - 1)).recognised);
}

TEST(RealMediaReader, LengthsAreSixteenBitAndBoundedByTheWindow) {
    const std::string title(300, 't'); // a one-byte length would read 44 bytes
    EXPECT_EQ(Read(At(10, ContentChunk(title, "Author", "", ""))).values,
              (Values{"Author - " + title, title, "Author"}));
    // A text running past the window ends the chunk: the title alone is kept.
    EXPECT_EQ(Read(At(10, ContentChunk("Title", std::string(2000, 'a'), "(C)", ""))).values,
              Values{"Title"});
    // The file ends in the middle of the chunk.
    const std::string chunk = ContentChunk("Title", "Author", "", "");
    EXPECT_EQ(Read(chunk.substr(0, chunk.find("Author") + 3)).values, Values{"Title"});
    EXPECT_FALSE(Read("CONT").recognised);
    // Texts that are not UTF-8 are Windows-1252.
    EXPECT_EQ(Read(At(10, ContentChunk("Caf\xE9", "", "", ""))).values, Values{"Café"});
}

} // namespace
} // namespace tressel
