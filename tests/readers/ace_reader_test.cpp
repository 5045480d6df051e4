#include "ace_builder.h"
#include "ace_fixtures.h"
#include "isolated_scratch.h"
#include "readers/ace_reader.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using Values = std::vector<std::string>;
using test::AceArchive;
using test::AceMethod;

const Values kSampleValues = {"Orbit Collection", "Orbit Diz",  "Orbit Readme",
                              "file_id.diz",      "readme.txt", "data/data.bin"};

ReadResult ReadAceBytes(const std::string& bytes, int maxValues = 2000) {
    MemorySource source(bytes);
    return ParseAce(source, ReadRequest{maxValues, false});
}

// Every member as the library unpacks it, or "<status n>"; backwards, a solid archive
// is unpacked from its start again for every member.
Values UnpackAll(const std::string& bytes, bool backwards = false) {
    MemorySource source(bytes);
    const std::optional<ace::Archive> archive = ace::FindArchive(source);
    if (!archive)
        return {"<no archive>"};
    const std::vector<ace::Member> members = ace::ListMembers(source, *archive, 1000);
    ace::Extractor extractor(source, members, archive->solid());
    Values out(members.size());
    for (size_t n = 0; n < members.size(); ++n) {
        const size_t i = backwards ? members.size() - 1 - n : n;
        std::string data;
        const ace::Status status = extractor.extract(i, [&data](const uint8_t* p, size_t n) {
            data.append(reinterpret_cast<const char*>(p), n);
            return true;
        });
        out[i] = status == ace::Status::Ok ? data : "<status " + std::to_string(int(status)) + ">";
    }
    return out;
}

Values DataOf(const AceArchive& archive) {
    Values data;
    for (const test::AceMember& member : archive.members)
        data.push_back(member.data);
    return data;
}

TEST(AceReader, StoredAndLz77ArchivesPlainSolidAndBehindAStub) {
    for (const AceMethod method : {AceMethod::Stored, AceMethod::Lz77}) {
        for (const bool solid : {false, true}) {
            for (const std::string& stub : {std::string(), "MZ" + std::string(70000, '\x90')}) {
                SCOPED_TRACE(std::string(method == AceMethod::Stored ? "stored" : "lz77") +
                             (solid ? " solid" : "") + (stub.empty() ? "" : " sfx"));
                AceArchive archive = test::AceSampleArchive(method);
                archive.solid = solid;
                archive.stub = stub;
                const std::string bytes = BuildAce(archive);
                MemorySource source(bytes);
                const std::optional<ace::Archive> found = ace::FindArchive(source);
                ASSERT_TRUE(found);
                EXPECT_EQ(found->start, stub.size());
                EXPECT_EQ(found->solid(), solid);
                EXPECT_EQ(found->comment, archive.comment);
                EXPECT_EQ(UnpackAll(bytes), DataOf(archive));
                const ReadResult result = ReadAceBytes(bytes);
                EXPECT_TRUE(result.recognised);
                EXPECT_EQ(result.extension, stub.empty() ? "ace" : "exe");
                EXPECT_EQ(result.values, kSampleValues);
            }
        }
    }
}

TEST(AceReader, Lz77CoversBlocksFarCopiesAndRepeats) {
    std::string noise;
    uint32_t state = 12345;
    for (int i = 0; i < 40000; ++i) {
        state = state * 1103515245 + 12345;
        noise += static_cast<char>(state >> 24);
    }
    struct Case {
        const char* what;
        std::string data;
        size_t symbolsPerBlock;
        unsigned dictionaryBits;
    };
    const Case cases[] = {
        {"empty", "", 32767, 16},
        {"one byte", "x", 32767, 10},
        {"runs", std::string(70000, 'a') + std::string(5000, 'b'), 32767, 16},
        {"many blocks", test::AceSampleReadme(), 50, 16},
        {"far copy", noise + "middle" + noise, 32767, 17},
        {"alternating repeats",
         [] {
             std::string s;
             for (int i = 0; i < 500; ++i)
                 s += (i % 3 ? "abcdefgh" : "12345678") + std::to_string(i % 7);
             return s;
         }(),
         700, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AceArchive archive;
        archive.symbolsPerBlock = c.symbolsPerBlock;
        archive.dictionaryBits = c.dictionaryBits;
        archive.members = {{"a.bin", c.data}, {"b.bin", c.data + "!"}};
        for (const bool solid : {false, true}) {
            archive.solid = solid;
            EXPECT_EQ(UnpackAll(BuildAce(archive)), DataOf(archive)) << solid;
            EXPECT_EQ(UnpackAll(BuildAce(archive), true), DataOf(archive)) << solid;
        }
    }
}

TEST(AceReader, CommentsNamesAndFlags) {
    struct Case {
        const char* what;
        std::string comment;
        std::string name;
        uint16_t fileFlags;
        Values expected;
    };
    const Case cases[] = {
        {"no comment", "", "a.bin", ace::kFlagAddSize, {"a.bin"}},
        {"repetitive comment",
         "abababababababab xyzxyzxyz",
         "a.bin",
         ace::kFlagAddSize,
         {"abababababababab xyzxyzxyz", "a.bin"}},
        {"code page 437",
         "\xC9\xCD\xBB Sat \x81"
         "ber",
         "\x81"
         "ber.bin",
         ace::kFlagAddSize,
         {"\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97 Sat \xC3\xBC"
          "ber",
          "\xC3\xBC"
          "ber.bin"}},
        {"UTF-8 comment kept",
         "Sat \xC3\xBC"
         "ber",
         "a.bin",
         ace::kFlagAddSize,
         {"Sat \xC3\xBC"
          "ber",
          "a.bin"}},
        {"no add-size flag", "", "a.bin", 0, {"a.bin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AceArchive archive;
        archive.comment = c.comment;
        archive.fileFlags = c.fileFlags;
        archive.members = {{c.name, "x"}};
        EXPECT_EQ(ReadAceBytes(BuildAce(archive)).values, c.expected);
    }
}

TEST(AceReader, MembersThatCannotBeUnpackedAreListedWithoutTitles) {
    AceArchive archive;
    archive.members = {{"readme.txt", "Blocked Title\n", AceMethod::Ace20},
                       {"file_id.diz", "Secret Title\n", AceMethod::Stored, ace::kFlagPassword},
                       {"split.nfo", "Split Title\n", AceMethod::Stored, ace::kFlagContinuedTo},
                       {"ok.txt", "Good Title\n"}};
    EXPECT_EQ(ReadAceBytes(BuildAce(archive)).values,
              (Values{"Good Title", "readme.txt", "file_id.diz", "split.nfo", "ok.txt"}));
    // In a solid archive nothing after a member that cannot be unpacked can be.
    archive.solid = true;
    EXPECT_EQ(ReadAceBytes(BuildAce(archive)).values,
              (Values{"readme.txt", "file_id.diz", "split.nfo", "ok.txt"}));
}

TEST(AceReader, DamagedArchivesAreRefusedOrGiveLess) {
    for (const AceMethod method : {AceMethod::Stored, AceMethod::Lz77}) {
        SCOPED_TRACE(method == AceMethod::Stored ? "stored" : "lz77");
        const std::string bytes = BuildAce(test::AceSampleArchive(method));
        const size_t firstFile = 4 + ReadLe16(bytes.data() + 2);
        struct Damage {
            const char* what;
            size_t at;
            Values expected;
        };
        const Damage damages[] = {
            {"main header CRC", 0, {}},
            {"first file header CRC", firstFile, {"Orbit Collection"}},
            // The diz member's data: its CRC fails, so it gives no title.
            {"member data",
             firstFile + 4 + ReadLe16(bytes.data() + firstFile + 2) + 1,
             {"Orbit Collection", "Orbit Readme", "file_id.diz", "readme.txt", "data/data.bin"}},
        };
        for (const Damage& d : damages) {
            SCOPED_TRACE(d.what);
            std::string damaged = bytes;
            damaged[d.at] = static_cast<char>(damaged[d.at] ^ 0x55);
            const ReadResult result = ReadAceBytes(damaged);
            EXPECT_EQ(result.recognised, d.at != 0);
            EXPECT_EQ(result.values, d.expected);
        }
        // Every truncation: refused, or no more than the whole archive gives, and the
        // member cut short never yields a title.
        for (size_t length = 0; length < bytes.size(); length += 7) {
            const ReadResult result = ReadAceBytes(bytes.substr(0, length));
            EXPECT_LE(result.values.size(), kSampleValues.size()) << length;
            for (const std::string& value : result.values)
                EXPECT_NE(value, "Orbit Readme") << length;
            if (length < bytes.size() - 3100) // before the readme's end
                break;
        }
    }
    // A signature beyond the stub bound is not looked for; nor is a lone signature.
    const std::string archive = BuildAce(test::AceSampleArchive(AceMethod::Stored));
    EXPECT_FALSE(ReadAceBytes(std::string(ace::kMaxStubSize + 1, 'z') + archive).recognised);
    EXPECT_FALSE(ReadAceBytes("1234567**ACE**" + std::string(40, '\xff')).recognised);
    // Signatures a stub quotes are passed over, up to a bound on the headers checked.
    auto quoting = [&archive](int n) {
        std::string stub = "MZ";
        for (int i = 0; i < n; ++i)
            stub += "1234567**ACE**";
        return stub + archive;
    };
    EXPECT_TRUE(ReadAceBytes(quoting(10)).recognised);
    EXPECT_FALSE(ReadAceBytes(quoting(64)).recognised);
}

TEST(AceReader, CutShortLz77DataIsReportedAsSuch) {
    AceArchive archive;
    archive.members = {{"readme.txt", test::AceSampleReadme()}};
    const std::string bytes = BuildAce(archive);
    for (const size_t cut : {size_t(1), size_t(8), size_t(40)}) {
        SCOPED_TRACE(cut);
        // The header still states the full packed size, so the data reaches past the end.
        const Values unpacked = UnpackAll(bytes.substr(0, bytes.size() - cut));
        ASSERT_EQ(unpacked.size(), 1u);
        EXPECT_EQ(unpacked[0], "<status " + std::to_string(int(ace::Status::CutShort)) + ">");
    }
}

TEST(AceReader, HostileNamesWriteNothingOutsideTheScratchDirectory) {
    const test::IsolatedScratch scratch;
    const Values names = {"../readme.txt", "/etc/readme.txt", "sub\\..\\..\\readme.diz", "", "..",
                          "dir\\"};
    AceArchive archive;
    for (const std::string& name : names)
        archive.members.push_back({name, "Escaped Title\n"});
    for (const bool solid : {false, true}) {
        SCOPED_TRACE(solid);
        archive.solid = solid;
        const ReadResult result = ReadAceBytes(BuildAce(archive));
        EXPECT_EQ(result.values,
                  (Values{"Escaped Title", "Escaped Title", "Escaped Title", "../readme.txt",
                          "/etc/readme.txt", "sub/../../readme.diz", "", "..", "dir/"}));
        EXPECT_EQ(scratch.entriesLeft(), 0u);
    }
    EXPECT_FALSE(test::PathExists("/etc/readme.txt"));
}

TEST(AceReader, CommittedFixturesAreTheEncodersReadFromTheirPathsAndInTheArchiveStep) {
    test::TempDir dir;
    int n = 0;
    for (const test::AceFixture& fixture : test::AceFixtures()) {
        SCOPED_TRACE(fixture.file);
        const std::string path =
            test::SourcePath(std::string("tests/fixtures/ace/") + fixture.file);
        EXPECT_EQ(test::ReadWholeFile(path), fixture.bytes) << "run make-fixtures.sh";
        CAceReader reader(path, false);
        ASSERT_TRUE(reader.isRecognized());
        reader.extract(1000);
        EXPECT_EQ(reader.values(), kSampleValues);
        // Without an extension every archive reader is tried, ACE after RAR and ZIP.
        const std::unique_ptr<CFileReader> found =
            CreateArchiveReader(dir.write("noext" + std::to_string(n++), fixture.bytes), false);
        ASSERT_TRUE(found->isRecognized());
        EXPECT_STREQ(found->formatName(), "ace");
    }
    EXPECT_FALSE(CAceReader(dir.write("x.zip", "**ACE**"), false).isRecognized());
}

} // namespace
} // namespace tressel
