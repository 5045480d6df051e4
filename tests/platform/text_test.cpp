#include "platform/text.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

TEST(Utf8, ValidityRejectsOverlongsSurrogatesAndTruncation) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("\xC3\x9C"
                            "ber \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));         // cut short
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));
}

TEST(RawToUtf8, KeepsUtf8AndReadsEverythingElseAsWindows1252) {
    EXPECT_EQ(RawToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(RawToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(RawToUtf8("\x80 5"), "\xE2\x82\xAC 5"); // euro sign
    // 0x81 has no character in Windows-1252; it is kept as U+0081, not dropped.
    EXPECT_EQ(Cp1252ToUtf8("a\x81z"), "a\xC2\x81z");
}

TEST(Cp437, BoxDrawingAndAccents) {
    EXPECT_EQ(Cp437ToUtf8("\x81"), "\xC3\xBC"); // u umlaut
    EXPECT_EQ(Cp437ToUtf8("\xC9"), "\xE2\x95\x94");
}

TEST(Utf16, PairsSurrogatesAndStopsAtNul) {
    EXPECT_EQ(Utf16LeToUtf8(std::string("H\0i\0\0\0x\0", 8)), "Hi");
    EXPECT_EQ(Utf16BeToUtf8(std::string("\0H\0i", 4)), "Hi");
    EXPECT_EQ(Utf16LeToUtf8(std::string("\x3D\xD8\x00\xDE", 4)), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16LeToUtf8(std::string("\x00\xDE", 2)), "\xEF\xBF\xBD"); // lone low half
    EXPECT_EQ(Utf16LeToUtf8(std::string("A\0B", 3)), "A");                // odd byte dropped
}

TEST(ToValidUtf8, ReplacesEachInvalidByte) {
    EXPECT_EQ(ToValidUtf8("a\xFF\xFE"
                          "b"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(ToValidUtf8("ok \xC3\x9C"), "ok \xC3\x9C");
}

TEST(CompareNoCase, FoldsAsciiOnlyThenComparesUnsignedBytes) {
    EXPECT_EQ(CompareNoCase("README.TXT", "readme.txt"), 0);
    EXPECT_LT(CompareNoCase("a", "B"), 0);
    EXPECT_LT(CompareNoCase("_", "a"), 0); // '_' (0x5F) sorts before 'a' once folded
    EXPECT_LT(CompareNoCase("z", "\xC3\x9C"), 0);
    EXPECT_NE(CompareNoCase("\xC3\xBC", "\xC3\x9C"), 0); // no folding beyond ASCII
    EXPECT_LT(CompareNoCase("ab", "abc"), 0);
    EXPECT_TRUE(StartsWithNoCase("WExtract.exe", "wextract"));
    EXPECT_FALSE(StartsWithNoCase("wext", "wextract"));
}

TEST(ControlCharacterLength, CodePointsNotBytes) {
    const struct {
        std::string text;
        size_t at, want;
    } cases[] = {
        {std::string(1, '\0'), 0, 1},
        {"\x1b[", 0, 1},
        {"\x7f", 0, 1},
        {" ~", 1, 0},
        {"\xC2\x80", 0, 2},
        {"\xC2\x9F", 0, 2},
        {"\xC2\xA0", 0, 0},
        {"\xC2", 0, 0},
        {"\x85", 0, 0},
        {"\xC3\x85", 1, 0}, // the second byte of U+00C5
    };
    for (const auto& c : cases)
        EXPECT_EQ(ControlCharacterLength(c.text, c.at), c.want) << ToHex(c.text) << " at " << c.at;
}

} // namespace
} // namespace tressel
