// The context menu and its rename command on large selections: building the menu
// for 10,000 selected rows whose information is already read (the header test walks
// every row for every column), and renaming 500 executables that all carry the same
// description, where each clash test sees every name handed out before it.
// links: tressel_gui

#include "catalogue/document.h"
#include "listview/context_menu.h"
#include "listview/file_list_model.h"
#include "listview/list_context_menu.h"
#include "listview/view.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QMenu>
#include <QTableView>

#include "window_bench.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string MakeFolder(const std::string& name, int files, const std::string& content) {
    const fs::path folder = fs::temp_directory_path() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int i = 0; i < files; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "%08X.exe", 0x0A000000 + i);
        std::ofstream(folder / file, std::ios::binary) << content;
    }
    return folder.string() + "/";
}

std::string ExecutableWithVersion() {
    std::ifstream in(std::string(TRESSEL_BENCH_SOURCE_DIR) + "/tests/fixtures/exe/us_english.exe",
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void BM_ContextMenuOfManyRows(benchmark::State& state) {
    const std::string folder = MakeFolder("tressel-bench-menu", 10000, "not readable");
    tressel::CMarlockUtilDoc doc;
    tressel::CMarlockUtilView view(doc);
    doc.OpenFolderPath(folder);
    view.initialUpdate();
    view.selectAll();
    view.contextMenu().build(QPoint(1, 1), Qt::NoModifier); // reads every row once
    for (auto _ : state) {
        QMenu* menu = view.contextMenu().build(QPoint(1, 1), Qt::NoModifier);
        benchmark::DoNotOptimize(menu->actions().size());
    }
    state.counters["rows"] = view.model().rowCount();
    fs::remove_all(folder);
}
BENCHMARK(BM_ContextMenuOfManyRows)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_RenameClashingDescriptions(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    const std::string folder = MakeFolder("tressel-bench-rename", files, ExecutableWithVersion());
    tressel::CMarlockUtilDoc doc;
    tressel::CMarlockUtilView view(doc);
    doc.OpenFolderPath(folder);
    view.initialUpdate();
    QString status;
    tressel::bench::CatchReport(view, status);
    for (auto _ : state) {
        view.selectAll();
        view.renameToColumn(1);
        state.PauseTiming();
        view.undo();
        view.refreshChanges();
        state.ResumeTiming();
    }
    state.counters["files"] = files;
    state.SetLabel(status.toStdString());
    fs::remove_all(folder);
}
BENCHMARK(BM_RenameClashingDescriptions)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return tressel::bench::RunWindowBenchmarks(argc, argv);
}
