#include "isolated_scratch.h"
#include "rar_builder.h"
#include "rar_fixtures.h"
#include "readers/archive_reader.h"
#include "readers/rar_reader.h"
#include "temp_dir.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace tressel {
namespace {

using Values = std::vector<std::string>;
using Builder = std::function<std::string(const test::RarArchive&)>;

struct Flavour {
    const char* what;
    Builder build;
};
const Flavour kFlavours[] = {{"RAR 4", &test::BuildRar4}, {"RAR 5", &test::BuildRar5}};

ReadResult ReadRarBytes(const std::string& bytes, int maxValues = 2000) {
    MemorySource source(bytes);
    return ParseRar(source, ReadRequest{maxValues, false});
}

std::string RunTool(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        while (size_t got = fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

test::RarArchive SampleArchive() {
    test::RarArchive archive;
    archive.comment = "title=Orbit Collection\r\nsecond line\r\n";
    archive.members = {{"file_id.diz", "  -=[ Orbit Diz ]=-\r\n"},
                       {"readme.txt", "\r\nOrbit Readme\r\n"},
                       {"data.bin", std::string(3000, 'd')}};
    return archive;
}

TEST(RarReader, StoredArchivesPlainSolidAndBehindAStub) {
    test::TempDir dir;
    for (const Flavour& flavour : kFlavours) {
        for (const bool solid : {false, true}) {
            // A stub that is no executable is some other file the archive lies in.
            for (const std::string& stub : {std::string(), "MZ" + std::string(70000, '\x90'),
                                            "\x7F"
                                            "ELF" +
                                                std::string(500, '\x90')}) {
                SCOPED_TRACE(std::string(flavour.what) + (solid ? " solid" : "") +
                             (stub.empty() ? "" : " sfx"));
                test::RarArchive archive = SampleArchive();
                archive.solid = solid;
                archive.stub = stub;
                const std::string bytes = flavour.build(archive);
                MemorySource source(bytes);
                const std::optional<RarHeaders> headers = FindRarArchive(source);
                ASSERT_TRUE(headers);
                EXPECT_EQ(headers->start, stub.size());
                EXPECT_EQ(headers->solid, solid);
                EXPECT_EQ(headers->comment, archive.comment);

                const ReadResult result = ReadRarBytes(bytes);
                EXPECT_TRUE(result.recognised);
                EXPECT_EQ(result.extension, stub.empty() ? "rar" : stub[0] == 'M' ? "exe" : "");
                EXPECT_EQ(result.values, (Values{"Orbit Collection", "Orbit Diz", "Orbit Readme",
                                                 "file_id.diz", "readme.txt", "data.bin"}));
                if (!stub.empty())
                    continue; // the peer tools need the archive at the start
                const std::string path = dir.write("sample.rar", bytes);
                for (const char* tool : {"bsdtar -tvf ", "lsar "}) {
                    if (solid && flavour.what == kFlavours[0].what && tool[0] == 'b')
                        continue; // libarchive refuses solid RAR 4 members after the first
                    const std::string listing = RunTool(tool + ("'" + path + "'"));
                    for (const auto& member : archive.members)
                        EXPECT_NE(listing.find(member.name), std::string::npos) << tool << listing;
                }
            }
        }
    }
}

TEST(RarReader, CommittedFixturesAreTheBuildersAndReadFromTheirPaths) {
    for (const test::RarFixture& fixture : test::RarFixtures()) {
        SCOPED_TRACE(fixture.file);
        const std::string path =
            test::SourcePath(std::string("tests/fixtures/rar/") + fixture.file);
        EXPECT_EQ(test::ReadWholeFile(path), fixture.bytes) << "run make-fixtures.sh";
        CRarReader reader(path, false);
        ASSERT_TRUE(reader.isRecognized());
        reader.extract(1000);
        EXPECT_EQ(reader.values(), (Values{"Orbit Collection", "Orbit Diz", "Orbit Readme",
                                           "file_id.diz", "readme.txt", "data.bin"}));
        EXPECT_EQ(reader.contentExtension(),
                  std::string(fixture.file).substr(std::string(fixture.file).size() - 3));
    }
}

TEST(RarReader, CommentTitleRuleAndNames) {
    struct Case {
        const char* what;
        std::string comment;
        std::string name; // RAR 4 bytes; the RAR 5 form is the expected UTF-8
        Values expected;
    };
    const Case cases[] = {
        {"title= cut", "TITLE=Big Game", "a.bin", {"Big Game", "a.bin"}},
        {"only title=", "title=", "a.bin", {"title", "a.bin"}},
        {"title= later", "My title=Here", "a.bin", {"My title=Here", "a.bin"}},
        {"no comment", "", "a.bin", {"a.bin"}},
        {"code page 437 name",
         "",
         "\x81"
         "ber.bin",
         {"\xC3\xBC"
          "ber.bin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::RarArchive archive;
        archive.comment = c.comment;
        archive.members = {{c.name, "x"}};
        EXPECT_EQ(ReadRarBytes(test::BuildRar4(archive)).values, c.expected);
        archive.members = {{c.expected.back(), "x"}};
        EXPECT_EQ(ReadRarBytes(test::BuildRar5(archive)).values, c.expected);
    }
}

TEST(RarReader, ListingStopsAtAThousandMembers) {
    test::RarArchive archive;
    for (int i = 0; i < 1500; ++i)
        archive.members.push_back({"m" + std::to_string(i) + ".bin", "x"});
    for (const Flavour& flavour : kFlavours) {
        SCOPED_TRACE(flavour.what);
        const Values values = ReadRarBytes(flavour.build(archive)).values;
        ASSERT_EQ(values.size(), kMaxRarMembers);
        EXPECT_EQ(values.back(), "m999.bin");
    }
}

TEST(RarReader, AZipNamedRarIsReadByTheZipReader) {
    test::TempDir dir;
    const std::string path =
        dir.write("x.rar", test::BuildZip({{"readme.txt", "Zip Inside\n"}}, ""));
    EXPECT_FALSE(CRarReader(path, false).isRecognized());
    const std::unique_ptr<CFileReader> reader = CreateArchiveReader(path, false);
    ASSERT_TRUE(reader->isRecognized());
    EXPECT_STREQ(reader->formatName(), "zip");
    EXPECT_TRUE(CreateArchiveReader(dir.write("y.rar", test::BuildRar5(SampleArchive())), false)
                    ->isRecognized());
}

TEST(RarReader, HostileNamesWriteNothingOutsideTheScratchDirectory) {
    const test::IsolatedScratch scratch;
    const Values names = {"../readme.txt", "/etc/readme.txt", "sub/../../readme.1st",
                          "a\\..\\..\\readme.diz"};
    test::RarArchive archive;
    for (const std::string& name : names)
        archive.members.push_back({name, "Escaped Title\n"});
    Values expected(names.size(), "Escaped Title");
    expected.insert(expected.end(), names.begin(), names.end());
    for (const bool solid : {false, true}) {
        archive.solid = solid;
        for (const Flavour& flavour : kFlavours) {
            SCOPED_TRACE(std::string(flavour.what) + (solid ? " solid" : ""));
            // RAR 4 separates folders with '\', which the listing gives as '/'.
            Values wanted = expected;
            if (flavour.what == kFlavours[0].what)
                wanted.back() = "a/../../readme.diz";
            EXPECT_EQ(ReadRarBytes(flavour.build(archive)).values, wanted);
            EXPECT_EQ(scratch.entriesLeft(), 0u);
        }
    }
    EXPECT_FALSE(test::PathExists("/etc/readme.txt"));
}

TEST(RarReader, HostileBytesAreRefusedOrReadWithinBounds) {
    test::RarArchive big = SampleArchive();
    big.members.push_back({"huge.txt", "Not So Huge\n"});
    for (const Flavour& flavour : kFlavours) {
        SCOPED_TRACE(flavour.what);
        const std::string bytes = flavour.build(big);
        // Every truncation: refused, or no more than the whole archive gives.
        const size_t whole = ReadRarBytes(bytes).values.size();
        ASSERT_EQ(whole, 8u);
        for (size_t length = 0; length < bytes.size(); length += 37)
            EXPECT_LE(ReadRarBytes(bytes.substr(0, length)).values.size(), whole) << length;
        // A signature beyond the stub bound is not looked for.
        EXPECT_FALSE(ReadRarBytes(std::string(kMaxRarStubSize + 1, 'z') + bytes).recognised);
        // Signature alone, or followed by noise.
        const std::string signature = bytes.substr(0, flavour.what[4] == '5' ? 8 : 7);
        EXPECT_FALSE(ReadRarBytes(signature).recognised);
        EXPECT_FALSE(ReadRarBytes(signature + std::string(64, '\xff')).recognised);
    }
    // A comment block claiming more data than the file holds.
    std::string lying = test::BuildRar4(SampleArchive());
    lying[7 + 13 + 7] = '\xff';
    lying[7 + 13 + 8] = '\xff';
    lying[7 + 13 + 9] = '\xff';
    lying[7 + 13 + 10] = '\x7f';
    MemorySource source(lying);
    const std::optional<RarHeaders> headers = FindRarArchive(source);
    ASSERT_TRUE(headers);
    EXPECT_LE(headers->comment.size(), kMaxRarCommentBytes);
}

} // namespace
} // namespace tressel
