#include "platform/pe/pe_image.h"
#include "platform/pe/version_info.h"
#include "readers/exe_reader.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tressel {
namespace {

using test::ReadWholeFile;
using test::SourcePath;
using test::TempDir;
using Values = std::vector<std::string>;

std::string Fixture(std::string_view name) {
    return ReadWholeFile(SourcePath("tests/fixtures/exe/" + std::string(name)));
}

class ExeReaderTest : public ::testing::Test {
protected:
    // The fixture copied into the scratch folder under another name, as files arrive.
    std::string Copy(std::string_view fixture, std::string_view name) {
        return dir.write(name, Fixture(fixture));
    }
    Values Read(std::string_view fixture, int maxValues = 9) {
        CExeReader reader(Copy(fixture, "0A1B2C3D.exe"), false);
        EXPECT_TRUE(reader.isRecognized()) << fixture;
        const int held = reader.extract(maxValues);
        EXPECT_EQ(held, int(reader.values().size()));
        return reader.values();
    }
    TempDir dir;
};

TEST_F(ExeReaderTest, UsEnglishTableFillsTheNineColumnsInOrder) {
    EXPECT_EQ(Read("us_english.exe"),
              (Values{"Orbit Tracker", "Orbit Suite", "ORBTRACK.EXE", "orbtrack",
                      "Northwind Satellite Tools", "Copyright (C) 2004 Northwind Satellite Tools",
                      "Tracks satellites\r\nacross the sky", "2.4.0.117", "2.4"}));
}

TEST_F(ExeReaderTest, GermanOnlyTableIsFoundThroughTheTranslation) {
    const Values values = Read("german.dll");
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[0], "Empfangsbibliothek f\xC3\xBCr Datenstr\xC3\xB6me");
    EXPECT_EQ(values[5], "\xC2\xA9 2003 Z\xC3\xBCrcher Funktechnik AG");
    EXPECT_EQ(values[7], "5.1.0.0");
}

TEST_F(ExeReaderTest, ThirtyTwoBitImageWithATableOnlyTheTranslationNames) {
    const Values values = Read("translation_only.exe");
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[0], "Planificateur de captures");
    EXPECT_EQ(values[6], "Version d'essai");
}

TEST_F(ExeReaderTest, MissingStringLeavesEmptyTextInItsPlace) {
    const Values values = Read("no_comments.exe");
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[5], "Skyline Software 2001");
    EXPECT_EQ(values[6], "");
    EXPECT_EQ(values[7], "3.0.0.0");
}

TEST_F(ExeReaderTest, UsEnglishFileVersionWinsOverTheFirstTranslation) {
    const Values values = Read("two_tables.exe");
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[0], "Channel Sorter");
    EXPECT_EQ(values[7], "4.2");
}

// Strings in 040904B0 while the translation says 0409/04E4: the first table is read.
TEST_F(ExeReaderTest, TranslationNamingAMissingTableFallsBackToTheFirstTable) {
    const Values values = Read("mismatched.exe");
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[0], "EPG Grabber");
    EXPECT_EQ(values[8], "1.5");
}

TEST_F(ExeReaderTest, MaxValuesLimitsWhatIsAppended) {
    EXPECT_EQ(Read("us_english.exe", 3), (Values{"Orbit Tracker", "Orbit Suite", "ORBTRACK.EXE"}));
    EXPECT_TRUE(Read("us_english.exe", 0).empty());
    EXPECT_EQ(Read("us_english.exe", 50).size(), 9u);
}

TEST_F(ExeReaderTest, PackageShowsItsTitleInsteadOfTheStubDescription) {
    const Values values = Read("wextract_title.exe");
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[0], "My Tool Setup");
    EXPECT_EQ(values[1], "Packaging Stub");
    // Too few values for the package test: the stub's own description stays.
    EXPECT_EQ(Read("wextract_title.exe", 3)[0], "Win32 Cabinet Self-Extractor");
}

TEST_F(ExeReaderTest, LongPackageTitleIsCutAtFiveHundredBytes) {
    const Values values = Read("wextract_long_title.exe");
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[0], Fixture("long_title.bin").substr(0, 500));
    EXPECT_EQ(FirstMeaningfulLine(values[0]), "Orbit Suite 2.4 Setup");
}

TEST_F(ExeReaderTest, PackageWithoutTitleKeepsItsDescription) {
    EXPECT_EQ(Read("sfxcab.exe")[0], "Self-Extracting Cabinet Stub");
}

// The title bytes rewritten in place, to see how they become text.
class PackageTitleText : public ExeReaderTest {
protected:
    std::string WithTitle(std::string_view fixture, std::string_view title) {
        std::string bytes = Fixture(fixture);
        MemorySource source(bytes);
        const auto image = pe::PeImage::parse(source);
        const auto resource = image->findResource(source, pe::kResourceTypeRcData, "TITLE");
        EXPECT_TRUE(resource);
        EXPECT_LE(title.size(), resource->size);
        bytes.replace(resource->dataOffset, title.size(), title);
        return bytes;
    }
    Values ReadBytes(const std::string& bytes) {
        MemorySource source(bytes);
        return ParseExe(source, {9, false}).values;
    }
};

TEST_F(PackageTitleText, Windows1252TitleBecomesUtf8) {
    EXPECT_EQ(ReadBytes(WithTitle("wextract_title.exe", std::string("Caf\xE9 Setup\0", 11)))[0],
              "Caf\xC3\xA9 Setup");
}

TEST_F(PackageTitleText, CutInsideAUtf8CharacterDropsThePartialCharacter) {
    // 499 ASCII bytes, then a two-byte character whose second byte is cut off.
    std::string title(499, 'a');
    title += "\xC3\xA9 more";
    const Values values = ReadBytes(WithTitle("wextract_long_title.exe", title));
    EXPECT_EQ(values[0], std::string(499, 'a'));
}

TEST_F(ExeReaderTest, FileWithoutVersionResourceIsNotRecognised) {
    CExeReader plain(Copy("no_version.exe", "plain.exe"), false);
    EXPECT_FALSE(plain.isRecognized());
    const std::string plainBytes = Fixture("no_version.exe");
    MemorySource plainSource(plainBytes);
    EXPECT_EQ(pe::VersionInfoSize(plainSource), 0u);
    CExeReader text(dir.write("notes.exe", "MZ but nothing more"), false);
    EXPECT_FALSE(text.isRecognized());
    CExeReader empty(dir.write("empty.dll", ""), false);
    EXPECT_FALSE(empty.isRecognized());
}

TEST_F(ExeReaderTest, ProbeReportsTheVersionBlockSize) {
    CExeReader reader(Copy("german.dll", "x.dll"), false);
    const std::string bytes = Fixture("german.dll");
    MemorySource source(bytes);
    EXPECT_GT(pe::VersionInfoSize(source), 52u + 6u); // at least a header and fixed info
    EXPECT_EQ(std::string(reader.formatName()), "exe");
    EXPECT_TRUE(reader.values().empty()); // the probe reads no strings
}

// The file is opened once: extract() reads the file the probe recognised, even when
// its name has since gone or names another file.
TEST_F(ExeReaderTest, ExtractReadsTheFileTheProbeOpened) {
    const std::string path = Copy("us_english.exe", "gone.exe");
    CExeReader reader(path, false);
    ASSERT_TRUE(reader.isRecognized());
    ASSERT_EQ(::unlink(path.c_str()), 0);
    Copy("german.dll", "gone.exe");
    ASSERT_EQ(reader.extract(9), 9);
    EXPECT_EQ(reader.values()[0], "Orbit Tracker");
}

TEST_F(ExeReaderTest, FifoIsRefusedWithoutBlocking) {
    const std::string path = dir.file("pipe.exe");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    CExeReader reader(path, true);
    EXPECT_FALSE(reader.isRecognized());
}

// ---- the registry with the executable reader in first place ---------------------------

TEST_F(ExeReaderTest, RegistryReadsSetupExeInTheFirstPass) {
    auto reader = CreateFileReader(Copy("us_english.exe", "setup.EXE"), false);
    EXPECT_TRUE(reader->isRecognized());
    EXPECT_STREQ(reader->formatName(), "exe");
}

TEST_F(ExeReaderTest, RegistryReadsSetupBinOnlyWithScanAll) {
    const std::string path = Copy("us_english.exe", "setup.bin");
    EXPECT_FALSE(CreateFileReader(path, false)->isRecognized());
    auto reader = CreateFileReader(path, true);
    ASSERT_TRUE(reader->isRecognized());
    EXPECT_STREQ(reader->formatName(), "exe");
    EXPECT_EQ(reader->extract(9), 9);
    EXPECT_EQ(reader->values()[0], "Orbit Tracker");
}

TEST_F(ExeReaderTest, ExtensionThatIsPartOfExeIsDecidedByTheContent) {
    EXPECT_TRUE(CreateFileReader(Copy("us_english.exe", "x.ex"), false)->isRecognized());
    EXPECT_FALSE(CreateFileReader(Copy("no_version.exe", "y.ex"), false)->isRecognized());
}

TEST_F(ExeReaderTest, NameWithoutExtensionIsReadWithoutScanAll) {
    EXPECT_TRUE(CreateFileReader(Copy("german.dll", "data"), false)->isRecognized());
    EXPECT_TRUE(CreateFileReader(Copy("german.dll", "0001A2F3."), false)->isRecognized());
    const std::string dat = Copy("german.dll", "0001A2F3.dat");
    EXPECT_FALSE(CreateFileReader(dat, false)->isRecognized());
    EXPECT_TRUE(CreateFileReader(dat, true)->isRecognized());
}

} // namespace
} // namespace tressel
