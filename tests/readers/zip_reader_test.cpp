#include "isolated_scratch.h"
#include "readers/registry.h"
#include "readers/zip_reader.h"
#include "temp_dir.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace tressel {
namespace {

using Values = std::vector<std::string>;
using test::BuildZip;
using test::ZipMember;

Values ReadZipBytes(const std::string& bytes, int maxValues = 9) {
    MemorySource source(bytes);
    return ParseZip(source, ReadRequest{maxValues, false}).values;
}

// Archives made by zip(1) from files written in a fresh folder.
class ZipTool : public ::testing::Test {
protected:
    // Writes the files, then runs "zip -q -X [options] name.zip <members>" in the folder.
    std::string zip(const std::map<std::string, std::string>& files,
                    const std::string& options = {}, const std::string& name = "a.zip") {
        for (const auto& [file, bytes] : files)
            dir.write(file, bytes);
        std::string members;
        for (const auto& entry : files)
            members += " '" + entry.first + "'";
        const std::string command = "cd '" + dir.path() + "' && zip -q -X " + options + " " + name +
                                    members + " >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return dir.file(name);
    }
    Values read(const std::string& path, int maxValues = 9, bool scanAll = false) {
        CZipReader reader(path, scanAll);
        recognised = reader.isRecognized();
        reader.extract(maxValues);
        return reader.values();
    }
    test::TempDir dir;
    bool recognised = false;
};

TEST_F(ZipTool, TitlesCommentAndNames) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
        Values expected;
    };
    const std::vector<Case> cases = {
        {"readme and diz in member order",
         {{"Docs/README", "Docs Title\n"}, {"file_id.diz", "  Diz Title  \n"}},
         {"Docs Title", "Diz Title", "Docs/README", "file_id.diz"}},
        {"setup.inf",
         {{"setup.inf", "[Strings]\r\nDisplayName=Some Tool\r\n"}, {"x.bin", "1"}},
         {"Some Tool", "setup.inf", "x.bin"}},
        {"INI with only a title",
         {{"disk.ini", "[Disk]\nTitle=Demo Disk\n"}},
         {"Demo Disk", "disk.ini"}},
        {"abc without line break", {{"readme.txt", "abc"}}, {"abc", "readme.txt"}},
        {"abc with line break", {{"readme.txt", "abc\n"}}, {"readme.txt"}},
        {"dashes then title",
         {{"readme.txt", "------------\r\n  ** Great Game 2 **\r\n"}},
         {"Great Game 2", "readme.txt"}},
        {"1 MiB and one byte more",
         {{"a.txt", "Exactly\n" + std::string(1048568, ' ')},
          {"b.txt", "Larger\n" + std::string(1048570, ' ')}},
         {"Exactly", "a.txt", "b.txt"}},
        {"NUL in a readme",
         {{"readme.txt", std::string("Zero\0Byte\n", 10)}},
         {"Zero_Byte", "readme.txt"}},
        {"name in code page 437",
         {{"\x81"
           "ber.bin",
           "x"}},
         {"\xC3\xBC"
          "ber.bin"}},
        {"name in UTF-8",
         {{"\xC3\xBC"
           "ber.bin",
           "x"}},
         {"\xC3\xBC"
          "ber.bin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directories(dir.path());
        Values values = read(zip(c.files, "-r"));
        EXPECT_TRUE(recognised);
        // zip lists members in its own order; names are compared as a set.
        if (std::string(c.what) == "NUL in a readme") {
            CZipReader reader(dir.file("a.zip"), false, true);
            reader.extract(1000);
            EXPECT_NE(reader.previewText().find("Zero_Byte"), std::string::npos);
            values[0] = "Zero_Byte";
        }
        EXPECT_EQ(values, c.expected);
    }
}

TEST_F(ZipTool, CommentIsTheFirstValueAndAMissingOneGivesNone) {
    dir.write("comment.txt", "\n  ==> My Collection <==\nsecond line\n");
    const std::string path = zip({{"x.bin", "1"}}, "-z <comment.txt");
    EXPECT_EQ(read(path), (Values{"My Collection", "x.bin"}));
    CZipReader reader(path, false, true);
    reader.extract(1000);
    // zip(1) stores the comment with CR LF line ends, a blank line first, no final one.
    EXPECT_EQ(reader.previewText(), "\r\n\r\n  ==> My Collection <==\r\nsecond line\r\n\r\n");
    EXPECT_EQ(reader.labels(), (Values{"Comment", "Member"}));

    CZipReader plain(zip({{"y.bin", "1"}}, "", "b.zip"), false, true);
    plain.extract(1000);
    EXPECT_EQ(plain.values(), Values{"y.bin"});
    EXPECT_EQ(plain.previewText(), "");
}

TEST_F(ZipTool, SelfExtractingWithAndWithoutAdjustedOffsets) {
    const std::string archive = test::ReadWholeFile(
        zip({{"readme.txt", "Packed Title\n"}, {"run.exe", "MZ"}}, "", "in.zip"));
    const std::string stub = "MZ" + std::string(4094, '\x90');
    for (const bool adjust : {false, true}) {
        SCOPED_TRACE(adjust ? "zip -A" : "stub prepended");
        const std::string sfx = dir.write("setup.exe", stub + archive);
        if (adjust) {
            ASSERT_EQ(std::system(("zip -q -A '" + sfx + "'").c_str()), 0);
        }
        const std::string bytes = test::ReadWholeFile(sfx);
        MemorySource source(bytes);
        const std::optional<ZipWindow> window = LocateZip(source);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->start, adjust ? 0u : stub.size());
        EXPECT_EQ(read(sfx), (Values{"Packed Title", "readme.txt", "run.exe"}));
        auto registry = CreateFileReader(sfx, false);
        EXPECT_STREQ(registry->formatName(), "zip");
        EXPECT_EQ(registry->contentExtension(), "exe");
    }
    // Archive bytes inside anything else (a picture, a program's code) name no extension.
    const std::string inside = dir.write("picture.dat", "\x89PNG" + std::string(60, 'x') + archive);
    auto other = CreateFileReader(inside, true);
    EXPECT_STREQ(other->formatName(), "zip");
    EXPECT_EQ(other->contentExtension(), "");
}

TEST_F(ZipTool, ASymlinkMemberIsReadAsTheTextOfItsTarget) {
    test::TempDir outside;
    const std::string target = outside.write("secret.txt", "Secret Title\n");
    std::filesystem::create_symlink(target, dir.file("readme.txt"));
    const std::string path = dir.file("links.zip");
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && zip -q -y links.zip readme.txt").c_str()),
              0);
    const Values values = read(path);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_NE(values[0], "Secret Title"); // the link is never followed
    EXPECT_EQ(values[0], FirstMeaningfulLine(target, true));
    EXPECT_EQ(test::ReadWholeFile(target), "Secret Title\n");
}

TEST_F(ZipTool, ExtensionFilterAndScanAll) {
    const std::string bytes = test::ReadWholeFile(zip({{"x.bin", "1"}}));
    for (const auto& [name, firstPass] : std::map<std::string, bool>{
             {"x.rar", true}, {"x.e", true}, {"data", true}, {"x.JAR", true}, {"x.bin", false}}) {
        const std::string path = dir.write(name, bytes);
        read(path);
        EXPECT_EQ(recognised, firstPass) << name;
        read(path, 9, true);
        EXPECT_TRUE(recognised) << name;
    }
}

TEST(ZipReader, HostileArchivesWriteNothingOutsideTheScratchDirectory) {
    const test::IsolatedScratch scratch;
    const std::string text = "Escaped Title\n";
    const Values names = {"../readme.txt", "/etc/readme.txt", "..", "sub/../../readme.1st",
                          "a\\..\\..\\readme.diz"};
    std::vector<ZipMember> members;
    for (const std::string& name : names)
        members.push_back({name, text});
    Values expected(4, "Escaped Title");
    expected.insert(expected.end(), names.begin(), names.end());
    EXPECT_EQ(ReadZipBytes(BuildZip(members)), expected);
    EXPECT_EQ(scratch.entriesLeft(), 0u);
    EXPECT_FALSE(test::PathExists("/etc/x.txt"));
}

TEST(ZipReader, SizesThatLieAreCutAtTheStatedSize) {
    const std::string big = "Real Title Is Longer\n" + std::string(3 << 20, 'a');
    // Inflates past both its stated size and the 1 MiB limit: only 10 bytes are taken.
    EXPECT_EQ(ReadZipBytes(BuildZip({{"readme.txt", big, true, 10}}), 1), Values{"Real Title"});
    EXPECT_EQ(ReadZipBytes(BuildZip({{"readme.txt", big, false, 10}}), 1), Values{"Real Title"});
}

TEST(ZipReader, DamagedAndTruncatedArchives) {
    const std::string good = BuildZip({{"readme.txt", "Title\n"}, {"b.bin", "x"}}, "Comment");
    EXPECT_EQ(ReadZipBytes(good), (Values{"Comment", "Title", "readme.txt", "b.bin"}));
    for (size_t cut = 0; cut < good.size(); cut += 7) {
        MemorySource source(std::string_view(good).substr(0, cut));
        const ReadResult result = ParseZip(source, ReadRequest{9, true});
        EXPECT_FALSE(result.recognised && !result.values.empty() && result.values[0] == "Comment")
            << "cut at " << cut;
    }
    // A damaged central directory entry: the end record is found, libzip refuses the rest,
    // and none of its messages becomes a comment.
    std::string damaged = good;
    damaged[damaged.find("PK\x01\x02") + 28] = '\x7F'; // a name length past the directory
    MemorySource source(damaged);
    const ReadResult result = ParseZip(source, ReadRequest{9, true});
    EXPECT_TRUE(result.values.empty());
    EXPECT_EQ(result.preview, "");
}

TEST(ZipReader, TheEndRecordIsFoundBehindTheLongestComment) {
    for (const size_t length : {4000, 4096, 20000, 65535}) {
        const std::string comment = "Long Comment" + std::string(length - 12, '.');
        EXPECT_EQ(ReadZipBytes(BuildZip({{"a.bin", "x"}}, comment)),
                  (Values{"Long Comment", "a.bin"}))
            << length;
    }
}

TEST(ZipReader, HundredThousandMembersListTheFirstNames) {
    std::vector<ZipMember> members;
    for (int i = 0; i < 100000; ++i)
        members.push_back({"m" + std::to_string(i), ""});
    members.push_back({"readme.txt", "Last Title\n"});
    EXPECT_EQ(ReadZipBytes(BuildZip(members), 3), (Values{"m0", "m1", "m2"}));
}

} // namespace
} // namespace tressel
