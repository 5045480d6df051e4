#include "listview/sort_order.h"
#include "operations/feedback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

namespace tressel {
namespace {

struct FakeRow {
    std::string name;
    bool folder = false;
    std::string type;
    uint64_t size = 0;
    uint64_t time = 0;
    std::map<int, std::string> cells;
};

FakeRow Row(std::string name, bool folder = false, std::string type = "", uint64_t size = 0,
            uint64_t time = 0, std::map<int, std::string> cells = {}) {
    return {std::move(name), folder, std::move(type), size, time, std::move(cells)};
}

// Rows in memory; counts how many rows had their information read.
class FakeRows : public ISortRows {
public:
    explicit FakeRows(std::vector<FakeRow> rows) : m_rows(std::move(rows)) {}
    bool isFolder(int row) override { return m_rows[row].folder; }
    std::string typeName(int row) override { return m_rows[row].type; }
    uint64_t size(int row) override { return m_rows[row].size; }
    uint64_t lastWriteTime(int row) override { return m_rows[row].time; }
    std::string cellText(int row, int column) override {
        if (column == 0)
            return m_rows[row].name;
        read.insert(row);
        auto it = m_rows[row].cells.find(column);
        return it == m_rows[row].cells.end() ? std::string() : it->second;
    }
    std::vector<int> all() const {
        std::vector<int> rows(m_rows.size());
        std::iota(rows.begin(), rows.end(), 0);
        return rows;
    }
    std::vector<std::string> names(const std::vector<int>& order) const {
        std::vector<std::string> out;
        for (int row : order)
            out.push_back(m_rows[row].name);
        return out;
    }
    std::set<int> read;

private:
    std::vector<FakeRow> m_rows;
};

// Reports Esc after a given number of checks.
struct EscAfter : ICancelCheck {
    explicit EscAfter(int checks) : left(checks) {}
    bool cancelRequested() override { return --left < 0; }
    int left;
};

using Names = std::vector<std::string>;

TEST(FixedSorts, SizePutsFoldersFirstByNameThenFilesFromTheSmallest) {
    FakeRows rows({Row("b.bin", false, "", 30), Row("Zeta", true, "", 0),
                   Row("a.bin", false, "", 10), Row("alpha", true, "", 99),
                   Row("c.bin", false, "", 10)});
    CListSorter sorter(10);
    auto order = rows.all();
    sorter.sortFixed(SortBySize, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"alpha", "Zeta", "a.bin", "c.bin", "b.bin"}));
    EXPECT_EQ(sorter.sortMode(), SortBySize);
}

TEST(FixedSorts, DateIsNewestFirstWithEqualTimesInNameOrder) {
    FakeRows rows({Row("old", false, "", 0, 100), Row("B-new", false, "", 0, 900),
                   Row("a-new", false, "", 0, 900), Row("dir-old", true, "", 0, 1),
                   Row("dir-new", true, "", 0, 5)});
    CListSorter sorter(10);
    auto order = rows.all();
    sorter.sortFixed(SortByDate, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"dir-new", "dir-old", "a-new", "B-new", "old"}));
}

TEST(FixedSorts, TypeAndExtensionCompareWithoutCaseThenByName) {
    FakeRows rows({Row("z.TXT", false, "plain text"), Row("y.zip", false, "ZIP archive"),
                   Row("x.txt", false, "Plain Text"), Row("w", false, "unknown")});
    CListSorter sorter(10);
    auto order = rows.all();
    sorter.sortFixed(SortByType, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"x.txt", "z.TXT", "w", "y.zip"}));
    sorter.sortFixed(SortByExtension, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"w", "x.txt", "z.TXT", "y.zip"}));
    EXPECT_TRUE(rows.read.empty()); // fixed sorts never read file contents
}

TEST(FixedSorts, NameIsAlwaysAscendingAndAnOutOfRangeModeSortsByName) {
    FakeRows rows({Row("b"), Row("C"), Row("a")});
    CListSorter sorter(10);
    auto order = rows.all();
    sorter.sortFixed(SortByName, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"a", "b", "C"}));
    sorter.sortFixed(SortByName, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"a", "b", "C"}));
    sorter.setSortMode(7);
    EXPECT_EQ(sorter.sortMode(), SortByName);
    sorter.setSortMode(-1);
    EXPECT_EQ(sorter.sortMode(), SortByName);
    order = {1, 0, 2};
    sorter.sortFixed(5, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"a", "b", "C"}));
}

TEST(ColumnSort, SecondClickReversesAndTheMarkerMovesWithTheClicks) {
    FakeRows rows({Row("1", false, "", 0, 0, {{1, "beta"}}),
                   Row("2", false, "", 0, 0, {{1, "Alpha"}}),
                   Row("3", false, "", 0, 0, {{1, "gamma"}})});
    CListSorter sorter(10);
    auto order = rows.all();
    auto changes = sorter.sortByColumn(1, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"2", "1", "3"}));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].column, 1);
    EXPECT_TRUE(changes[0].marked);
    EXPECT_EQ(sorter.sortMode(), SortByColumnKeys);

    changes = sorter.sortByColumn(1, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"3", "1", "2"}));
    EXPECT_TRUE(changes.empty()); // the marker stays where it is
    EXPECT_EQ(sorter.direction(), -1);

    changes = sorter.sortByColumn(0, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"1", "2", "3"}));
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_FALSE(changes[0].marked);
    EXPECT_EQ(changes[0].column, 1);
    EXPECT_TRUE(changes[1].marked);
    EXPECT_EQ(changes[1].column, 0);
    EXPECT_EQ(sorter.sortMode(), SortByName);
}

TEST(ColumnSort, EarlierClickedColumnsBreakTiesInTheSameDirection) {
    FakeRows rows({Row("a", false, "", 0, 0, {{1, "Tool"}, {2, "Zeta"}}),
                   Row("b", false, "", 0, 0, {{1, "Setup"}, {2, "Omega"}}),
                   Row("c", false, "", 0, 0, {{1, "Tool"}, {2, "Alpha"}}),
                   Row("d", true, "", 0, 0, {})});
    CListSorter sorter(10);
    auto order = rows.all();
    sorter.sortByColumn(2, order, rows, nullptr);
    sorter.sortByColumn(1, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"d", "b", "c", "a"}));
    EXPECT_EQ(sorter.keys(), (std::deque<int>{1, 2}));
    sorter.sortByColumn(1, order, rows, nullptr);
    EXPECT_EQ(rows.names(order), (Names{"d", "a", "c", "b"})); // folder still first
}

TEST(ColumnSort, KeysNeverOutnumberTheColumns) {
    FakeRows rows({Row("a"), Row("b")});
    CListSorter sorter(3);
    auto order = rows.all();
    for (int c : {0, 1, 2, 1, 0, 2})
        sorter.sortByColumn(c, order, rows, nullptr);
    EXPECT_EQ(sorter.keys(), (std::deque<int>{2, 0, 1}));
}

TEST(ColumnSort, EscStopsTheSortKeepsEveryRowAndLeavesNoMarker) {
    std::vector<FakeRow> many;
    for (int i = 0; i < 2000; ++i)
        many.push_back(Row(std::to_string(i), false, "", 0, 0, {{9, std::to_string(2000 - i)}}));
    FakeRows rows(std::move(many));
    CListSorter sorter(10);
    auto order = rows.all();
    sorter.sortByColumn(1, order, rows, nullptr); // a marked column before the stop
    rows.read.clear();
    EscAfter esc(500);
    const auto changes = sorter.sortByColumn(9, order, rows, &esc);
    auto sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, rows.all()); // a permutation: nothing lost or doubled
    EXPECT_LT(rows.read.size(), 2000u); // stopped before every row was read
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].column, 1);
    EXPECT_FALSE(changes[0].marked);
    EXPECT_EQ(sorter.lastClickedColumn(), -1);
    EXPECT_EQ(sorter.sortMode(), SortByColumnKeys);
}

TEST(ColumnSort, FixedSortOtherThanNameRemovesTheMarker) {
    FakeRows rows({Row("a", false, "t"), Row("b", false, "t")});
    CListSorter sorter(10);
    auto order = rows.all();
    sorter.sortByColumn(3, order, rows, nullptr);
    const auto changes = sorter.sortFixed(SortByType, order, rows, nullptr);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].column, 3);
    EXPECT_FALSE(changes[0].marked);
    EXPECT_EQ(sorter.lastClickedColumn(), -1);
    EXPECT_EQ(sorter.sortMode(), SortByType);
}

TEST(StableSortStoppable, IsStableAndSortsEveryLength) {
    for (int n : {0, 1, 2, 3, 7, 64, 1000}) {
        std::vector<int> rows(n);
        std::iota(rows.begin(), rows.end(), 0);
        std::reverse(rows.begin(), rows.end());
        StableSortStoppable(
            rows, [](int a, int b) { return a / 4 < b / 4; }, [] { return false; });
        for (int i = 1; i < n; ++i) {
            ASSERT_LE(rows[i - 1] / 4, rows[i] / 4);
            if (rows[i - 1] / 4 == rows[i] / 4) {
                ASSERT_GT(rows[i - 1], rows[i]); // equal keys keep their input order
            }
        }
    }
}

} // namespace
} // namespace tressel
