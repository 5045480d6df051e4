#include "cli/ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <vector>

namespace tressel::cli {
namespace {

// Items finish out of order (later ones sooner) and still come out in order, while
// no more than the window of items is ever prepared ahead of what was handed on.
TEST(RunInOrder, HandsResultsOnInOrderWithABoundedLead) {
    for (const unsigned threads : {1u, 2u, 7u}) {
        const size_t count = 500;
        std::vector<size_t> delivered;
        size_t mostAhead = 0;
        RunInOrder(
            count, threads,
            [&](size_t i) {
                mostAhead = std::max(mostAhead, i - delivered.size());
                return i;
            },
            [](size_t& i) {
                std::this_thread::sleep_for(std::chrono::microseconds((i * 37) % 200));
                return i * 2;
            },
            [&](size_t& doubled) { delivered.push_back(doubled / 2); });
        ASSERT_EQ(delivered.size(), count) << threads;
        for (size_t i = 0; i < count; ++i)
            ASSERT_EQ(delivered[i], i) << threads;
        EXPECT_LT(mostAhead, std::max<size_t>(threads * kItemsAheadPerThread, 2)) << threads;
    }
}

TEST(RunInOrder, AFailingItemFailsInItsTurnAfterTheItemsBeforeIt) {
    for (const unsigned threads : {1u, 4u}) {
        std::vector<int> delivered;
        std::atomic<int> worked{0};
        const auto run = [&] {
            RunInOrder(
                1000, threads, [](size_t i) { return static_cast<int>(i); },
                [&](int& i) {
                    ++worked;
                    if (i == 37)
                        throw std::runtime_error("unreadable");
                    return i;
                },
                [&](int& i) { delivered.push_back(i); });
        };
        EXPECT_THROW(run(), std::runtime_error);
        EXPECT_EQ(delivered.size(), 37u) << threads;
        EXPECT_LT(worked.load(), 200) << "the threads stop soon after";
    }
}

} // namespace
} // namespace tressel::cli
