// links: tressel_readers
// Reading a folder of 1,000 mixed archives as `tressel info` reads it (the registry,
// then nine values per file), in files per second, beside `exiftool -fast` on the same
// folder; and listing one ZIP of 100,000 members. The archives are made on the first
// run under $TMPDIR/tressel-bench-archives/ and kept there for later runs: ZIPs with a
// comment, a readme and a few members, the same behind an executable stub, and MSZIP
// cabinets with a readme and a setup .inf.
#include "../tests/readers/cabinet/cab_builder.h"
#include "../tests/readers/zip_builder.h"
#include "platform/byte_source.h"
#include "readers/registry.h"
#include "readers/zip_reader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace tressel;
namespace fs = std::filesystem;

constexpr int kArchives = 1000;

std::string Folder() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/tressel-bench-archives/";
}

std::string Text(int seed, size_t size) {
    std::string text = "  ** Collection " + std::to_string(seed) + " **\r\n";
    while (text.size() < size)
        text += "Line " + std::to_string(text.size() * 7 % 1000) + " of the text.\r\n";
    return text;
}

std::string MixedArchive(int i, std::string& name) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", 0x0A000000 + i);
    std::vector<test::ZipMember> members = {{"readme.txt", Text(i, 4000), true},
                                            {"file_id.diz", Text(i + 1, 300), true}};
    for (int m = 0; m < 8; ++m)
        members.push_back({"data/part" + std::to_string(m) + ".dat", Text(m, 20000), true});
    switch (i % 4) {
    case 0:
    case 1:
        name = std::string(hex) + ".zip";
        return test::BuildZip(members, "Archive number " + std::to_string(i));
    case 2:
        name = std::string(hex) + ".exe";
        return "MZ" + std::string(30000, '\x90') + test::BuildZip(members);
    default: {
        name = std::string(hex) + ".cab";
        test::cab::Cabinet cab;
        cab.addFolder(test::cab::kMszip,
                      {{"setup.inf", "[Strings]\r\nAppName=Tool " + std::to_string(i) + "\r\n"},
                       {"readme.txt", Text(i, 4000)},
                       {"data.dat", Text(i, 150000)}});
        return test::cab::Build(cab);
    }
    }
}

std::string MixedFolder() {
    const std::string folder = Folder() + "mixed/";
    if (fs::exists(folder + "done"))
        return folder;
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int i = 0; i < kArchives; ++i) {
        std::string name;
        const std::string bytes = MixedArchive(i, name);
        std::ofstream(folder + name, std::ios::binary) << bytes;
    }
    std::ofstream(folder + "done");
    return folder;
}

std::string ManyMembers() {
    const std::string path = Folder() + "many.zip";
    if (fs::exists(path))
        return path;
    std::vector<test::ZipMember> members;
    for (int i = 0; i < 100000; ++i)
        members.push_back({"folder/member" + std::to_string(i) + ".bin", ""});
    fs::create_directories(Folder());
    std::ofstream(path, std::ios::binary) << test::BuildZip(members);
    return path;
}

void BM_ReadMixedArchives(benchmark::State& state) {
    const std::string folder = MixedFolder();
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != "done")
            files.push_back(entry.path());
    size_t values = 0;
    for (auto _ : state) {
        for (const std::string& file : files) {
            auto reader = CreateFileReader(file, false);
            if (reader->isRecognized())
                values += static_cast<size_t>(reader->extract(9));
        }
    }
    if (values == 0)
        state.SkipWithError("no archive was read");
    state.counters["files/s"] = benchmark::Counter(
        double(files.size()) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ExiftoolFast(benchmark::State& state) {
    const std::string folder = MixedFolder();
    const std::string command = "exiftool -fast -q -q '" + folder + "' >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("exiftool failed");
    }
    state.counters["files/s"] = benchmark::Counter(double(kArchives) * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

void BM_ListHundredThousandMembers(benchmark::State& state) {
    const std::string path = ManyMembers();
    for (auto _ : state) {
        auto source = FileSource::open(path);
        const ReadResult read = ParseZip(*source, ReadRequest{9, false});
        benchmark::DoNotOptimize(read.values.size());
    }
}

BENCHMARK(BM_ReadMixedArchives)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExiftoolFast)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListHundredThousandMembers)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
