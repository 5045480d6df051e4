#include "readers/content_type.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using Extensions = std::vector<std::string>;

const std::string kPng("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0", 29);
// gzip names its type from the file's last bytes as well as its first.
const std::string kGzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x03\x00\x00\x00\x00\x00\x00"
                        "\x00\x00\x00",
                        20);

TEST(ContentType, MagicOnMemoryAndFiles) {
    MemorySource png(kPng);
    const MagicAnswer answer = AskMagic(png);
    EXPECT_EQ(answer.mimeType, "image/png");
    EXPECT_EQ(answer.extensions, Extensions{"png"});
    EXPECT_FALSE(answer.isText());
    EXPECT_EQ(answer.description.rfind("PNG image data", 0), 0u) << answer.description;

    const std::string plain = "Frequencies for the autumn schedule\n";
    MemorySource text(plain);
    EXPECT_TRUE(AskMagic(text).isText());
    EXPECT_TRUE(AskMagic(text).extensions.empty());

    test::TempDir dir;
    const struct {
        const char* name;
        std::string bytes;
        const char* extension;
        bool text;
        bool weak;
    } cases[] = {
        {"00AA.bin", kGzip, "gz", false, false},
        {"00AB.bin", kPng, "png", false, false},
        {"00AC.bin", plain, "", true, true},
        {"00AD.bin", "<html><head><title>Prices</title></head></html>\n", "html", false, true},
        {"00AE.bin", "", "", false, false},
        {"00AF.bin", "{\\rtf1\\ansi Hello}\n", "rtf", false, true},
        // libmagic calls this JavaScript after a few words: it is text.
        {"00B0.bin", "# Notes\n\nconst fs = require(\"fs\");\nfunction read() {}\n", "", true,
         true},
    };
    for (const auto& c : cases) {
        const ContentType type = IdentifyContent(dir.write(c.name, c.bytes));
        EXPECT_EQ(type.extension(), c.extension) << c.name;
        EXPECT_EQ(type.text, c.text) << c.name;
        EXPECT_EQ(type.weak, c.weak) << c.name;
    }
    EXPECT_TRUE(IdentifyContent(dir.file("missing")).extensions.empty());
}

TEST(ContentType, ASelfExtractingArchiveIsDescribedAsOne) {
    EXPECT_EQ(ContentDescription("exe", "zip"), "Self-extracting ZIP archive");
    EXPECT_EQ(ContentDescription("exe", "exe"), "Windows executable");
}

} // namespace
} // namespace tressel
