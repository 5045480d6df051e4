#include "platform/paths.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

TEST(SplitPath, SplitsFolderStemAndExtensionFromTheLastDotOfTheLastComponent) {
    const PathParts p = SplitPath("/sat/files.d/A1B2.C3D4.tmp");
    EXPECT_EQ(p.dir, "/sat/files.d/");
    EXPECT_EQ(p.stem, "A1B2.C3D4");
    EXPECT_EQ(p.ext, ".tmp");
    EXPECT_EQ(p.join(), "/sat/files.d/A1B2.C3D4.tmp");
}

TEST(SplitPath, EdgeCases) {
    EXPECT_EQ(SplitPath(".htaccess").stem, "");
    EXPECT_EQ(SplitPath(".htaccess").ext, ".htaccess");
    EXPECT_EQ(SplitPath("/a.b/data").ext, "");
    EXPECT_EQ(SplitPath("/a.b/data").stem, "data");
    EXPECT_EQ(SplitPath("name.").ext, ".");
    EXPECT_EQ(SplitPath("/sat/").dir, "/sat/");
    EXPECT_EQ(SplitPath("/sat/").fileName(), "");
}

TEST(LowerExtension, DropsTheDotAndLowersAsciiOnly) {
    EXPECT_EQ(LowerExtension("/x/SETUP.EXE"), "exe");
    EXPECT_EQ(LowerExtension("/x/data"), "");
    EXPECT_EQ(LowerExtension("/x/name."), "");
    EXPECT_EQ(LowerExtension("a.\xC3\x9C"), "\xC3\x9C");
}

TEST(JoinPath, PutsExactlyOneSlashBetween) {
    EXPECT_EQ(JoinPath("/sat", "a.txt"), "/sat/a.txt");
    EXPECT_EQ(JoinPath("/sat/", "/a.txt"), "/sat/a.txt");
    EXPECT_EQ(JoinPath("", "a.txt"), "a.txt");
    EXPECT_EQ(BaseName("/sat/a.txt"), "a.txt");
}

} // namespace
} // namespace tressel
