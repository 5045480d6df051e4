#pragma once

// What the window benchmarks share: the view's report line caught as it changes, and a
// main that runs them under a QApplication, apart from the user's settings.

#include "bench_support.h"
#include "listview/view.h"

#include <QApplication>
#include <QString>

namespace tressel::bench {

// status follows what the view reports in its report pane.
inline void CatchReport(CMarlockUtilView& view, QString& status) {
    QObject::connect(&view, &CMarlockUtilView::statusText,
                     [&status](int pane, const QString& line) {
                         if (pane == PaneReport)
                             status = line;
                     });
}

inline int RunWindowBenchmarks(int argc, char** argv) {
    IsolateFromTheUser();
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}

} // namespace tressel::bench
