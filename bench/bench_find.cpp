// Select All of the Find dialog on 20,000 entries, one in sixty an executable whose
// FileDescription is "Orbit Tracker": once over unread rows (the search reads every
// file it passes), once over rows read before, and once for a text no cell holds (every
// cell of every row lowered and searched). Each search runs the Esc check after every
// row, as the window does.
// links: tressel_gui

#include "catalogue/document.h"
#include "listview/file_list_model.h"
#include "listview/find_dialog.h"
#include "listview/view.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "window_bench.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "numbered_folder.h"

namespace {

namespace fs = std::filesystem;

std::string MakeFolder() {
    return tressel::bench::MakeNumberedFolder("tressel-bench-find");
}

// Answers the dialog the next find() opens: text, then "&Select All".
void AnswerSelectAll(const QString& text) {
    QTimer::singleShot(0, [text] {
        auto* dialog = qobject_cast<tressel::CFindDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QComboBox*>("findWhat")->setEditText(text);
        dialog->findChild<QPushButton*>("selectAllButton")->click();
    });
}

void RunSelectAll(benchmark::State& state, const QString& text, bool readFirst) {
    const std::string folder = MakeFolder();
    tressel::CMarlockUtilDoc doc;
    tressel::CMarlockUtilView view(doc);
    doc.OpenFolderPath(folder);
    view.initialUpdate();
    QString status;
    tressel::bench::CatchReport(view, status);
    for (auto _ : state) {
        state.PauseTiming();
        view.repopulate();
        if (readFirst) {
            for (int row = 0; row < view.model().rowCount(); ++row)
                view.model().cellText(row, 1);
        }
        AnswerSelectAll(text);
        state.ResumeTiming();
        view.find();
    }
    state.counters["rows"] = view.model().rowCount();
    state.counters["matches"] =
        static_cast<double>(view.detailsView()->selectionModel()->selectedRows().size());
    state.SetLabel(status.toStdString());
    fs::remove_all(folder);
}

void BM_SelectAllReadingEveryRow(benchmark::State& state) {
    RunSelectAll(state, "orbit tracker", false);
}
BENCHMARK(BM_SelectAllReadingEveryRow)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SelectAllOverReadRows(benchmark::State& state) {
    RunSelectAll(state, "ORBIT TRACKER", true);
}
BENCHMARK(BM_SelectAllOverReadRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SelectAllMatchingNothing(benchmark::State& state) {
    RunSelectAll(state, "no cell holds this", true);
}
BENCHMARK(BM_SelectAllMatchingNothing)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    return tressel::bench::RunWindowBenchmarks(argc, argv);
}
