// What the undo journals cost as they pile up: listing one folder's commands (the
// window does it whenever a folder opens or a command ends) and the pruning pass every
// new command makes, both over a state folder of N journals of 20 moves each.
// links: tressel_operations

#include "operations/undo_journal.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

constexpr int kMovesPerJournal = 20;

// A state folder of `count` journals, every other one of `folder`, last changed a year
// ago; `ended` false leaves them interrupted, which pruning never removes.
struct JournalPile {
    JournalPile(long count, bool ended) {
        std::string templ = (fs::temp_directory_path() / "tressel-bench-XXXXXX").string();
        root = std::string(::mkdtemp(templ.data())) + "/";
        ::setenv("XDG_STATE_HOME", (root + "state").c_str(), 1);
        fs::create_directories(root + "a");
        fs::create_directories(root + "b");
        folder = tressel::JournalFolderKey(root + "a");
        const std::string other = tressel::JournalFolderKey(root + "b");
        fs::create_directories(tressel::JournalFolder());
        const std::time_t yearAgo = std::time(nullptr) - 365 * 24 * 60 * 60;
        for (long i = 0; i < count; ++i)
            write(i, i % 2 ? other : folder, ended, yearAgo);
    }
    ~JournalPile() { fs::remove_all(root); }

    static void write(long number, const std::string& key, bool ended, std::time_t changed) {
        char name[48];
        std::snprintf(name, sizeof name, "%020ld-1-0.journal", number);
        const std::string path = tressel::JournalFolder() + name;
        std::ofstream out(path, std::ios::binary);
        out << "TRESSEL-UNDO-JOURNAL 1\nfolder\t" << key
            << "\ncommand\trename\nstarted\t2026-01-01 00:00:00 UTC\n";
        for (int m = 0; m < kMovesPerJournal; ++m)
            out << "done\t" << key << "New name " << m << ".zip\t" << key << m << ".zip\t2049\t"
                << 1000 + m << "\t4096\t1700000000000000000\t0\n";
        if (ended)
            out << "end\n";
        out.close();
        const timespec times[2] = {{changed, 0}, {changed, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }

    std::string root;
    std::string folder;
};

void BM_ListJournals(benchmark::State& state) {
    JournalPile pile(state.range(0), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(tressel::ListJournals(pile.folder));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListJournals)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

// The steady state pruning cannot shrink: old journals, all interrupted.
void BM_PruneJournalsNothingToRemove(benchmark::State& state) {
    JournalPile pile(state.range(0), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(tressel::PruneJournals(std::time(nullptr)));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PruneJournalsNothingToRemove)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
