// Quantum folders, made by the test encoder: our engine and cabextract must both give
// back the input. The committed cabinets under tests/fixtures/cabinet/ and the fuzz
// seeds come from here too: TRESSEL_WRITE_FIXTURES=1 writes them afresh.

#include "cab_builder.h"
#include "cab_harness.h"
#include "quantum_encoder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>

namespace tressel {
namespace {

using namespace tressel::test;
using namespace tressel::test::cab;
using namespace tressel::test::quantum;
using Contents = std::vector<std::pair<std::string, std::string>>;
using Members = std::map<std::string, std::string>;

// Words of skewed frequency with numbers and line breaks: plenty of matches.
std::string Prose(size_t size, unsigned seed) {
    static const char* const words[] = {"Quantum", "setup",  "the",   "window", "of",   "archive",
                                        "and",     "disk",   "1995",  "model",  "to",   "README",
                                        "install", "folder", "files", "a",      "copy", "Press"};
    std::mt19937 random(seed);
    std::geometric_distribution<size_t> rank(0.2);
    std::string text;
    while (text.size() < size) {
        text += words[rank(random) % std::size(words)];
        const unsigned r = random() % 20;
        text += r == 0 ? ".\r\n" : r == 1 ? std::to_string(random() % 1000) + ", " : " ";
    }
    text.resize(size);
    return text;
}

// Bytes of every value: literals from all four literal models, few matches.
std::string Noise(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

Members AsMap(const Contents& contents) {
    return Members(contents.begin(), contents.end());
}

struct Decoded {
    bool ok = false;
    int error = 0;
    Members members;
};

Decoded DecodeOurs(const std::string& cabinet) {
    Harness harness;
    harness.files.add("q.cab", cabinet);
    Decoded result;
    result.ok = harness.copy("q.cab");
    result.error = harness.error.code;
    result.members = std::move(harness.members);
    return result;
}

Members DecodeWithCabextract(const std::string& cabinetPath) {
    const TempDir out;
    const std::string command =
        "cabextract -q -d '" + out.path() + "' '" + cabinetPath + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return {{"cabextract", "failed"}};
    Members members;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out.path())) {
        if (!entry.is_regular_file())
            continue;
        std::string name = entry.path().string().substr(out.path().size());
        std::replace(name.begin(), name.end(), '/', '\\');
        members[name] = ReadWholeFile(entry.path().string());
    }
    return members;
}

void ExpectBothRestore(const std::string& cabinet, const Members& expected) {
    const Decoded ours = DecodeOurs(cabinet);
    EXPECT_TRUE(ours.ok) << "error " << ours.error;
    EXPECT_TRUE(ours.members == expected) << "our engine differs";
    const TempDir dir;
    // cabextract writes no file for an empty member.
    Members nonEmpty;
    for (const auto& [name, bytes] : expected)
        if (!bytes.empty())
            nonEmpty[name] = bytes;
    Members theirs = DecodeWithCabextract(dir.write("q.cab", cabinet));
    std::erase_if(theirs, [](const auto& member) { return member.second.empty(); });
    EXPECT_TRUE(theirs == nonEmpty) << "cabextract differs";
}

// ---------------------------------------------------------------- round trips

struct Case {
    const char* name;
    unsigned windowBits;
    Contents members;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

std::string FarRepeat() {
    // The same 40 KB again almost 2 MiB later: only a 21-bit window reaches it.
    const std::string head = Noise(40000, 9);
    return head + std::string((1u << 21) - 41000, '\0') + head;
}

const Case kCases[] = {
    {"Window10WrapsManyTimesPerBlock", 10, {{"a.txt", Prose(100000, 1)}}},
    {"Window15TextAndBytes",
     15,
     {{"text.txt", Prose(70000, 2)}, {"empty", ""}, {"bytes.bin", Noise(50000, 3)}}},
    {"Window16OnlyNoise", 16, {{"noise.bin", Noise(70000, 4)}}},
    {"Window20LongRuns", 20, {{"runs.bin", std::string(90000, 'z') + "end" + Prose(5000, 5)}}},
    {"Window21ReachesTwoMiBBack", 21, {{"far.bin", FarRepeat()}, {"tail.txt", "tail"}}},
    {"Window21ManyMembers",
     21,
     {{"one", "1"}, {"dir\\two.txt", Prose(33000, 6)}, {"three", Prose(300000, 7)}}},
};

class QuantumCabinet : public ::testing::TestWithParam<Case> {};

TEST_P(QuantumCabinet, OurEngineAndCabextractRestoreEveryMember) {
    Cabinet cab;
    AddQuantumFolder(cab, GetParam().windowBits, GetParam().members);
    const std::string cabinet = Build(cab);
    ExpectBothRestore(cabinet, AsMap(GetParam().members));
    if (GetParam().windowBits == 21) {
        EXPECT_LT(cabinet.size(), 450000u) << "the encoder found too few matches";
    }
}

INSTANTIATE_TEST_SUITE_P(Encoded, QuantumCabinet, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QuantumFolders, EachFolderStartsAfreshWhetherTheMethodChangesOrNot) {
    Cabinet cab;
    Members expected;
    const auto add = [&](unsigned bits, const Contents& contents) {
        bits ? AddQuantumFolder(cab, bits, contents) : cab.addFolder(kMszip, contents);
        expected.merge(AsMap(contents));
    };
    add(12, {{"a.txt", Prose(40000, 10)}});
    add(0, {{"b.txt", Prose(20000, 11)}});
    add(18, {{"c.txt", Prose(50000, 12)}});
    add(18, {{"d.txt", Prose(50000, 12)}, {"e.bin", Noise(3000, 13)}}); // same type again
    ExpectBothRestore(Build(cab), expected);
}

// Hand-made tokens at the window's edge: the farthest distance of each match kind.
TEST(QuantumFolders, MatchesReachExactlyTheWholeWindow) {
    const std::string start = Noise(1024, 14);
    std::vector<Token> tokens;
    for (const char c : start)
        tokens.push_back(Literal(uint8_t(c)));
    std::string expected = start;
    for (const uint32_t length : {259u, 3u, 4u, 5u, 200u}) {
        tokens.push_back(Copy(length, 1024));
        for (uint32_t i = 0; i < length; ++i)
            expected += expected[expected.size() - 1024];
    }
    Encoder encoder(10);
    Cabinet cab;
    cab.folders.push_back({QuantumType(10), {{encoder.frame(tokens), uint32_t(expected.size())}}});
    cab.members.push_back({"edge.bin", uint32_t(expected.size()), 0, 0});
    ExpectBothRestore(Build(cab), {{"edge.bin", expected}});
}

// ---------------------------------------------------------------- bad data

struct BadFolder {
    const char* name;
    uint16_t type;
    std::vector<Token> tokens;
    uint32_t statedSize;
    size_t keptBytes = SIZE_MAX; // the block's bytes cut to this many
};

std::vector<Token> Literals(std::string_view text) {
    std::vector<Token> tokens;
    for (const char c : text)
        tokens.push_back(Literal(uint8_t(c)));
    return tokens;
}

std::vector<Token> ProseTokens() {
    const std::string text = Prose(kFrameSize, 15);
    Matcher matcher(text, 16, Encoder(16), 8);
    return matcher.frame(0, text.size());
}

std::vector<Token> operator+(std::vector<Token> a, const std::vector<Token>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void PrintTo(const BadFolder& bad, std::ostream* out) {
    *out << bad.name;
}

const BadFolder kBadFolders[] = {
    {"WindowBits9", uint16_t(2 | 9 << 8), Literals("abc"), 3},
    {"WindowBits22", uint16_t(2 | 22 << 8), Literals("abc"), 3},
    {"MatchBeforeTheFolderStarts", QuantumType(16), Literals("ab") + std::vector{Copy(3, 3)}, 5},
    {"MatchPastTheBlockEnd", QuantumType(16), Literals("abcde") + std::vector{Copy(259, 5)}, 100},
    {"BlockCutShort", QuantumType(16), ProseTokens(), kFrameSize, 3000},
    {"StatedSizeBeyondTheData", QuantumType(16), Literals("just a few bytes"), kFrameSize},
};

class QuantumBadFolder : public ::testing::TestWithParam<BadFolder> {};

TEST_P(QuantumBadFolder, FailsWithDecompressionError) {
    const BadFolder& bad = GetParam();
    Encoder encoder(std::clamp((bad.type >> 8) & 0x1F, 10, 21));
    std::string bytes = encoder.frame(bad.tokens);
    bytes.resize(std::min(bytes.size(), bad.keptBytes));
    Cabinet cab;
    cab.folders.push_back({bad.type, {{bytes, bad.statedSize}}});
    cab.members.push_back({"m", bad.statedSize, 0, 0});
    const Decoded ours = DecodeOurs(Build(cab));
    EXPECT_FALSE(ours.ok);
    EXPECT_EQ(ours.error, kCabDecompressFailed);
}

INSTANTIATE_TEST_SUITE_P(Refused, QuantumBadFolder, ::testing::ValuesIn(kBadFolders),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- engines side by side

// A second engine decodes a whole cabinet while the first stands between two members
// of one Quantum folder; neither disturbs the other.
TEST(QuantumFolders, TwoEnginesDecodeAtOnce) {
    Cabinet first, second;
    const Contents firstMembers = {{"1a", Prose(70000, 16)}, {"1b", Prose(70000, 17)}};
    const Contents secondMembers = {{"2a", Prose(50000, 18)}};
    AddQuantumFolder(first, 21, firstMembers);
    AddQuantumFolder(second, 10, secondMembers);

    Harness outer, inner;
    outer.files.add("1.cab", Build(first));
    inner.files.add("2.cab", Build(second));
    bool innerOk = false;
    outer.answer = [&](CabNotify kind, CabNotification& n) -> std::optional<intptr_t> {
        if (kind == CabNotify::CopyFile && std::string(n.name) == "1b")
            innerOk = inner.copy("2.cab");
        return std::nullopt;
    };
    ASSERT_TRUE(outer.copy("1.cab")) << outer.error.code;
    ASSERT_TRUE(innerOk) << inner.error.code;
    EXPECT_TRUE(outer.members == AsMap(firstMembers));
    EXPECT_TRUE(inner.members == AsMap(secondMembers));
}

// ---------------------------------------------------------------- committed cabinets

struct Fixture {
    const char* path; // under the source tree
    unsigned windowBits;
    Contents members;
};

const Fixture kFixtures[] = {
    {"tests/fixtures/cabinet/quantum-w10.cab",
     10,
     {{"readme.txt", Prose(40000, 20)}, {"bytes.bin", Noise(2000, 21)}}},
    {"tests/fixtures/cabinet/quantum-w21.cab", 21, {{"setup.txt", Prose(70000, 22)}}},
    {"fuzz/corpus/fuzz_cabinet/quantum-w12.cab", 12, {{"a.txt", Prose(3000, 23)}, {"b", "b"}}},
    {"fuzz/corpus/fuzz_cabinet/quantum-w20.cab",
     20,
     {{"a.txt", Prose(1500, 24)}, {"z", std::string(600, 'z')}, {"n", Noise(300, 25)}}},
};

void PrintTo(const Fixture& fixture, std::ostream* out) {
    *out << fixture.path;
}

// The committed file must be what the encoder makes today (or is written afresh).
std::string ExpectCommitted(const char* relativePath, const std::string& made) {
    const std::string path = SourcePath(relativePath);
    if (std::getenv("TRESSEL_WRITE_FIXTURES")) {
        std::ofstream(path, std::ios::binary) << made;
    }
    const std::string committed = PathExists(path) ? ReadWholeFile(path) : "";
    EXPECT_TRUE(committed == made) << relativePath << " is not what the encoder makes";
    return committed;
}

class QuantumFixture : public ::testing::TestWithParam<Fixture> {};

TEST_P(QuantumFixture, CommittedCabinetIsWhatTheEncoderMakesAndDecodes) {
    Cabinet cab;
    AddQuantumFolder(cab, GetParam().windowBits, GetParam().members);
    ExpectBothRestore(ExpectCommitted(GetParam().path, Build(cab)), AsMap(GetParam().members));
}

INSTANTIATE_TEST_SUITE_P(Committed, QuantumFixture, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) {
                             std::string name = std::filesystem::path(info.param.path).stem();
                             std::erase(name, '-');
                             return name + (info.index < 2 ? "Fixture" : "FuzzSeed");
                         });

// Seeds of the decoder's own fuzz target: the window byte, then each block with its
// compressed and uncompressed sizes.
TEST(QuantumFuzzSeeds, AreWhatTheEncoderMakes) {
    const std::pair<unsigned, std::string> seeds[] = {
        {11, Prose(34000, 26)}, {17, Noise(500, 27) + Prose(2000, 28) + std::string(300, ' ')}};
    for (const auto& [windowBits, data] : seeds) {
        std::string seed(1, char(windowBits - 10));
        for (const Block& block : QuantumBlocks(data, windowBits))
            seed += Le16(uint32_t(block.data.size())) + Le16(block.uncompressed) + block.data;
        const std::string name = "fuzz/corpus/fuzz_quantum/w" + std::to_string(windowBits);
        ExpectCommitted(name.c_str(), seed);
    }
}

} // namespace
} // namespace tressel
