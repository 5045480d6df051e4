// Opening a folder of 100,000 files in the window's list: the time until the first
// screen of rows is drawn, and the name sort of all rows. No file is read to show the
// first rows beyond the ones on screen.
// links: tressel_gui
//
// TRESSEL_BENCH_FOLDER names a folder of many entries (scripts/bench makes one of
// 100,000); without it a folder of 100,000 empty files is made in the temporary folder.

#include "catalogue/document.h"
#include "listview/file_list_model.h"
#include "listview/view.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QTableView>

#include "window_bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const std::string& BigFolder() {
    static const std::string folder = [] {
        if (const char* given = std::getenv("TRESSEL_BENCH_FOLDER"))
            return std::string(given);
        const std::string made = std::filesystem::temp_directory_path() / "tressel-bench-100k";
        std::filesystem::create_directories(made);
        for (int i = 0; i < 100000; ++i) {
            char file[32];
            std::snprintf(file, sizeof file, "/%08X.bin", 0x0A000000 + i);
            const int fd = ::open((made + file).c_str(), O_WRONLY | O_CREAT, 0644);
            if (fd >= 0)
                ::close(fd);
        }
        return made;
    }();
    return folder;
}

void BM_OpenFolderToFirstScreen(benchmark::State& state) {
    tressel::CMarlockUtilDoc doc;
    tressel::CMarlockUtilView view(doc);
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        doc.OpenFolderPath(BigFolder());
        view.initialUpdate();
        view.detailsView()->viewport()->repaint();
        benchmark::DoNotOptimize(view.model().rowCount());
    }
    int read = 0;
    for (int row = 0; row < view.model().rowCount(); ++row)
        read += view.model().isRead(row) ? 1 : 0;
    state.counters["rows"] = view.model().rowCount();
    state.counters["rows_read"] = read;
}
BENCHMARK(BM_OpenFolderToFirstScreen)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_SortByName(benchmark::State& state) {
    tressel::CMarlockUtilDoc doc;
    tressel::CMarlockUtilView view(doc);
    doc.OpenFolderPath(BigFolder());
    view.initialUpdate();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<int> reversed = view.model().records();
        std::reverse(reversed.begin(), reversed.end());
        view.model().reorder(reversed);
        state.ResumeTiming();
        view.sortFixed(tressel::SortByName);
    }
    state.counters["rows"] = view.model().rowCount();
}
BENCHMARK(BM_SortByName)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv) {
    return tressel::bench::RunWindowBenchmarks(argc, argv);
}
