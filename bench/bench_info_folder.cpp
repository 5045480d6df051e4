// links: tressel_settings
// `tressel info --json --scan-all` over the project's samples copied into 2,540 files,
// with --jobs 1 and with the default (one thread per core), beside the floor (a C
// loop that opens each file once and reads the same head and tail windows as the
// readers' cached source, bench/floor_read.c) and beside `exiftool -fast -j`. The same
// without the archives tells how much of the difference their extracted readme
// members make, and the same with their scratch directories on /dev/shm how much of
// that is the disk's. Each is a process run on a warm cache, in files per second. The
// folders are made on the first run under $TMPDIR/tressel-bench-samples/ and kept.
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kCopies = 127;

std::string Root() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/tressel-bench-samples/";
}

bool IsArchive(const fs::path& sample) {
    return sample.parent_path().filename() == "archives";
}

std::vector<fs::path> Samples() {
    std::vector<fs::path> samples;
    for (const auto& entry :
         fs::recursive_directory_iterator(std::string(TRESSEL_BENCH_SOURCE_DIR) + "/samples"))
        if (entry.is_regular_file() && entry.path().extension() != ".md" &&
            entry.path().string().find("/sources/") == std::string::npos)
            samples.push_back(entry.path());
    return samples;
}

// The samples (not the files the archives were made from), kCopies times each under
// numbered names; without the archives when asked.
std::string Folder(bool withArchives) {
    const std::string folder = Root() + (withArchives ? "all/" : "no-archives/");
    const std::string done = Root() + (withArchives ? "all.done2" : "no-archives.done2");
    if (fs::exists(done))
        return folder;
    fs::remove_all(folder);
    fs::create_directories(folder);
    int n = 0;
    for (int copy = 0; copy < kCopies; ++copy)
        for (const fs::path& sample : Samples())
            if (withArchives || !IsArchive(sample))
                fs::copy_file(sample, folder + std::to_string(100000 + n++).substr(1) + "_" +
                                          sample.filename().string());
    std::ofstream(done) << n;
    return folder;
}

size_t FileCount(const std::string& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

void RunCommand(benchmark::State& state, const std::string& command, const std::string& folder) {
    const size_t files = FileCount(folder);
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            break;
        }
    }
    state.counters["files/s"] =
        benchmark::Counter(double(files) * double(state.iterations()), benchmark::Counter::kIsRate);
}

std::string Tressel(const std::string& jobs, const std::string& folder) {
    return std::string(TRESSEL_BENCH_BINARY_DIR) + "/src/tressel info --json --scan-all " + jobs +
           " '" + folder + "' >/dev/null";
}

std::string Floor(const std::string& folder) {
    return std::string(TRESSEL_BENCH_BINARY_DIR) + "/bench/floor_read '" + folder + "' >/dev/null";
}

void BM_InfoJobs1(benchmark::State& state) {
    const std::string folder = Folder(true);
    RunCommand(state, Tressel("--jobs 1", folder), folder);
}

void BM_InfoDefaultJobs(benchmark::State& state) {
    const std::string folder = Folder(true);
    RunCommand(state, Tressel("", folder), folder);
}

void BM_Floor(benchmark::State& state) {
    const std::string folder = Folder(true);
    RunCommand(state, Floor(folder), folder);
}

void BM_ExiftoolFast(benchmark::State& state) {
    const std::string folder = Folder(true);
    RunCommand(state, "exiftool -fast -j -q -q '" + folder + "' >/dev/null 2>&1", folder);
}

// The archives' scratch directories on a memory file system: how much of their cost is
// the disk's (making and removing a directory and its member files per archive).
void BM_InfoJobs1ScratchInMemory(benchmark::State& state) {
    const std::string folder = Folder(true);
    if (!fs::is_directory("/dev/shm")) {
        state.SkipWithError("no /dev/shm");
        return;
    }
    RunCommand(state, "TMPDIR=/dev/shm " + Tressel("--jobs 1", folder), folder);
}

void BM_InfoJobs1NoArchives(benchmark::State& state) {
    const std::string folder = Folder(false);
    RunCommand(state, Tressel("--jobs 1", folder), folder);
}

void BM_FloorNoArchives(benchmark::State& state) {
    const std::string folder = Folder(false);
    RunCommand(state, Floor(folder), folder);
}

BENCHMARK(BM_InfoJobs1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InfoDefaultJobs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExiftoolFast)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_InfoJobs1ScratchInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InfoJobs1NoArchives)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloorNoArchives)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    tressel::bench::IsolateFromTheUser();
    return tressel::bench::RunBenchmarks(argc, argv);
}
