#include "cabinet/cab_builder.h"
#include "isolated_scratch.h"
#include "readers/archive_reader.h"
#include "readers/cab_reader.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace tressel {
namespace {

using Values = std::vector<std::string>;

std::string Fixture(const std::string& name) {
    return test::ReadWholeFile(test::SourcePath("tests/fixtures/exe/" + name));
}

Values ReadCabBytes(const std::string& bytes, int maxValues = 9) {
    MemorySource source(bytes);
    return ParseCab(source, ReadRequest{maxValues, false}).values;
}

// The package cabinet the executable fixtures carry: readme.txt and setup.inf.
const Values kPayloadValues = {"Orbit Suite 2.4", "Orbit Suite 2.4 Setup", "readme.txt",
                               "setup.inf"};

class CabTool : public ::testing::Test {
protected:
    // Writes the files, then runs "gcab -c [options] name <members>" in the folder.
    std::string gcab(const std::map<std::string, std::string>& files, const std::string& options,
                     const std::string& name = "a.cab") {
        for (const auto& [file, bytes] : files)
            dir.write(file, bytes);
        std::string members;
        for (const auto& entry : files)
            members += " '" + entry.first + "'";
        const std::string command =
            "cd '" + dir.path() + "' && gcab -c " + options + " " + name + members + " >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return dir.file(name);
    }
    test::TempDir dir;
};

TEST_F(CabTool, StoredAndMszipCabinetsGiveTitlesAndNames) {
    const std::map<std::string, std::string> files = {
        {"file_id.diz", "  -=[ Cabinet Diz ]=-\r\n"},
        {"setup.inf", "[Strings]\r\nAppName=Cab Tool\r\n"},
        {"data.bin", std::string(200000, 'd')},
        {"readme.txt", "\r\nCab Readme\r\n"},
    };
    for (const std::string options : {"-n", "-z -n"}) {
        SCOPED_TRACE(options);
        CCabReader reader(gcab(files, options, options == "-n" ? "stored.cab" : "mszip.cab"),
                          false);
        ASSERT_TRUE(reader.isRecognized());
        reader.extract(9);
        EXPECT_EQ(reader.values(), (Values{"Cab Tool", "Cabinet Diz", "Cab Readme", "data.bin",
                                           "file_id.diz", "readme.txt", "setup.inf"}));
        EXPECT_EQ(reader.labels()[0], "Setup title");
        EXPECT_EQ(reader.contentExtension(), "cab");
    }
}

TEST(CabReader, CabinetsInsideExecutables) {
    test::TempDir dir;
    const std::string withoutPayload =
        Fixture("overlay.exe")
            .substr(0, Fixture("overlay.exe").size() - Fixture("payload.cab").size());
    const struct {
        const char* name;
        std::string bytes;
        bool recognised;
    } cases[] = {
        {"resource.exe", Fixture("wextract_long_title.exe"), true}, // CABINET resource
        {"appended.exe", Fixture("overlay.exe"), true},
        {"other_data.exe", withoutPayload + "MSCX but no cabinet here" + std::string(100, 0),
         false},
        {"no_overlay.exe", withoutPayload, false},
        {"plain.exe", Fixture("no_version.exe"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CCabReader reader(dir.write(c.name, c.bytes), false);
        EXPECT_EQ(reader.isRecognized(), c.recognised);
        if (!c.recognised)
            continue;
        reader.extract(9);
        EXPECT_EQ(reader.values(), kPayloadValues);
        EXPECT_EQ(reader.contentExtension(), "exe");
    }
    // Without a version resource the executable reader refuses it and the cabinet is read.
    const std::string sfx =
        dir.write("0A1B.exe", Fixture("no_version.exe") + Fixture("payload.cab"));
    auto reader = CreateFileReader(sfx, false);
    EXPECT_STREQ(reader->formatName(), "cab");
    reader->extract(9);
    EXPECT_EQ(reader->values(), kPayloadValues);
    EXPECT_STREQ(CreateArchiveReader(sfx, false)->formatName(), "cab");
}

TEST(CabReader, ExtensionFilterAndScanAll) {
    test::TempDir dir;
    for (const auto& [name, firstPass] : std::map<std::string, bool>{
             {"x.cab", true}, {"x.e", true}, {"data", true}, {"x.CAB", true}, {"x.zip", false}}) {
        const std::string path = dir.write(name, Fixture("payload.cab"));
        EXPECT_EQ(CCabReader(path, false).isRecognized(), firstPass) << name;
        EXPECT_TRUE(CCabReader(path, true).isRecognized()) << name;
        EXPECT_EQ(CreateArchiveReader(path, false)->isRecognized(), firstPass) << name;
        EXPECT_TRUE(CreateArchiveReader(path, true)->isRecognized()) << name;
    }
}

TEST(CabReader, HostileNamesSetsAndTruncation) {
    using namespace test::cab;
    const test::IsolatedScratch scratch;

    Cabinet cab;
    cab.addFolder(kMszip, {{"../readme.txt", "Up One\n"},
                           {"/etc/readme.nfo", "Absolute\n"},
                           {"..", "Dots\n"},
                           {"a\\..\\..\\readme.diz", "Backslashes\n"}});
    const std::string bytes = Build(cab);
    EXPECT_EQ(ReadCabBytes(bytes, 3), (Values{"Up One", "Absolute", "Backslashes"}));
    // A set: the listing stops before the next cabinet and decodes nothing for it.
    Cabinet first;
    first.nextCabinet = "next.cab";
    first.addFolder(kStored, {{"readme.txt", "In The Set\n"}});
    first.members.push_back({"continued.bin", 5, 0, kCabContinuedToNext});
    EXPECT_EQ(ReadCabBytes(Build(first)), (Values{"In The Set", "readme.txt", "continued.bin"}));
    for (size_t cut = 0; cut < bytes.size(); cut += 5)
        ReadCabBytes(bytes.substr(0, cut));

    EXPECT_EQ(scratch.entriesLeft(), 0u);
}

} // namespace
} // namespace tressel
