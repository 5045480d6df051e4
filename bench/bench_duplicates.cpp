// links: tressel_operations
// The duplicate search over a flat folder of about 2,000 files and 1 GB beside jdupes
// and rdfind on the same folder: a third of the files are near-copies of another file
// that differ in their last byte only, a tenth lie in sets of true copies, the rest
// are unique. Every copy found is confirmed byte for byte, as the command does; the
// moves are left out (a move that does nothing), so the folder stays as made. The
// folder is made on the first run under $TMPDIR/tressel-bench-dups/ and kept for later
// runs; the benchmarks run on a warm cache.
#include "operations/remove_duplicates.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tressel;
namespace fs = std::filesystem;

constexpr int kFiles = 2000;
constexpr int kCopySets = 70;   // of 2 to 4 files: about a tenth of the files
constexpr int kNearPairs = 333; // 666 files, a third

std::string RandomBytes(std::mt19937_64& random, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 8) {
        const uint64_t word = random();
        for (size_t j = 0; j < 8 && i + j < size; ++j)
            bytes[i + j] = static_cast<char>(word >> (8 * j));
    }
    return bytes;
}

struct Folder {
    std::string path;
    std::vector<std::string> names;
    int copies = 0; // files a run moves
};

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

const Folder& BenchFolder() {
    static const Folder folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        Folder made;
        made.path = std::string(tmp && *tmp ? tmp : "/tmp") + "/tressel-bench-dups/";
        const fs::path stamp = made.path + ".complete";
        std::mt19937_64 random(20261208);
        std::uniform_int_distribution<size_t> size(1024, 1000000);
        std::vector<std::string> names;
        int n = 0;
        const auto next = [&] {
            char name[16];
            std::snprintf(name, sizeof name, "%08X.bin", 0x0A000000 + n++);
            return std::string(name);
        };
        const bool exists = fs::exists(stamp);
        if (!exists) {
            fs::remove_all(made.path);
            fs::create_directories(made.path);
        }
        // Names are shuffled so that copies lie apart in name order, as they do in a
        // real folder; the contents are drawn the same on every run.
        std::vector<std::pair<std::string, std::string>> files;
        for (int set = 0; set < kCopySets; ++set) {
            const std::string bytes = RandomBytes(random, size(random));
            const int count = 2 + set % 3;
            for (int i = 0; i < count; ++i)
                files.push_back({next(), bytes});
            made.copies += count - 1;
        }
        for (int pair = 0; pair < kNearPairs; ++pair) {
            std::string bytes = RandomBytes(random, size(random));
            files.push_back({next(), bytes});
            bytes.back() = static_cast<char>(bytes.back() ^ 1);
            files.push_back({next(), bytes});
        }
        while (n < kFiles)
            files.push_back({next(), RandomBytes(random, size(random))});
        std::shuffle(files.begin(), files.end(), random);
        for (size_t i = 0; i < files.size(); ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "%08zX.bin", 0x0B000000 + i);
            made.names.push_back(name);
            if (!exists)
                Write(made.path + name, files[i].second);
        }
        std::sort(made.names.begin(), made.names.end());
        if (!exists)
            Write(stamp, "");
        return made;
    }();
    return folder;
}

void BM_FindDuplicates(benchmark::State& state) {
    const Folder& folder = BenchFolder();
    RemoveDuplicatesOptions options;
    options.move = [](const std::string&, std::string&) { return true; };
    for (auto _ : state) {
        const RemoveDuplicatesResult result =
            RemoveDuplicates(folder.path, folder.names, nullptr, options);
        if (result.removed != folder.copies)
            state.SkipWithError("wrong number of copies found");
    }
    state.counters["copies"] = folder.copies;
}

void RunTool(benchmark::State& state, const std::string& command) {
    BenchFolder();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError(("failed: " + command).c_str());
    }
}

void BM_Jdupes(benchmark::State& state) {
    RunTool(state, "jdupes -q '" + BenchFolder().path + "' >/dev/null");
}

void BM_RdfindDryRun(benchmark::State& state) {
    RunTool(state,
            "rdfind -dryrun true -makeresultsfile false '" + BenchFolder().path + "' >/dev/null");
}

BENCHMARK(BM_FindDuplicates)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(0.5);
BENCHMARK(BM_Jdupes)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(0.5);
BENCHMARK(BM_RdfindDryRun)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(0.5);

} // namespace

BENCHMARK_MAIN();
