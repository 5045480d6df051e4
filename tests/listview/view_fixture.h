#pragma once

// A list view on its own over the scratch folder, read by the counting reader, with
// the status panes it reports to.

#include "gui_fixture.h"

#include "catalogue/document.h"
#include "listview/file_list_model.h"
#include "listview/view.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QStringList>
#include <QTableView>
#include <QTest>

#include <memory>

namespace tressel::test {

// A progress bar that counts its steps and presses Esc in the list once, at the given
// step (never when it is 0), as the user would during a long command.
struct EscAtStep : IProgress {
    void start(uint64_t n) override { total = n, done = 0; }
    void step() override {
        if (++done == escAt) {
            escAt = 0;
            QTest::keyClick(list, Qt::Key_Escape);
        }
    }
    uint64_t total = 0, done = 0, escAt = 0;
    QWidget* list = nullptr;
};

class ViewTest : public GuiTest {
protected:
    ViewTest() {
        doc.setReaderTable(&CountingReaderTable());
        view = std::make_unique<CMarlockUtilView>(doc);
        view->resize(900, 400);
        QObject::connect(view.get(), &CMarlockUtilView::statusText,
                         [this](int pane, const QString& text) { panes[pane] = text; });
    }

    void open(const std::string& path) {
        ASSERT_TRUE(doc.TryOpenFolderPath(path));
        view->initialUpdate();
    }

    QStringList names() {
        QStringList out;
        for (int row = 0; row < view->model().rowCount(); ++row)
            out << view->model().name(row);
        return out;
    }

    void expectConsistent() {
        std::string problem;
        EXPECT_TRUE(view->model().isConsistent(&problem)) << problem;
    }

    void select(const QStringList& wanted) {
        auto* selection = view->detailsView()->selectionModel();
        selection->clearSelection();
        for (int row = 0; row < view->model().rowCount(); ++row) {
            if (wanted.contains(view->model().name(row)))
                selection->select(view->model().index(row, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    void paint() {
        view->show();
        QApplication::processEvents();
        view->detailsView()->viewport()->repaint();
    }

    CMarlockUtilDoc doc;
    std::unique_ptr<CMarlockUtilView> view;
    QString panes[3];
};

} // namespace tressel::test
