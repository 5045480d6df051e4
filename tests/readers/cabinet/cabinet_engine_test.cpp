#include "cab_builder.h"
#include "cab_harness.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>

namespace tressel {
namespace {

using namespace tressel::test;
using namespace tressel::test::cab;
using K = CabNotify;

std::string VariedText(size_t size, unsigned seed) {
    static const char* const words[] = {"cabinet", "folder", "the",    "of",      "setup", "README",
                                        "Version", "2.1",    "disk",   "\r\n",    "- ",    "data",
                                        "block",   "and",    "member", "Install", ".",     "\n"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        text += words[random() % std::size(words)];
        text += random() % 3 ? ' ' : char('A' + random() % 26);
    }
    text.resize(size);
    return text;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

// What cabextract makes of a cabinet on disk: the members it writes into a fresh folder.
void ExpectCabextractAgrees(const TempDir& dir, const std::string& cabinet,
                            const std::map<std::string, std::string>& expected) {
    const std::string out = dir.mkdir("cabextract-" + cabinet) + "/";
    ASSERT_EQ(Shell("cabextract -q -d '" + out + "' '" + dir.file(cabinet) + "' >/dev/null 2>&1"),
              0);
    for (const auto& [name, bytes] : expected) {
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        EXPECT_EQ(ReadWholeFile(out + path), bytes) << name;
    }
}

// ---------------------------------------------------------------- cabinets from gcab

class GcabCabinet : public ::testing::TestWithParam<const char*> {};

TEST_P(GcabCabinet, EveryMemberComesOutByteIdenticalAsCabextractAgrees) {
    const TempDir dir;
    const std::map<std::string, std::string> originals = {
        {"empty.txt", ""},
        {"one.txt", "x"},
        {"random.bin", RandomBytes(100000, 1)},           // spans four blocks, incompressible
        {"sub\\text.txt", VariedText(300000, 2)},         // spans ten blocks
        {"tail.txt", VariedText(40000, 3) + "the end\n"}, // refers back across blocks
    };
    std::string names;
    for (const auto& [name, bytes] : originals) {
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        dir.write("in/" + path, bytes);
        names += " '" + path + "'";
    }
    ASSERT_EQ(
        Shell("cd '" + dir.file("in") + "' && gcab -c " + GetParam() + " ../test.cab" + names), 0);

    Harness inMemory;
    const std::string bytes = ReadWholeFile(dir.file("test.cab"));
    inMemory.files.add("test.cab", bytes);
    ASSERT_TRUE(inMemory.copy("test.cab")) << inMemory.error.code;
    EXPECT_EQ(inMemory.members, originals);
    EXPECT_EQ(inMemory.files.openHandles(), 0);

    // The same through files on disk, with the cabinet found through its folder.
    Harness onDisk(dir.mkdir("ours") + "/");
    ASSERT_TRUE(onDisk.copy("test.cab", dir.path())) << onDisk.error.code;
    EXPECT_EQ(onDisk.members, originals);

    ExpectCabextractAgrees(dir, "test.cab", originals);
}

INSTANTIATE_TEST_SUITE_P(StoredAndMszip, GcabCabinet, ::testing::Values("", "-z"));

// ---------------------------------------------------------------- built cabinets

// Three folders, stored and MSZIP, with reserve areas everywhere.
struct Sample {
    Cabinet cab;
    std::map<std::string, std::string> expected;
    Sample() {
        cab.reserve = true;
        cab.headerReserve = 10;
        cab.folderReserve = 3;
        cab.blockReserve = 5;
        add(kStored, {{"a.txt", VariedText(1000, 4)}, {"b.bin", RandomBytes(50000, 5)}});
        add(kMszip, {{"c.txt", ""}, {"d.txt", VariedText(90000, 6)}, {"e.txt", "short"}});
        add(kStored, {{"f.txt", VariedText(10, 7)}});
    }
    void add(uint16_t type, const std::vector<std::pair<std::string, std::string>>& contents) {
        cab.addFolder(type, contents);
        for (const auto& [name, bytes] : contents)
            expected[name] = bytes;
    }
};

TEST(CabinetEngine, SeveralFoldersWithReserveAreasComeOutWhole) {
    Sample sample;
    const std::string bytes = Build(sample.cab);
    Harness harness;
    harness.files.add("dir/s.cab", bytes);
    ASSERT_TRUE(harness.copy("s.cab", "dir/")) << harness.error.code;
    EXPECT_EQ(harness.members, sample.expected);

    // cabextract leaves the block reserve out of the checksum; the format includes it.
    // So it checks this cabinet without checksums.
    for (Folder& folder : sample.cab.folders)
        for (Block& block : folder.blocks)
            block.sum = Sum::Zero;
    const TempDir dir;
    dir.write("s.cab", Build(sample.cab));
    ExpectCabextractAgrees(dir, "s.cab", sample.expected);
}

TEST(CabinetEngine, MembersAskedForOutOfOrderOrSkippedStillComeOutRight) {
    Sample sample;
    const std::string bytes = Build(sample.cab);
    // d.txt first, skipping everything before it; then the first folder again.
    std::swap(sample.cab.members[0], sample.cab.members[3]);
    const std::string reordered = Build(sample.cab);
    Harness harness;
    harness.files.add("r.cab", reordered);
    harness.answer = [](K kind, CabNotification& n) -> std::optional<intptr_t> {
        if (kind == K::CopyFile && std::string(n.name) == "c.txt")
            return 0;
        return std::nullopt;
    };
    ASSERT_TRUE(harness.copy("r.cab")) << harness.error.code;
    sample.expected.erase("c.txt");
    EXPECT_EQ(harness.members, sample.expected);
}

TEST(CabinetEngine, IsCabinetReadsTheHeaderOnly) {
    Cabinet cab;
    cab.setId = 7;
    cab.index = 2;
    cab.previousCabinet = "p";
    cab.nextCabinet = "n";
    const std::string header = Build(cab).substr(0, 36);
    struct Case {
        std::string bytes;
        bool accepted;
        int error;
    } cases[] = {
        {header, true, 0},
        {header.substr(0, 35), false, 0},
        {"MSCE" + header.substr(4), false, 0},
        {header.substr(0, 24) + Le16(0x0102) + header.substr(26), false, kCabUnknownVersion},
    };
    for (const Case& c : cases) {
        Harness harness;
        harness.files.add("x", c.bytes);
        const CabCallbacks io = harness.files.callbacks();
        const CabHandle handle = io.open(io.context, "x", O_RDONLY, 0);
        CabCabinetInfo info;
        EXPECT_EQ(CabIsCabinet(harness.engine, handle, &info), c.accepted) << c.bytes.size();
        EXPECT_EQ(harness.error.code, c.error);
        if (c.error == kCabUnknownVersion) {
            EXPECT_EQ(harness.error.detail, 0x0102);
        }
        if (c.accepted) {
            EXPECT_EQ(info.setId, 7);
            EXPECT_EQ(info.cabinetIndex, 2);
            EXPECT_EQ(info.cabinetSize, 36u + 6); // the two names, two bytes each
            EXPECT_TRUE(info.hasPrevious && info.hasNext && !info.hasReserve);
            EXPECT_EQ(io.seek(io.context, handle, 0, SEEK_CUR), 36);
        }
    }
}

TEST(CabinetEngine, NotifiesEachMemberByKindInRecordOrder) {
    Cabinet cab;
    cab.addFolder(kMszip, {{"zero.txt", ""}, {"run.exe", "MZ program"}});
    cab.members[0].attributes = 0x60;
    cab.members[1].attributes = 0x41;
    cab.members.insert(cab.members.begin(),
                       Member{"begun-before.txt", 500, 0, kCabContinuedFromPrevious});
    Harness harness;
    harness.files.add("n.cab", Build(cab));
    ASSERT_TRUE(harness.copy("n.cab")) << harness.error.code;
    const std::vector<Event> expected = {
        {K::CabinetInfo},
        {K::Enumerate},
        {K::PartialFile, "begun-before.txt", 500, 0x20},
        {K::CopyFile, "zero.txt", 0, 0x60},
        {K::CloseFile, "zero.txt", 1, 0x20}, // run-after-extraction becomes size 1
        {K::CopyFile, "run.exe", 10, 0x41},
        {K::CloseFile, "run.exe", 1, 0x01},
        {K::Enumerate},
    };
    EXPECT_EQ(harness.events, expected);
    EXPECT_EQ(harness.members.at("zero.txt"), "");
    EXPECT_EQ(harness.members.at("run.exe"), "MZ program");
    EXPECT_FALSE(harness.members.count("begun-before.txt"));
}

// ---------------------------------------------------------------- damage

struct Damage {
    const char* what;
    std::function<void(Cabinet&)> change;
    std::function<void(std::string&)> corrupt; // on the built bytes
    int error;
};

Cabinet SmallCabinet(uint16_t type) {
    Cabinet cab;
    cab.addFolder(type, {{"a.txt", VariedText(40000, 8)}, {"b.txt", VariedText(5000, 9)}});
    return cab;
}

TEST(CabinetEngine, DamageGivesTheErrorOfItsKind) {
    const size_t filesAt = 36 + 8; // one folder, no reserve, no names
    const Damage cases[] = {
        {"zero checksum", [](Cabinet& c) { c.folders[0].blocks[1].sum = Sum::Zero; }, {}, 0},
        {"wrong checksum", [](Cabinet& c) { c.folders[0].blocks[1].sum = Sum::Wrong; }, {}, 4},
        {"version 0x0102", [](Cabinet& c) { c.version = 0x0102; }, {}, 3},
        {"signature", {}, [](std::string& b) { b[3] = 'X'; }, 2},
        {"short header", {}, [](std::string& b) { b.resize(30); }, 2},
        {"reserve sizes cut off", [](Cabinet& c) { c.reserve = true; },
         [](std::string& b) { b.resize(38); }, 2},
        {"folder out of range", [](Cabinet& c) { c.members[1].folder = 1; }, {}, 4},
        {"member beyond its folder", [](Cabinet& c) { c.members[1].offset = 70000; }, {}, 4},
        {"name without end", {}, [&](std::string& b) { b.resize(filesAt + 16 + 3); }, 4},
        {"data cut off", {}, [](std::string& b) { b.resize(b.size() - 100); }, 4},
        {"block larger than its buffer",
         [](Cabinet& c) { c.folders[0].blocks[0].data.resize(40000); },
         {},
         4},
        {"block decoding to more than 32 KiB",
         [](Cabinet& c) { c.folders[0].blocks[1].uncompressed = 40000; },
         {},
         4},
        {"stored block of the wrong size",
         [](Cabinet& c) { c.folders[0].blocks[1].uncompressed -= 1; },
         {},
         7},
        {"split block without a next cabinet",
         [](Cabinet& c) { c.folders[0].blocks[1].uncompressed = 0; },
         {},
         4},
        {"Quantum over stored bytes", [](Cabinet& c) { c.folders[0].type = 0x0F02; }, {}, 7},
        {"stored data as LZX", [](Cabinet& c) { c.folders[0].type = 0x1003; }, {}, 7},
        {"method 7", [](Cabinet& c) { c.folders[0].type = 7; }, {}, 6},
    };
    for (const Damage& d : cases) {
        Cabinet cab = SmallCabinet(kStored);
        if (d.change)
            d.change(cab);
        std::string bytes = Build(cab);
        if (d.corrupt)
            d.corrupt(bytes);
        Harness harness;
        harness.files.add("d.cab", bytes);
        EXPECT_EQ(harness.copy("d.cab"), d.error == 0) << d.what;
        EXPECT_EQ(harness.error.code, d.error) << d.what;
        EXPECT_EQ(harness.error.failed, d.error != 0) << d.what;
        EXPECT_EQ(harness.files.openHandles(), 0) << d.what;
    }
}

TEST(CabinetEngine, BadMszipDataFailsToDecode) {
    const std::function<void(Block&)> damages[] = {
        [](Block& b) { b.data[0] = 'X'; },                  // no "CK"
        [](Block& b) { b.data.resize(b.data.size() / 2); }, // Deflate data cut short
        [](Block& b) { b.data[2] = char(0xFF); },           // an invalid block type
        [](Block& b) { b.uncompressed -= 1; },              // more data than stated
    };
    for (const auto& damage : damages) {
        Cabinet cab = SmallCabinet(kMszip);
        damage(cab.folders[0].blocks[0]);
        Harness harness;
        harness.files.add("m.cab", Build(cab));
        EXPECT_FALSE(harness.copy("m.cab"));
        EXPECT_EQ(harness.error.code, kCabDecompressFailed);
    }
}

TEST(CabinetEngine, ClientAnswersCanAbortOrFailTheRun) {
    struct Case {
        K kind;
        intptr_t answer;
        int error;
    } cases[] = {
        {K::CabinetInfo, -1, 11}, {K::Enumerate, -1, 11}, {K::CopyFile, -1, 11},
        {K::CloseFile, -1, 11},   {K::CloseFile, 0, 8},   {K::CopyFile, 999, 8}, // no such target
    };
    for (const Case& c : cases) {
        Harness harness;
        harness.files.add("c.cab", Build(SmallCabinet(kMszip)));
        harness.answer = [&](K kind, CabNotification&) -> std::optional<intptr_t> {
            if (kind == c.kind)
                return c.answer;
            return std::nullopt;
        };
        EXPECT_FALSE(harness.copy("c.cab"));
        EXPECT_EQ(harness.error.code, c.error) << int(c.kind);
        EXPECT_EQ(harness.files.openHandles(), 0) << int(c.kind);
    }
    Harness missing;
    EXPECT_FALSE(missing.copy("nowhere.cab"));
    EXPECT_EQ(missing.error.code, kCabCannotOpen);
}

TEST(CabinetEngine, EnumerationCanRestartTheWalk) {
    Harness harness;
    harness.files.add("e.cab", Build(SmallCabinet(kStored)));
    int rounds = 0;
    int64_t firstRecord = 0;
    harness.answer = [&](K kind, CabNotification& n) -> std::optional<intptr_t> {
        if (kind == K::Enumerate && rounds++ == 0)
            firstRecord = n.size;
        else if (kind == K::Enumerate && rounds == 2) {
            n.size = firstRecord; // once more from the first member, the first only
            n.folderIndex = 1;
        }
        return std::nullopt;
    };
    ASSERT_TRUE(harness.copy("e.cab"));
    EXPECT_EQ(std::count(harness.events.begin(), harness.events.end(),
                         Event{K::CopyFile, "a.txt", 40000, 0x20}),
              2);
    EXPECT_EQ(rounds, 3);
}

TEST(CabinetEngine, DecryptionSeesEveryCabinetFolderAndBlock) {
    static int counts[3];
    static uint32_t reserveSizes[3];
    std::fill(std::begin(counts), std::end(counts), 0);
    Sample sample;
    Harness harness;
    harness.files.add("s.cab", Build(sample.cab));
    harness.decrypt = [](CabDecrypt& d) {
        ++counts[int(d.kind)];
        reserveSizes[int(d.kind)] = d.reserveSize;
        return 0;
    };
    ASSERT_TRUE(harness.copy("s.cab"));
    size_t blocks = 0;
    for (const Folder& f : sample.cab.folders)
        blocks += f.blocks.size();
    EXPECT_EQ(counts[0], 1);
    EXPECT_EQ(counts[1], 3);
    EXPECT_EQ(counts[2], int(blocks));
    EXPECT_EQ(reserveSizes[0], 10u);
    EXPECT_EQ(reserveSizes[1], 3u);
    EXPECT_EQ(reserveSizes[2], 5u);

    harness.decrypt = [](CabDecrypt& d) { return d.kind == CabDecryptKind::Block ? -1 : 0; };
    EXPECT_FALSE(harness.copy("s.cab"));
    EXPECT_EQ(harness.error.code, kCabAborted);
}

TEST(CabinetEngine, RefusedMemoryIsReported) {
    CabMemoryFiles files;
    files.failAllocationsAfter(2);
    CabError error;
    EXPECT_EQ(CabCreate(files.callbacks(), 1, &error), nullptr);
    EXPECT_EQ(error.code, kCabOutOfMemory);

    Harness harness;
    harness.files.add("c.cab", Build(SmallCabinet(kMszip)));
    harness.files.failAllocationsAfter(0); // the MSZIP method can have none
    EXPECT_FALSE(harness.copy("c.cab"));
    EXPECT_EQ(harness.error.code, kCabOutOfMemory);
}

// ---------------------------------------------------------------- a set of two cabinets

// One MSZIP folder holds a and b; it is cut inside its third block, so b begins in the
// first cabinet and ends in the second, where its record is repeated as continued. c and
// d are in the second cabinet's own folder.
struct CabinetSet {
    std::string a = VariedText(40000, 10), b = VariedText(70000, 11), c = VariedText(20000, 12),
                d = "own folder";
    Cabinet one, two;
    CabinetSet() {
        const std::vector<Block> blocks = Blocks(a + b, kMszip);
        Block head = blocks[2], rest = blocks[2];
        head.data.resize(1000);
        head.uncompressed = 0;
        rest.data.erase(0, 1000);
        one.folders = {{kMszip, {blocks[0], blocks[1], head}}};
        two.folders = {{kMszip, {rest, blocks[3]}}};
        one.members = {{"a.txt", 40000, 0, 0}, {"b.txt", 70000, 40000, kCabContinuedToNext}};
        two.members = {{"b.txt", 70000, 40000, kCabContinuedFromPrevious}};
        two.addFolder(kMszip, {{"c.txt", c}, {"d.txt", d}});
        one.nextCabinet = "two.cab";
        one.nextDisk = "Disk 2";
        two.previousCabinet = "one.cab";
        two.previousDisk = "Disk 1";
        two.index = 1;
    }
};

TEST(CabinetSet, AFolderContinuedIntoTheNextCabinetIsFollowed) {
    CabinetSet set;
    const std::string one = Build(set.one), two = Build(set.two);
    Harness harness;
    harness.files.add("one.cab", one);
    harness.files.add("two.cab", two);
    ASSERT_TRUE(harness.copy("one.cab")) << harness.error.code;
    const std::vector<Event> fromOne = {
        {K::CabinetInfo},
        {K::Enumerate},
        {K::CopyFile, "a.txt", 40000, 0x20},
        {K::CloseFile, "a.txt", 0, 0x20},
        {K::CopyFile, "b.txt", 70000, 0x20},
        {K::NextCabinet},
        {K::CabinetInfo},
        {K::CloseFile, "b.txt", 0, 0x20},
    };
    EXPECT_EQ(harness.events, fromOne);
    EXPECT_EQ(harness.members,
              (std::map<std::string, std::string>{{"a.txt", set.a}, {"b.txt", set.b}}));

    harness.members.clear();
    ASSERT_TRUE(harness.copy("two.cab")) << harness.error.code;
    const std::vector<Event> fromTwo = {
        {K::CabinetInfo},
        {K::Enumerate},
        {K::PartialFile, "b.txt", 70000, 0x20},
        {K::CopyFile, "c.txt", 20000, 0x20},
        {K::CloseFile, "c.txt", 0, 0x20},
        {K::CopyFile, "d.txt", 10, 0x20},
        {K::CloseFile, "d.txt", 0, 0x20},
        {K::Enumerate},
    };
    EXPECT_EQ(harness.events, fromTwo);
    EXPECT_EQ(harness.members,
              (std::map<std::string, std::string>{{"c.txt", set.c}, {"d.txt", set.d}}));

    const TempDir dir;
    dir.write("one.cab", one);
    dir.write("two.cab", two);
    ExpectCabextractAgrees(
        dir, "one.cab", {{"a.txt", set.a}, {"b.txt", set.b}, {"c.txt", set.c}, {"d.txt", set.d}});
}

TEST(CabinetSet, TheClientIsAskedAgainUntilTheRightCabinetOpens) {
    struct Case {
        const char* what;
        std::function<void(Cabinet&)> spoil;
        int lastError;
    } cases[] = {
        {"other set", [](Cabinet& c) { c.setId += 1; }, kCabWrongCabinet},
        {"wrong index", [](Cabinet& c) { c.index = 2; }, kCabWrongCabinet},
        {"other reserve sizes",
         [](Cabinet& c) {
             c.reserve = true;
             c.blockReserve = 2;
         },
         kCabReserveMismatch},
        {"not a cabinet", [](Cabinet& c) { c.version = 0x0104; }, kCabUnknownVersion},
        {"missing", {}, kCabCannotOpen},
    };
    for (const Case& c : cases) {
        CabinetSet set;
        const std::string one = Build(set.one), good = Build(set.two);
        Cabinet spoiled = set.two;
        if (c.spoil)
            c.spoil(spoiled);
        const std::string bad = Build(spoiled);
        Harness harness;
        harness.files.add("one.cab", one);
        if (c.spoil)
            harness.files.add("two.cab", bad);
        harness.files.add("disk2/two.cab", good);
        int asked = 0;
        harness.answer = [&](K kind, CabNotification& n) -> std::optional<intptr_t> {
            if (kind == K::NextCabinet && ++asked == 2)
                *n.path = "disk2/"; // the client finds the right disk
            return std::nullopt;
        };
        ASSERT_TRUE(harness.copy("one.cab")) << c.what << " " << harness.error.code;
        EXPECT_EQ(harness.members.at("b.txt"), set.b) << c.what;
        std::vector<int> lastErrors;
        for (const Event& e : harness.events)
            if (e.kind == K::NextCabinet)
                lastErrors.push_back(e.lastError);
        EXPECT_EQ(lastErrors, (std::vector<int>{0, c.lastError})) << c.what;
        EXPECT_EQ(harness.error.code, 0) << c.what;
    }

    CabinetSet set;
    Harness refusing;
    refusing.files.add("one.cab", Build(set.one));
    refusing.answer = [](K kind, CabNotification&) -> std::optional<intptr_t> {
        if (kind == K::NextCabinet)
            return -1;
        return std::nullopt;
    };
    EXPECT_FALSE(refusing.copy("one.cab"));
    EXPECT_EQ(refusing.error.code, kCabAborted);
    EXPECT_EQ(refusing.files.openHandles(), 0);
}

} // namespace
} // namespace tressel
