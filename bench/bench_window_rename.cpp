// The window's rename of a large selection beside the command-line tool on a copy of
// the same folder: 20,000 entries, one in sixty an executable whose FileDescription
// is the same, all selected with Scan All on, renamed by FileDescription (1). Also
// Ctrl+A then the context menu on the same 20,000 rows (read once before). The window
// is timed from the rename command, which reads the rows as the tool does; the tool is
// timed as a whole run, start-up and listing included. The last line gives the ratio.
// links: tressel_gui

#include "catalogue/document.h"
#include "listview/file_list_model.h"
#include "listview/list_context_menu.h"
#include "listview/view.h"

#include <QApplication>
#include <QMenu>
#include <QTableView>

#include "window_bench.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "numbered_folder.h"

namespace {

namespace fs = std::filesystem;

std::string MakeFolder(const std::string& name) {
    return tressel::bench::MakeNumberedFolder(name);
}

double g_windowSeconds = 0;
double g_cliSeconds = 0;

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void BM_WindowRenameOfAllRows(benchmark::State& state) {
    const std::string folder = MakeFolder("tressel-bench-window-rename");
    tressel::CMarlockUtilDoc doc;
    doc.setScanAll(true);
    tressel::CMarlockUtilView view(doc);
    doc.OpenFolderPath(folder);
    view.initialUpdate();
    QString status;
    tressel::bench::CatchReport(view, status);
    for (auto _ : state) {
        view.selectAll();
        const auto start = std::chrono::steady_clock::now();
        view.renameToColumn(1);
        g_windowSeconds = Seconds(std::chrono::steady_clock::now() - start);
        state.PauseTiming();
        view.undo();
        view.refreshChanges();
        view.repopulate(); // the rows are read again by the next command
        state.ResumeTiming();
    }
    doc.setScanAll(false);
    state.counters["rows"] = view.model().rowCount();
    state.SetLabel(status.toStdString());
    fs::remove_all(folder);
}
BENCHMARK(BM_WindowRenameOfAllRows)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_MenuAfterSelectAll(benchmark::State& state) {
    const std::string folder = MakeFolder("tressel-bench-window-menu");
    tressel::CMarlockUtilDoc doc;
    tressel::CMarlockUtilView view(doc);
    doc.OpenFolderPath(folder);
    view.initialUpdate();
    for (int row = 0; row < view.model().rowCount(); ++row)
        view.model().cellText(row, 1);
    for (auto _ : state) {
        state.PauseTiming();
        view.detailsView()->clearSelection();
        state.ResumeTiming();
        view.selectAll();
        QMenu* menu = view.contextMenu().build(QPoint(1, 1), Qt::NoModifier);
        benchmark::DoNotOptimize(menu->actions().size());
    }
    state.counters["rows"] = view.model().rowCount();
    fs::remove_all(folder);
}
BENCHMARK(BM_MenuAfterSelectAll)->Unit(benchmark::kMillisecond);

void BM_CliRenameOfTheSameFolder(benchmark::State& state) {
    const std::string folder = MakeFolder("tressel-bench-cli-rename");
    const std::string tool = std::string(TRESSEL_BENCH_BINARY_DIR) + "/src/tressel";
    const std::string command =
        tool + " rename --column 1 --scan-all " + folder + " >/dev/null 2>&1";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        g_cliSeconds = Seconds(std::chrono::steady_clock::now() - start);
        state.PauseTiming();
        if (status != 0)
            state.SkipWithError("tressel rename failed");
        fs::remove_all(folder);
        MakeFolder("tressel-bench-cli-rename");
        state.ResumeTiming();
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_CliRenameOfTheSameFolder)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    const int result = tressel::bench::RunWindowBenchmarks(argc, argv);
    if (g_windowSeconds > 0 && g_cliSeconds > 0)
        std::printf("window rename %.3f s, tressel rename %.3f s: ratio %.2f\n", g_windowSeconds,
                    g_cliSeconds, g_windowSeconds / g_cliSeconds);
    return result;
}
