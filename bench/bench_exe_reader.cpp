// Version strings read per second over a folder of 1,000 executables, the way the list
// asks for them: one reader per file from the registry, then extract(9).
// links: tressel_readers tressel_test_support

#include "readers/registry.h"
#include "temp_dir.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace tressel;

constexpr int kFileCount = 1000;

std::vector<std::string> MakeFolder(const test::TempDir& dir) {
    const std::string bytes =
        test::ReadWholeFile(test::SourcePath("tests/fixtures/exe/us_english.exe"));
    std::vector<std::string> paths;
    for (int i = 0; i < kFileCount; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%08X.exe", 0x0A1B2C00 + i);
        paths.push_back(dir.write(name, bytes));
    }
    return paths;
}

void BM_VersionStringsOfAFolder(benchmark::State& state) {
    const test::TempDir dir;
    const std::vector<std::string> paths = MakeFolder(dir);
    int64_t strings = 0;
    for (auto _ : state) {
        for (const std::string& path : paths) {
            std::unique_ptr<CFileReader> reader = CreateFileReader(path, false);
            if (reader->isRecognized())
                strings += reader->extract(9);
        }
    }
    if (strings != int64_t(state.iterations()) * kFileCount * 9)
        state.SkipWithError("a file did not give its nine strings");
    state.SetItemsProcessed(strings);
    state.counters["files/s"] =
        benchmark::Counter(double(state.iterations()) * kFileCount, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VersionStringsOfAFolder)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
