#include "media_builders.h"
#include "platform/asf/asf_header.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using namespace tressel::test;
using asf::AttributeType;

std::optional<asf::AsfHeader> Read(const std::string& bytes) {
    MemorySource source(bytes);
    return asf::AsfHeader::read(source);
}

std::string TextOf(const asf::AsfHeader& header, std::string_view name) {
    const asf::Attribute* a = header.attributeByName(name);
    return a ? a->text() : "<none>";
}

TEST(AsfHeader, RefusesWhatDoesNotStartWithAHeaderObject) {
    EXPECT_FALSE(Read(""));
    EXPECT_FALSE(Read(AsfHeader("").substr(0, 29)));
    EXPECT_FALSE(Read(AsfObject(kAsfFilePropertiesGuid, std::string(80, '\0'))));
    std::string tooSmall = AsfHeader("");
    tooSmall.replace(16, 8, Le64(29));
    EXPECT_FALSE(Read(tooSmall));
    // An empty header is still an ASF file, with nothing to say.
    auto empty = Read(AsfHeader(""));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->attributes().empty());
}

TEST(AsfHeader, ContentDescriptionGivesItsFiveTexts) {
    auto header = Read(AsfHeader(AsfContentDescription(Utf16z("A title"), Utf16z("An author"), "",
                                                       Utf16z("About it"), Utf16z("G"))));
    ASSERT_TRUE(header);
    EXPECT_EQ(TextOf(*header, "Title"), "A title");
    EXPECT_EQ(TextOf(*header, "Author"), "An author");
    EXPECT_EQ(TextOf(*header, "Copyright"), "<none>"); // zero length: absent
    EXPECT_EQ(TextOf(*header, "Description"), "About it");
    EXPECT_EQ(TextOf(*header, "Rating"), "G");
    EXPECT_EQ(header->attributeByName("Title")->type, AttributeType::String);
    EXPECT_EQ(TextOf(*header, "title"), "<none>"); // names match exactly
}

TEST(AsfHeader, AttributesOfEveryObjectWithTheirTypes) {
    const std::string metadata =
        AsfMetadata(kAsfMetadataGuid, {{"WM/Genre", kAsfString, Utf16z("Jazz")},
                                       {"AspectRatioX", kAsfDword, Le32(4), 1}});
    const std::string library =
        AsfMetadata(kAsfMetadataLibraryGuid, {{"WM/Lyrics", kAsfString, Utf16z("La la")}});
    auto header = Read(AsfHeader(AsfExtendedContent({{"WM/AlbumTitle", kAsfString, Utf16z("Album")},
                                                     {"WM/Year", kAsfDword, Le32(2009)},
                                                     {"IsVBR", kAsfBool, Le32(1)},
                                                     {"WM/Track", kAsfWord, Le16(7)},
                                                     {"WM/Picture", kAsfBinary, "\x01\x02\x03"},
                                                     {"Big", kAsfQword, Le64(1ull << 40)}}) +
                                 AsfHeaderExtension(metadata + library)));
    ASSERT_TRUE(header);
    EXPECT_EQ(TextOf(*header, "WM/AlbumTitle"), "Album");
    const asf::Attribute* year = header->attributeByName("WM/Year");
    ASSERT_TRUE(year);
    EXPECT_EQ(year->type, AttributeType::Dword);
    EXPECT_EQ(year->number(), 2009u);
    EXPECT_EQ(header->attributeByName("IsVBR")->type, AttributeType::Bool);
    EXPECT_EQ(header->attributeByName("WM/Track")->number(), 7u);
    EXPECT_EQ(header->attributeByName("WM/Picture")->type, AttributeType::Binary);
    EXPECT_EQ(header->attributeByName("Big")->number(), 1ull << 40);
    EXPECT_EQ(TextOf(*header, "WM/Genre"), "Jazz");
    EXPECT_EQ(TextOf(*header, "WM/Lyrics"), "La la");
    // Records of a stream other than 0 describe that stream, not the file.
    EXPECT_FALSE(header->attributeByName("AspectRatioX"));
}

TEST(AsfHeader, ObjectsTakePrecedenceInAFixedOrderWhateverTheirPlace) {
    const std::string library =
        AsfMetadata(kAsfMetadataLibraryGuid, {{"Title", kAsfString, Utf16z("library")},
                                              {"WM/Genre", kAsfString, Utf16z("library")},
                                              {"WM/Mood", kAsfString, Utf16z("library")}});
    const std::string metadata =
        AsfMetadata(kAsfMetadataGuid, {{"Title", kAsfString, Utf16z("metadata")},
                                       {"WM/Genre", kAsfString, Utf16z("metadata")}});
    auto header = Read(AsfHeader(AsfHeaderExtension(library + metadata) +
                                 AsfExtendedContent({{"Title", kAsfString, Utf16z("extended")},
                                                     {"Author", kAsfString, Utf16z("extended")}}) +
                                 AsfContentDescription(Utf16z("description"), "", "", "")));
    ASSERT_TRUE(header);
    EXPECT_EQ(TextOf(*header, "Title"), "description");
    EXPECT_EQ(TextOf(*header, "Author"), "extended");
    EXPECT_EQ(TextOf(*header, "WM/Genre"), "metadata");
    EXPECT_EQ(TextOf(*header, "WM/Mood"), "library");
}

TEST(AsfHeader, DurationIsThePlayDurationLessThePreroll) {
    auto header = Read(AsfHeader(AsfFileProperties(36'000'000'000 + 31'000'000, 3100)));
    const asf::Attribute* duration = header->attributeByName("Duration");
    ASSERT_TRUE(duration);
    EXPECT_EQ(duration->type, AttributeType::Qword);
    EXPECT_EQ(duration->number(), 36'000'000'000u);

    // A preroll longer than the play time leaves nothing, rather than wrapping around.
    EXPECT_EQ(Read(AsfHeader(AsfFileProperties(5000, 3100)))->attributeByName("Duration")->number(),
              0u);
    // A broadcast does not know its length.
    EXPECT_FALSE(Read(AsfHeader(AsfFileProperties(90'000'000, 0, 1)))->attributeByName("Duration"));
    // A file properties object too short for its fields says nothing.
    std::string cut = AsfFileProperties(90'000'000, 0);
    cut = AsfObject(kAsfFilePropertiesGuid, cut.substr(24, 60));
    EXPECT_FALSE(Read(AsfHeader(cut))->attributeByName("Duration"));
}

TEST(AsfHeader, DamagedObjectsAreReadAsFarAsTheyAreSound) {
    // A record count larger than the records there are.
    std::string extended = AsfExtendedContent({{"WM/Genre", kAsfString, Utf16z("Folk")}});
    extended.replace(24, 2, Le16(60000));
    auto header = Read(AsfHeader(extended));
    ASSERT_TRUE(header);
    EXPECT_EQ(TextOf(*header, "WM/Genre"), "Folk");

    // An object size below its own header stops the walk; what came before stays.
    const std::string broken = AsfObject(kAsfExtendedContentGuid, "", 10) +
                               AsfContentDescription(Utf16z("Late"), "", "", "");
    auto stopped = Read(AsfHeader(AsfContentDescription(Utf16z("Early"), "", "", "") + broken));
    EXPECT_EQ(TextOf(*stopped, "Title"), "Early");

    // A header that claims more than the file holds, and a text cut by the end of file.
    std::string truncated =
        AsfHeader(AsfContentDescription(Utf16z("Whole"), Utf16z("Cut off"), "", ""));
    truncated.resize(truncated.size() - 6);
    auto partial = Read(truncated);
    ASSERT_TRUE(partial);
    EXPECT_EQ(TextOf(*partial, "Title"), "Whole");
    EXPECT_EQ(TextOf(*partial, "Author"), "<none>");
}

TEST(AsfHeader, OversizedAndUnknownValuesAreSkippedNotTheRecordsAfterThem) {
    const std::string huge(asf::kMaxValueBytes + 2, 'x');
    const std::string metadata =
        AsfMetadata(kAsfMetadataLibraryGuid, {{"WM/Picture", kAsfBinary, huge},
                                              {"Odd", 9, "abcd"},
                                              {"WM/Genre", kAsfString, Utf16z("Still here")}});
    auto header = Read(AsfHeader(AsfHeaderExtension(metadata)));
    ASSERT_TRUE(header);
    EXPECT_FALSE(header->attributeByName("WM/Picture"));
    EXPECT_FALSE(header->attributeByName("Odd"));
    EXPECT_EQ(TextOf(*header, "WM/Genre"), "Still here");
}

TEST(AsfHeader, AttributeCountIsCapped) {
    std::string body = Le16(3000);
    for (int i = 0; i < 3000; ++i) {
        const std::string name = Utf16z("N" + std::to_string(i));
        body += Le16(name.size()) + name + Le16(kAsfString) + Le16(4) + Utf16z("v");
    }
    auto header = Read(AsfHeader(AsfObject(kAsfExtendedContentGuid, body)));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->attributes().size(), asf::kMaxAttributes);
}

TEST(AsfHeader, AnExtensionInsideAnExtensionIsNotWalked) {
    const std::string inner = AsfHeaderExtension(
        AsfMetadata(kAsfMetadataGuid, {{"WM/Genre", kAsfString, Utf16z("Nested")}}));
    auto header = Read(AsfHeader(AsfHeaderExtension(inner)));
    ASSERT_TRUE(header);
    EXPECT_FALSE(header->attributeByName("WM/Genre"));
}

} // namespace
} // namespace tressel
