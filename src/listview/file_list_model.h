#pragma once

// The rows of the file list: one per shown record of the document. The rows are also
// the cache of information values and their labels: a row's nine information cells are read
// together the first time any of them is asked for, and kept until something resets them.
// With background reading on, a cell the view asks for shows empty until worker threads
// have read its row (rows on screen first); dataChanged then repaints it. The commands'
// own requests (cellText and the like) still read an unread row on the spot.
//
// Sized for folders of millions of entries: a row is a few bytes (its record and flags);
// its name is the record's own, and cells, labels and renamed names are kept aside only
// for the rows that have them.

#include "catalogue/document.h"
#include "readers/columns.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tressel {

class CMarlockUtilDoc;
class CRowReader;
class ICancelCheck;
class IProgress;

class CFileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kInformationColumns = tressel::kInformationColumns;

    explicit CFileListModel(CMarlockUtilDoc& doc, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows dragged out to other programs travel as file URLs, to be copied or linked.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // Every row rebuilt from the document, in name order.
    void repopulate(bool numberedOnly);
    // Rows for the records from firstRecord on (count of them, or all with -1),
    // skipping vacated records and, with numberedOnly, files without a numbered name.
    void insertRecords(int firstRecord, int count, bool numberedOnly);
    // Removes the row of a record; false when no row shows it.
    bool removeRecord(int record);
    // Removes the rows of many records in one walk; answers how many rows went.
    int removeRecords(const std::vector<int>& records);
    // Removes the rows for which drop answers true, walking from the first row.
    void removeRowsWhere(const std::function<bool(int row)>& drop);
    // The records in row order, and the rows put into another order of those records.
    std::vector<int> records() const;
    void reorder(const std::vector<int>& recordOrder);
    // Sort marker " *" after a column's header text.
    void setHeaderMarked(int column, bool marked);

    int recordOfRow(int row) const;
    // The row showing a record, or -1; looked up in an index kept by record number.
    int rowOfRecord(int record) const;
    bool isFolder(int row) const;
    QString name(int row) const;
    std::string nameBytes(int row) const;
    // A cell's text; an unread information cell reads the row first.
    QString cellText(int row, int column);
    // The reader's name for an information cell's value ("Artist", "Readme title"), or
    // "" when the cell is empty or its reader gave none; reads an unread row.
    QString cellLabel(int row, int column);
    // The first non-empty information cell (reading the row if needed), or "".
    QString firstInformation(int row);
    bool isRead(int row) const;
    // Sets the information cells and the icon back to unread, so the next request
    // reads the file again.
    void forgetInformation(int row);
    void setName(int row, const std::string& name);
    // Sets an information cell's text (column 1 to 9); the file is not touched and the
    // row's other cells are read first, so a later read does not undo it.
    void setInformation(int row, int column, const QString& text);
    Qt::CheckState checkState(int row) const;
    // Check boxes beside the names; hidden ones keep their state.
    void setCheckBoxesShown(bool shown);
    bool checkBoxesShown() const { return m_checkBoxes; }
    // Called before the document lists its folder again: rows name their records by
    // number, so the next rebuild finds the check marks by the names kept here.
    void keepCheckMarks();

    // From now on rows are read by this many worker threads (see above).
    void startBackgroundReading(int threads);
    // The worker threads of background reading; null until it starts.
    CRowReader* backgroundReader() const { return m_reader; }
    bool readsInBackground() const { return m_reader != nullptr; }
    // Reads the unread rows of these records (on the worker threads when they run),
    // asking check between results and stepping progress per row read; false when check
    // said stop before all were read.
    bool readRecords(const std::vector<int>& records, ICancelCheck* check,
                     IProgress* progress = nullptr);
    // Whether the record's row is a file not read yet.
    bool isWaitingForRead(int record) const;
    // Queues every unread row for the worker threads, behind the rows on screen.
    void readAllInBackground();

    // Rows and records agree: every row shows a distinct, live record under its name.
    bool isConsistent(std::string* problem = nullptr) const;

    // Failures inside reading are handed here instead of escaping into the view.
    void setErrorHandler(std::function<void(const QString&)> handler) {
        m_onError = std::move(handler);
    }

signals:
    void populateStarted(int records);
    void populateFinished(int rows);
    void rowRead(int row);

private:
    struct Row {
        int record = -1;
        bool folder = false;
        bool hidden = false;
        bool read = false;
        uint8_t checked = Qt::Unchecked;
        uint16_t icon = 0; // 1 + position in m_iconNames; 0 until first asked
    };
    // What a read row shows in its information cells.
    struct RowCells {
        std::array<QString, kInformationColumns> information;
        std::array<QString, kInformationColumns> labels;
    };

    Row makeRow(int record);
    bool accepts(const Row& row, bool numberedOnly) const;
    const std::string& nameOf(const Row& row) const;
    const RowCells* cellsOf(const Row& row) const;
    void readRow(Row& row) const;
    void storeInformation(Row& row, const InformationResult& result) const;
    void requestRead(int row, bool urgent) const;
    void takeReadResults();
    QIcon iconOf(const Row& row) const;
    void rebuildIndex() const;
    void eraseRows(int first, int last);
    void rearrange(const std::vector<int>& newRowOfOld, QAbstractItemModel::LayoutChangeHint hint);
    void renumberFrom(int row);
    std::unordered_set<std::string> checkedNames() const;
    void forgetRecord(int record);

    CMarlockUtilDoc& m_doc;
    mutable std::vector<Row> m_rows;
    // By record number: the cells of read rows that have any, and the names rows were
    // given (setName) that differ from their records'.
    mutable std::unordered_map<int, RowCells> m_cells;
    std::unordered_map<int, std::string> m_renamed;
    // Icon names in the order rows first asked for them.
    mutable std::vector<QString> m_iconNames;
    mutable QHash<QString, uint16_t> m_iconNumbers;
    // Row of each record number (-1 for none): kept up to date as rows come and go,
    // rebuilt after a repopulation or a new order.
    mutable std::vector<int> m_rowOfRecord;
    mutable bool m_indexValid = false;
    mutable QHash<QString, QIcon> m_icons;
    std::function<void(const QString&)> m_onError;
    std::vector<bool> m_marked;
    bool m_checkBoxes = true;
    // The folder the rows were last built from: a rebuild of the same folder keeps the
    // check marks of the names still there.
    std::string m_populatedFolder;
    std::optional<std::unordered_set<std::string>> m_keptChecks;
    CRowReader* m_reader = nullptr;
    // The read each record waits for: a result counts only while its ticket is here
    // (a repopulation, a forgotten row or a read on the spot drops it).
    mutable std::unordered_map<int, uint64_t> m_pendingReads;
    mutable uint64_t m_lastTicket = 0;
};

// Whole decimal number with ',' before every third digit from the right.
QString GroupThousands(unsigned long long value);

} // namespace tressel
