// Renaming 5,000 files to one text with the clash numbering that remembers how far a
// name's numbers are taken, beside the plain scan it replaced (kept here: each file
// tests Setup.exe, Setup[1].exe, ... from the start). And grouping 20,000 files by
// extension (20 extensions of 1,000 files, the undo journal written) beside a shell
// loop of 'mv -n' (and 'mkdir' once per folder) making the same moves, and 'tressel
// group' as a whole run. Folders are made under $TMPDIR before each run, outside the
// timing.
// links: tressel_catalogue

#include "catalogue/document.h"
#include "catalogue/rename_command.h"
#include "operations/group_files.h"
#include "operations/plain_move.h"
#include "operations/undo.h"
#include "platform/paths.h"

#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

using namespace tressel;
namespace fs = std::filesystem;

constexpr int kRenamed = 5000;
constexpr int kGrouped = 20000;
constexpr int kExtensions = 20;

std::string Scratch(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "/";
    fs::remove_all(path);
    fs::create_directories(path);
    return path;
}

std::string MakeFiles(const char* name, int count, int extensions) {
    const std::string folder = Scratch(name);
    for (int i = 0; i < count; ++i) {
        char file[40];
        std::snprintf(file, sizeof file, "%08X.e%02d", 0x0A000000 + i, i % extensions);
        std::ofstream(folder + file) << i;
    }
    return folder;
}

// Every file of the open folder, its column 1 reading "Setup".
class OneText : public IRenameRows {
public:
    explicit OneText(int count) : m_count(count) {}
    std::vector<int> selectedRows() override {
        std::vector<int> rows(static_cast<size_t>(m_count));
        for (int i = 0; i < m_count; ++i)
            rows[static_cast<size_t>(i)] = i;
        return rows;
    }
    int record(int row) override { return row; }
    std::string cellText(int, int) override { return "Setup"; }
    void deselect(int) override {}
    void setName(int, const std::string&) override {}

private:
    int m_count;
};

bool EntryExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The rename command's loop as it was: every file numbered by the plain scan.
int RenameWithThePlainScan(CMarlockUtilDoc& doc, CUndoGroup& group) {
    const std::string folder = doc.GetCurrentFolderPath();
    const size_t limit = FileNameLimit(folder);
    int done = 0;
    for (int record = 0; record < doc.GetRecordCount(); ++record) {
        const std::string current = doc.GetItemName(record, NameMode::InFolder);
        const std::string currentPath = folder + current;
        std::string target = RenameTargetName(current, "Setup", false, limit);
        target = NumberClashingName(
            target,
            [&](const std::string& name) {
                const std::string path = folder + name;
                return EntryExists(path) && !NamesSameEntry(path, currentPath);
            },
            limit);
        done += target != current && doc.RenameItem(record, folder + target, &group);
    }
    return done;
}

void RenameToOneText(benchmark::State& state, bool plainScan) {
    int done = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = MakeFiles("tressel-bench-one-text", kRenamed, 1);
        CMarlockUtilDoc doc;
        doc.OpenFolderPath(folder);
        CUndoGroup group;
        state.ResumeTiming();
        if (plainScan) {
            done = RenameWithThePlainScan(doc, group);
        } else {
            OneText rows(doc.GetRecordCount());
            done = RunRenameCommand(doc, rows, group, {}).done;
        }
        state.PauseTiming();
        if (!EntryExists(folder + "Setup[4999].e00"))
            state.SkipWithError("the last file is not Setup[4999].e00");
        fs::remove_all(folder);
        state.ResumeTiming();
    }
    state.counters["files"] = done;
}

void BM_RenameToOneTextPlainScan(benchmark::State& state) {
    RenameToOneText(state, true);
}
void BM_RenameToOneTextRemembered(benchmark::State& state) {
    RenameToOneText(state, false);
}
BENCHMARK(BM_RenameToOneTextPlainScan)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_RenameToOneTextRemembered)->Unit(benchmark::kMillisecond)->Iterations(3);

std::vector<GroupItem> ByExtension(const std::string& folder) {
    std::vector<GroupItem> items;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        items.push_back({name, SplitPath(name).ext.substr(1)});
    }
    return items;
}

void BM_GroupByExtension(benchmark::State& state) {
    int done = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = MakeFiles("tressel-bench-group", kGrouped, kExtensions);
        const std::vector<GroupItem> items = ByExtension(folder);
        state.ResumeTiming();
        std::unique_ptr<CUndoGroup> group = CUndoGroup::Journaled(folder, "bench");
        done = GroupFiles(folder, items, group.get()).done;
        state.PauseTiming();
        fs::remove_all(folder);
        state.ResumeTiming();
    }
    state.counters["files"] = done;
}
BENCHMARK(BM_GroupByExtension)->Unit(benchmark::kMillisecond)->Iterations(3);

void RunTimed(benchmark::State& state, const std::string& command) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = MakeFiles("tressel-bench-group", kGrouped, kExtensions);
        state.ResumeTiming();
        if (std::system(("cd " + folder + " && " + command + " >/dev/null").c_str()) != 0)
            state.SkipWithError(command.c_str());
        state.PauseTiming();
        if (!EntryExists(folder + "e07/0A000007.e07"))
            state.SkipWithError("not grouped");
        fs::remove_all(folder);
        state.ResumeTiming();
    }
}

void BM_ShellLoopOfMvN(benchmark::State& state) {
    RunTimed(state, "for f in *.*; do e=${f##*.}; [ -d \"$e\" ] || mkdir \"$e\"; "
                    "mv -n \"$f\" \"$e/\"; done");
}
BENCHMARK(BM_ShellLoopOfMvN)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_TresselGroupByExt(benchmark::State& state) {
    RunTimed(state, std::string(TRESSEL_BENCH_BINARY_DIR) + "/src/tressel group --by ext .");
}
BENCHMARK(BM_TresselGroupByExt)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    tressel::bench::IsolateFromTheUser();
    return tressel::bench::RunBenchmarks(argc, argv);
}
