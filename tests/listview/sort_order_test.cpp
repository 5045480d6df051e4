#include "listview/sort_order.h"
#include "operations/feedback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
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
    EXPECT_EQ(sorted, rows.all());      // a permutation: nothing lost or doubled
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

// Inputs reversed, already sorted, in sorted runs and shuffled: the result is
// std::stable_sort's, equal keys in their input order.
TEST(StableSortStoppable, IsStableAndSortsEveryLengthAndInputOrder) {
    std::mt19937 random(7);
    auto key = [](int a) { return (a * 7919) % 1013 / 4; };
    auto less = [&](int a, int b) { return key(a) < key(b); };
    for (int n : {0, 1, 2, 3, 7, 64, 1000, 4099}) {
        std::vector<int> ascending(n);
        std::iota(ascending.begin(), ascending.end(), 0);
        std::stable_sort(ascending.begin(), ascending.end(), less);
        std::vector<int> reversed(ascending.rbegin(), ascending.rend());
        std::vector<int> runs = ascending;
        for (size_t at = 0; at + 100 <= runs.size(); at += 100)
            std::rotate(runs.begin() + at, runs.begin() + at + 50, runs.begin() + at + 100);
        std::vector<int> shuffled = ascending;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        for (const std::vector<int>& input : {ascending, reversed, runs, shuffled}) {
            std::vector<int> expected = input;
            std::stable_sort(expected.begin(), expected.end(), less);
            std::vector<int> rows = input;
            StableSortStoppable(rows, less, [] { return false; });
            ASSERT_EQ(rows, expected) << n << " rows";
        }
    }
}

} // namespace
} // namespace tressel
