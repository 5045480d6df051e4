// The move routine's cost per file: a rename within a folder (with and without the
// undo journal), and the clash numbering in a folder that already holds many numbered
// copies of a name.
// links: tressel_operations

#include "operations/move_item.h"
#include "operations/undo.h"
#include "operations/undo_journal.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Scratch {
    Scratch() {
        std::string templ = (fs::temp_directory_path() / "tressel-bench-XXXXXX").string();
        path = std::string(::mkdtemp(templ.data())) + "/";
        ::setenv("XDG_STATE_HOME", (path + "state").c_str(), 1);
    }
    ~Scratch() { fs::remove_all(path); }
    void write(const std::string& name) const { std::ofstream(path + name) << "x"; }
    std::string path;
};

// Renames one file back and forth: each iteration is two moves.
void RenameBackAndForth(benchmark::State& state, bool journaled) {
    Scratch dir;
    dir.write("a.bin");
    auto group = journaled ? std::make_unique<tressel::CUndoGroup>(
                                 tressel::CUndoJournal::create(dir.path, "bench"))
                           : std::make_unique<tressel::CUndoGroup>();
    std::string a = dir.path + "a.bin", b = dir.path + "b.bin";
    for (auto _ : state) {
        std::string target = b;
        tressel::MoveItem(a, target, group.get());
        target = a;
        tressel::MoveItem(b, target, group.get());
    }
    state.SetItemsProcessed(state.iterations() * 2);
}

void BM_MoveItem(benchmark::State& state) {
    RenameBackAndForth(state, false);
}
void BM_MoveItemJournaled(benchmark::State& state) {
    RenameBackAndForth(state, true);
}

// A file moved onto "report.txt" when report.txt and report[1..n-1].txt exist.
void BM_ClashNumbering(benchmark::State& state) {
    Scratch dir;
    const auto taken = state.range(0);
    dir.write("report.txt");
    for (int64_t i = 1; i < taken; ++i)
        dir.write("report[" + std::to_string(i) + "].txt");
    dir.write("a.txt");
    for (auto _ : state) {
        std::string target = dir.path + "report.txt";
        tressel::MoveItem(dir.path + "a.txt", target, nullptr);
        state.PauseTiming();
        fs::rename(target, dir.path + "a.txt");
        state.ResumeTiming();
    }
}

BENCHMARK(BM_MoveItem);
BENCHMARK(BM_MoveItemJournaled);
BENCHMARK(BM_ClashNumbering)->Arg(10)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
