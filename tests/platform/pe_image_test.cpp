#include "platform/pe/pe_image.h"
#include "platform/pe/version_info.h"
#include "platform/text.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace tressel::pe {
namespace {

using test::ReadWholeFile;
using test::SourcePath;

std::string Fixture(std::string_view name) {
    const std::string bytes = ReadWholeFile(SourcePath("tests/fixtures/exe/" + std::string(name)));
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

std::optional<PeImage> Parse(const std::string& bytes) {
    MemorySource source(bytes);
    return PeImage::parse(source);
}

const Section* FindSection(const PeImage& image, std::string_view name) {
    for (const Section& s : image.sections()) {
        if (s.name == name)
            return &s;
    }
    return nullptr;
}

void PutLe16(std::string& bytes, size_t at, uint16_t v) {
    bytes[at] = char(v & 0xFF);
    bytes[at + 1] = char(v >> 8);
}
void PutLe32(std::string& bytes, size_t at, uint32_t v) {
    PutLe16(bytes, at, uint16_t(v & 0xFFFF));
    PutLe16(bytes, at + 2, uint16_t(v >> 16));
}

// ---- headers and sections -------------------------------------------------------------

TEST(PeImage, ReadsThirtyTwoAndSixtyFourBitHeaders) {
    const auto wide = Parse(Fixture("us_english.exe"));
    ASSERT_TRUE(wide);
    EXPECT_TRUE(wide->is64());
    EXPECT_EQ(wide->machine(), 0x8664);
    EXPECT_FALSE(wide->isDll());

    const auto narrow = Parse(Fixture("translation_only.exe"));
    ASSERT_TRUE(narrow);
    EXPECT_FALSE(narrow->is64());
    EXPECT_EQ(narrow->machine(), 0x14C);
    EXPECT_EQ(narrow->imageBase(), 0x400000u);

    const auto library = Parse(Fixture("german.dll"));
    ASSERT_TRUE(library);
    EXPECT_TRUE(library->isDll());
}

// The section layout objdump reports for overlay.exe: .text at 0x1000 in the image and
// 0x400 in the file, .data 0x2000 / 0x600, .bss 0x4000 without file data, .rsrc last.
TEST(PeImage, MapsRvasThroughTheSectionTable) {
    const auto image = Parse(Fixture("overlay.exe"));
    ASSERT_TRUE(image);
    std::vector<std::string> names;
    for (const Section& s : image->sections())
        names.push_back(s.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{".text", ".data", ".rdata", ".bss", ".idata", ".rsrc"}));

    EXPECT_EQ(image->rvaToFileOffset(0x1000), 0x400u);
    EXPECT_EQ(image->rvaToFileOffset(0x1010), 0x410u);
    EXPECT_EQ(image->rvaToFileOffset(0x2004), 0x604u);
    EXPECT_EQ(image->rvaToFileOffset(0x4000), std::nullopt); // uninitialised data
    EXPECT_EQ(image->rvaToFileOffset(0x10), std::nullopt);   // headers
    EXPECT_EQ(image->rvaToFileOffset(0xFFFFFFFF), std::nullopt);
    const Section* text = FindSection(*image, ".text");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(image->rvaToFileOffset(text->virtualAddress + text->sizeOfRawData), std::nullopt);
}

TEST(PeImage, OverlayIsWhatFollowsTheLastSectionData) {
    const std::string bytes = Fixture("overlay.exe");
    const std::string cabinet = Fixture("payload.cab");
    const auto image = Parse(bytes);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->hasOverlay());
    EXPECT_EQ(image->fileSize(), bytes.size());
    EXPECT_EQ(image->overlayStart(), bytes.size() - cabinet.size());
    EXPECT_EQ(bytes.substr(image->overlayStart()), cabinet);

    const auto plain = Parse(Fixture("us_english.exe"));
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->hasOverlay());
    EXPECT_EQ(plain->overlayStart(), plain->fileSize());
}

// ---- resources -----------------------------------------------------------------------

TEST(PeImage, FindsRcDataByNameWithItsDataEntryAndBytes) {
    const std::string bytes = Fixture("wextract_long_title.exe");
    MemorySource source(bytes);
    const auto image = PeImage::parse(source);
    ASSERT_TRUE(image);

    const auto cabinet = image->findResource(source, kResourceTypeRcData, "CABINET");
    ASSERT_TRUE(cabinet);
    EXPECT_EQ(ReadResource(source, *cabinet, 1 << 20), Fixture("payload.cab"));
    // The data entry holds the data's RVA and size, and the RVA leads to the bytes.
    ASSERT_LE(cabinet->dataEntryOffset + 16, bytes.size());
    EXPECT_EQ(ReadLe32(bytes.data() + cabinet->dataEntryOffset), cabinet->dataRva);
    EXPECT_EQ(ReadLe32(bytes.data() + cabinet->dataEntryOffset + 4), cabinet->size);
    EXPECT_EQ(image->rvaToFileOffset(cabinet->dataRva), cabinet->dataOffset);

    const auto title = image->findResource(source, kResourceTypeRcData, "title");
    ASSERT_TRUE(title);
    EXPECT_EQ(ReadResource(source, *title, 1 << 20), Fixture("long_title.bin"));
    EXPECT_EQ(ReadResource(source, *title, 500), Fixture("long_title.bin").substr(0, 500));

    EXPECT_FALSE(image->findResource(source, kResourceTypeRcData, "TITLES"));
    EXPECT_FALSE(image->findResource(source, kResourceTypeRcData, "TITL"));
    EXPECT_FALSE(image->findResource(source, 3, "TITLE"));
    EXPECT_FALSE(image->findResource(source, kResourceTypeRcData, 1));
    EXPECT_TRUE(image->findResource(source, kResourceTypeVersion, kVersionResourceId));
}

TEST(PeImage, ImageWithoutResourcesAnswersNothing) {
    const std::string bytes = Fixture("no_version.exe");
    MemorySource source(bytes);
    const auto image = PeImage::parse(source);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->findResource(source, kResourceTypeVersion, kVersionResourceId));
    EXPECT_EQ(VersionInfoSize(source), 0u);
    EXPECT_FALSE(ReadVersionBlock(source));
}

// ---- malformed headers ---------------------------------------------------------------

class MalformedImage : public ::testing::Test {
protected:
    void SetUp() override {
        bytes = Fixture("us_english.exe");
        peOffset = ReadLe32(bytes.data() + 0x3C);
        const auto image = Parse(bytes);
        ASSERT_TRUE(image);
        const Section* rsrc = FindSection(*image, ".rsrc");
        ASSERT_NE(rsrc, nullptr);
        resourceRoot = rsrc->pointerToRawData;
        MemorySource source(bytes);
        const auto version = image->findResource(source, kResourceTypeVersion, kVersionResourceId);
        ASSERT_TRUE(version);
        versionEntry = version->dataEntryOffset;
        versionEnd = version->dataOffset + version->size;
        ASSERT_GT(VersionSize(), 0u);
    }
    uint32_t VersionSize() const {
        MemorySource source(bytes);
        return VersionInfoSize(source);
    }

    std::string bytes;
    uint32_t peOffset = 0;
    uint64_t resourceRoot = 0;
    uint64_t versionEntry = 0;
    uint64_t versionEnd = 0;
};

TEST_F(MalformedImage, BrokenHeadersAreNotAnImage) {
    const std::string good = bytes;
    PutLe32(bytes, 0x3C, uint32_t(good.size()) - 2); // PE header past the end
    EXPECT_FALSE(Parse(bytes));
    bytes = good;
    PutLe32(bytes, 0x3C, 0xFFFFFFF0);
    EXPECT_FALSE(Parse(bytes));
    bytes = good;
    bytes[peOffset + 2] = 'X'; // signature
    EXPECT_FALSE(Parse(bytes));
    bytes = good;
    PutLe16(bytes, peOffset + 24, 0x107); // optional header magic
    EXPECT_FALSE(Parse(bytes));
    bytes = good;
    PutLe16(bytes, peOffset + 6, 0xFFFF); // section count
    EXPECT_FALSE(Parse(bytes));
    bytes = good;
    PutLe16(bytes, peOffset + 20, 0x40); // optional header too short for its directories
    EXPECT_FALSE(Parse(bytes));
    bytes = good;
    PutLe16(bytes, peOffset + 20, 0xFFFF); // optional header runs past the end
    EXPECT_FALSE(Parse(bytes));
    bytes = good;
    bytes[0] = 'Z';
    EXPECT_FALSE(Parse(bytes));
}

TEST_F(MalformedImage, EveryTruncationIsSafeAndCompleteDataIsNeeded) {
    const std::string whole = bytes;
    for (size_t length = 0; length <= whole.size(); ++length) {
        bytes = whole.substr(0, length);
        if (length < versionEnd)
            EXPECT_EQ(VersionSize(), 0u) << length;
        else
            EXPECT_GT(VersionSize(), 0u) << length;
    }
}

TEST_F(MalformedImage, DirectoryPointingBackAtItselfEnds) {
    PutLe32(bytes, resourceRoot + 20, 0x80000000); // type entry -> root
    EXPECT_EQ(VersionSize(), 0u);
}

TEST_F(MalformedImage, LeafWhereADirectoryBelongsAndTheReverseAreRefused) {
    const std::string good = bytes;
    PutLe32(bytes, resourceRoot + 20, ReadLe32(good.data() + resourceRoot + 20) & 0x7FFFFFFF);
    EXPECT_EQ(VersionSize(), 0u);
    bytes = good;
    // The data entry's own offset, relative to the root, marked as a directory.
    PutLe32(bytes, resourceRoot + 20, uint32_t(versionEntry - resourceRoot) | 0x80000000);
    EXPECT_EQ(VersionSize(), 0u);
}

TEST_F(MalformedImage, AbsurdEntryCountsAreRefused) {
    PutLe16(bytes, resourceRoot + 12, 0xFFFF);
    PutLe16(bytes, resourceRoot + 14, 0xFFFF);
    EXPECT_EQ(VersionSize(), 0u);
}

TEST_F(MalformedImage, DataOutsideTheFileIsRefused) {
    const std::string good = bytes;
    PutLe32(bytes, versionEntry + 4, 0xFFFFFFF0); // size
    EXPECT_EQ(VersionSize(), 0u);
    bytes = good;
    PutLe32(bytes, versionEntry, 0x7FFFFFF0); // RVA in no section
    EXPECT_EQ(VersionSize(), 0u);
    bytes = good;
    PutLe32(bytes, resourceRoot + 20, 0xFFFFFFFF); // subdirectory far outside
    EXPECT_EQ(VersionSize(), 0u);
}

// ---- version blocks ------------------------------------------------------------------

std::string Utf16(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

void Pad4(std::string& bytes) {
    while (bytes.size() % 4)
        bytes += '\0';
}

// A node laid out as the resource compiler lays it out.
std::string Node(std::string_view key, std::string_view value, uint16_t valueLength, uint16_t type,
                 const std::vector<std::string>& children = {}) {
    std::string node(6, '\0');
    node += Utf16(key) + std::string(2, '\0');
    Pad4(node);
    node += value;
    for (const std::string& child : children) {
        Pad4(node);
        node += child;
    }
    PutLe16(node, 0, uint16_t(node.size()));
    PutLe16(node, 2, valueLength);
    PutLe16(node, 4, type);
    return node;
}

std::string StringNode(std::string_view name, std::string_view value) {
    return Node(name, Utf16(value) + std::string(2, '\0'), uint16_t(value.size() + 1), 1);
}

std::string Block(const std::vector<std::string>& tables, std::string_view translation) {
    return Node("VS_VERSION_INFO", std::string(52, '\0'), 52, 0,
                {Node("StringFileInfo", "", 0, 1, tables),
                 Node("VarFileInfo", "", 0, 1,
                      {Node("Translation", translation, uint16_t(translation.size()), 0)})});
}

const std::string kTwoTranslations("\x07\x04\xB0\x04\x09\x04\xE4\x04", 8);

TEST(VersionInfo, ReadsTablesAndTranslations) {
    const std::string block =
        Block({Node("040704B0", "", 0, 1, {StringNode("FileVersion", "1.0 de")}),
               Node("040904E4", "", 0, 1,
                    {StringNode("FileDescription", "Tool"), StringNode("FileVersion", "1.0")})},
              kTwoTranslations);
    const VersionInfo info = VersionInfo::parse(block);
    ASSERT_EQ(info.stringTables().size(), 2u);
    EXPECT_EQ(info.stringTables()[0].key, "040704B0");
    ASSERT_EQ(info.translations().size(), 2u);
    EXPECT_EQ(info.translations()[0].language, 0x0407);
    EXPECT_EQ(info.translations()[0].codePage, 0x04B0);
    EXPECT_EQ(info.translations()[1].codePage, 0x04E4);
    EXPECT_EQ(info.findString("040904e4", "fileversion"), "1.0");
    EXPECT_EQ(info.findString(TableKey(0x0407, 0x04B0), "FileVersion"), "1.0 de");
    EXPECT_EQ(info.findString("040904e4", "Comments"), std::nullopt);
    EXPECT_EQ(info.findString("041104b0", "FileVersion"), std::nullopt);
    EXPECT_EQ(TableKey(0x0409, 0x04E4), "040904e4");
}

TEST(VersionInfo, ValueLengthInBytesOrZeroIsTolerated) {
    std::string inBytes = StringNode("ProductName", "Suite");
    PutLe16(inBytes, 2, 12); // bytes, not characters
    const std::string block =
        Block({Node("040904E4", "", 0, 1,
                    {inBytes, Node("Comments", "", 0, 1), StringNode("FileVersion", "2")})},
              std::string("\x09\x04\xE4\x04", 4));
    const VersionInfo info = VersionInfo::parse(block);
    EXPECT_EQ(info.findString("040904e4", "ProductName"), "Suite");
    EXPECT_EQ(info.findString("040904e4", "Comments"), "");
    EXPECT_EQ(info.findString("040904e4", "FileVersion"), "2");
}

TEST(VersionInfo, DamagedNodesEndTheirListWithoutHanging) {
    std::string zeroLength = StringNode("FileVersion", "9");
    PutLe16(zeroLength, 0, 0);
    std::string block = Block(
        {Node("040904E4", "", 0, 1,
              {StringNode("ProductName", "Kept"), zeroLength, StringNode("Comments", "lost")})},
        "");
    VersionInfo info = VersionInfo::parse(block);
    ASSERT_EQ(info.stringTables().size(), 1u);
    EXPECT_EQ(info.findString("040904e4", "ProductName"), "Kept");
    EXPECT_EQ(info.findString("040904e4", "Comments"), std::nullopt);

    // A root that claims more than the block holds is read as far as the block goes.
    block = Block({Node("040904E4", "", 0, 1, {StringNode("ProductName", "Long")})}, "");
    PutLe16(block, 0, 0xFFFF);
    info = VersionInfo::parse(block);
    EXPECT_EQ(info.findString("040904e4", "ProductName"), "Long");
}

TEST(VersionInfo, GermanFixtureConvertsUtf16ToUtf8) {
    const std::string bytes = Fixture("german.dll");
    MemorySource source(bytes);
    const auto block = ReadVersionBlock(source);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), VersionInfoSize(source));
    const VersionInfo info = VersionInfo::parse(*block);
    ASSERT_EQ(info.stringTables().size(), 1u);
    EXPECT_EQ(ToLowerAscii(info.stringTables()[0].key), "040704b0");
    EXPECT_EQ(info.findString("040704b0", "CompanyName"), "Z\xC3\xBCrcher Funktechnik AG");
    ASSERT_EQ(info.translations().size(), 1u);
    EXPECT_EQ(info.translations()[0].language, 0x0407);
    EXPECT_EQ(info.translations()[0].codePage, 1200);
}

} // namespace
} // namespace tressel::pe
