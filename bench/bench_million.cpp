// A folder of a million entries in the window: the time until the first screen of rows
// is drawn (one opening per process, so /usr/bin/time -v gives its peak memory), and a
// refresh after 1,000 entries were added and 1,000 removed, with the list model's
// self-check afterwards. scripts/bench makes the folder once and runs these beside
// 'ls' on it.
// links: tressel_gui
//
// TRESSEL_BENCH_MILLION names the folder; without it the benchmarks are skipped.

#include "catalogue/document.h"
#include "listview/file_list_model.h"
#include "listview/view.h"

#include <QApplication>
#include <QTableView>

#include "window_bench.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The folder of a million entries; null, and the benchmark skipped, when none is named.
const char* MillionFolder(benchmark::State& state) {
    const char* folder = std::getenv("TRESSEL_BENCH_MILLION");
    if (!folder)
        state.SkipWithError("TRESSEL_BENCH_MILLION is not set");
    return folder;
}

void BM_MillionToFirstScreen(benchmark::State& state) {
    const char* folder = MillionFolder(state);
    if (!folder)
        return;
    tressel::CMarlockUtilDoc doc;
    tressel::CMarlockUtilView view(doc);
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        doc.OpenFolderPath(folder);
        view.initialUpdate();
        view.detailsView()->viewport()->repaint();
        benchmark::DoNotOptimize(view.model().rowCount());
    }
    state.counters["rows"] = view.model().rowCount();
}
BENCHMARK(BM_MillionToFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(1);

// The folder's entries to take away and the names to add: every thousandth entry, and
// as many new names spread over the name order.
struct Changes {
    std::vector<std::string> removed;
    std::vector<std::string> added;
};

Changes ChangesFor(tressel::CMarlockUtilDoc& doc, int count) {
    Changes changes;
    const int step = std::max(1, doc.GetRecordCount() / count);
    for (int record = 0;
         record < doc.GetRecordCount() && static_cast<int>(changes.removed.size()) < count;
         record += step) {
        const std::string name = doc.GetItemName(record, tressel::NameMode::InFolder);
        changes.removed.push_back(name);
        changes.added.push_back(name + ".new");
    }
    return changes;
}

void Touch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

void Apply(const std::string& folder, const std::vector<std::string>& remove,
           const std::vector<std::string>& add) {
    for (const std::string& name : remove)
        ::unlink((folder + "/" + name).c_str());
    for (const std::string& name : add)
        Touch(folder + "/" + name);
}

void BM_MillionRefreshThousand(benchmark::State& state) {
    const char* folder = MillionFolder(state);
    if (!folder)
        return;
    tressel::CMarlockUtilDoc doc;
    tressel::CMarlockUtilView view(doc);
    view.resize(1000, 700);
    view.show();
    doc.OpenFolderPath(folder);
    view.initialUpdate();
    const int rowsBefore = view.model().rowCount();
    const Changes changes = ChangesFor(doc, 1000);
    bool consistent = true;
    std::string problem;
    for (auto _ : state) {
        state.PauseTiming();
        Apply(folder, changes.removed, changes.added);
        state.ResumeTiming();
        view.refreshChanges();
        state.PauseTiming();
        consistent = consistent && view.model().isConsistent(&problem) &&
                     view.model().rowCount() == rowsBefore;
        // Back as it was, so the folder serves the next run.
        Apply(folder, changes.added, changes.removed);
        view.refreshChanges();
        consistent = consistent && view.model().isConsistent(&problem) &&
                     view.model().rowCount() == rowsBefore;
        state.ResumeTiming();
    }
    state.counters["rows"] = rowsBefore;
    state.counters["consistent"] = consistent ? 1 : 0;
    if (!consistent)
        state.SkipWithError(("self-check failed: " + problem).c_str());
}
BENCHMARK(BM_MillionRefreshThousand)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    return tressel::bench::RunWindowBenchmarks(argc, argv);
}
