#include "cab_builder.h"
#include "cab_harness.h"
#include "lzx_encoder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <random>

namespace tressel {
namespace {

using namespace tressel::test;
using namespace tressel::test::cab;
using B = LzxBlock;

std::string Words(size_t size, unsigned seed) {
    static const char* const words[] = {"setup",   "README", "the",  "of",      "Install", "disk",
                                        "cabinet", "2.1",    "\r\n", "Version", "data",    "and"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        text += words[random() % std::size(words)];
        text += random() % 4 ? ' ' : char('a' + random() % 26);
    }
    text.resize(size);
    return text;
}

// Machine code in spirit: a few instruction sequences and calls (E8 and a 32-bit
// relative target) to a few functions, whose targets repeat once made absolute.
std::string CallsAndBytes(size_t size, unsigned seed) {
    static const char* const snippets[] = {"\x55\x8B\xEC", "\x83\xC4\x08", "\x5D\xC3",
                                           "\x8B\x45\x08\x50", "\x33\xC0\x40"};
    std::mt19937 random(seed);
    std::string code;
    while (code.size() < size) {
        if (random() % 3 == 0) {
            const int64_t function = int64_t(random() % 40) * 1000;
            code += char(0xE8) + Le32(uint32_t(int32_t(function - int64_t(code.size()))));
        } else {
            code += snippets[random() % std::size(snippets)];
        }
    }
    code.resize(size);
    return code;
}

struct LzxCase {
    const char* what;
    std::string data;
    LzxOptions options;
};

std::vector<LzxCase> Cases() {
    return {
        {"verbatim blocks across frames, window 15",
         Words(150000, 1),
         {15, 0, {{B::Verbatim, 65536}}}},
        {"aligned blocks, window 21",
         Words(90000, 2) + Words(90000, 2).substr(500),
         {21, 0, {{B::Aligned, 40000}}}},
        {"uncompressed blocks between coded ones, odd sizes",
         Words(200000, 3),
         {16,
          0,
          {{B::Verbatim, 1000},
           {B::Uncompressed, 33333},
           {B::Aligned, 30000},
           {B::Uncompressed, 7},
           {B::Uncompressed, 31435},
           {B::Verbatim, 100000}}}},
        {"E8 translation", CallsAndBytes(100000, 4), {17, 120000, {{B::Verbatim, 50000}}}},
        {"one frame, window 18", "abcabcabcabd" + Words(20000, 5), {18, 0, {{B::Aligned, 70000}}}},
    };
}

TEST(LzxMethod, RestoresWhatTheEncoderMadeAsCabextractDoes) {
    for (const LzxCase& c : Cases()) {
        Cabinet cab;
        int repeated = 0;
        cab.folders = {{LzxType(c.options.windowBits), LzxBlocks(c.data, c.options, &repeated)}};
        EXPECT_GT(repeated, 0) << c.what;
        cab.members = {{"head.bin", 1000, 0, 0},
                       {"rest.bin", uint32_t(c.data.size() - 1000), 1000, 0}};
        const std::map<std::string, std::string> expected = {{"head.bin", c.data.substr(0, 1000)},
                                                             {"rest.bin", c.data.substr(1000)}};
        size_t compressed = 0;
        for (const Block& b : cab.folders[0].blocks)
            compressed += b.data.size();
        if (c.options.blocks.size() == 1) {
            EXPECT_LT(compressed, c.data.size() / 2) << c.what << ": too few matches";
        }

        const std::string bytes = Build(cab);
        Harness harness;
        harness.files.add("l.cab", bytes);
        EXPECT_TRUE(harness.copy("l.cab")) << c.what << " " << harness.error.code;
        EXPECT_TRUE(harness.members == expected) << c.what;

        const TempDir dir;
        dir.write("l.cab", bytes);
        const std::string out = dir.mkdir("out") + "/";
        ASSERT_EQ(std::system(
                      ("cabextract -q -d '" + out + "' '" + dir.file("l.cab") + "' >/dev/null 2>&1")
                          .c_str()),
                  0)
            << c.what;
        EXPECT_TRUE(ReadWholeFile(out + "head.bin") == expected.at("head.bin")) << c.what;
        EXPECT_TRUE(ReadWholeFile(out + "rest.bin") == expected.at("rest.bin")) << c.what;
    }
}

TEST(LzxMethod, TheE8CaseReallyTranslates) {
    const LzxCase c = Cases()[3];
    std::string translated = c.data;
    lzx::TranslateCalls(translated, c.options.translationSize);
    EXPECT_NE(translated, c.data);
}

TEST(LzxMethod, BadDataFailsToDecode) {
    const std::string data = Words(50000, 6);
    const std::vector<Block> good = LzxBlocks(data);
    struct Damage {
        const char* what;
        uint16_t type;
        std::function<void(std::vector<Block>&)> change;
    } cases[] = {
        {"window bits 14", uint16_t(3 | 14 << 8), {}},
        {"window bits 22", uint16_t(3 | 22 << 8), {}},
        {"block type 0", LzxType(16), [](std::vector<Block>& b) { b[0].data[1] &= 0x8F; }},
        {"block type 5", LzxType(16),
         [](std::vector<Block>& b) { b[0].data[1] = char((b[0].data[1] & 0x8F) | 0x50); }},
        {"frame cut short", LzxType(16), [](std::vector<Block>& b) { b[0].data.resize(600); }},
        {"trees over-subscribed", LzxType(16),
         [](std::vector<Block>& b) {
             for (int i = 4; i < 14; ++i)
                 b[0].data[size_t(i)] = 0x11;
         }},
    };
    for (const Damage& d : cases) {
        std::vector<Block> blocks = good;
        if (d.change)
            d.change(blocks);
        Cabinet cab;
        cab.folders = {{d.type, blocks}};
        cab.members = {{"all.txt", uint32_t(data.size()), 0, 0}};
        Harness harness;
        harness.files.add("bad.cab", Build(cab));
        EXPECT_FALSE(harness.copy("bad.cab")) << d.what;
        EXPECT_EQ(harness.error.code, kCabDecompressFailed) << d.what;
    }
}

} // namespace
} // namespace tressel
