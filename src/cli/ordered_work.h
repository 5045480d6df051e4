#pragma once

// Work on many items by several threads, with the results handed on in the items'
// order as soon as each and all before it are done: `tressel info` reads files on all
// cores and still prints in name order, starting with the first file rather than after
// the last.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tressel::cli {

// At most this many items per thread are prepared or waiting to be handed on, so a
// folder of a million entries needs no more memory than a small one.
inline constexpr size_t kItemsAheadPerThread = 16;

// For each i from 0 to count - 1: prepare(i) on the calling thread (it may use what is
// not thread-safe), work(input) on one of `threads` threads, then deliver(output) on the
// calling thread in the order of i. An exception thrown by work is thrown again from
// here, in its item's turn; the other threads stop after their current item.
template <class Prepare, class Work, class Deliver>
void RunInOrder(size_t count, unsigned threads, Prepare prepare, Work work, Deliver deliver) {
    using Input = decltype(prepare(size_t{}));
    using Output = decltype(work(std::declval<Input&>()));
    if (threads <= 1 || count <= 1) {
        for (size_t i = 0; i < count; ++i) {
            Input input = prepare(i);
            Output output = work(input);
            deliver(output);
        }
        return;
    }

    struct Place {
        std::optional<Input> input;
        std::optional<Output> output;
        std::exception_ptr error;
    };
    const size_t window = std::max<size_t>(threads * kItemsAheadPerThread, 2);
    std::vector<Place> places(window);
    std::mutex mutex;
    std::condition_variable workReady;
    std::condition_variable resultReady;
    size_t prepared = 0; // items handed to the threads
    size_t taken = 0;    // items a thread has started
    bool stopping = false;
    constexpr size_t kNothing = static_cast<size_t>(-1);
    size_t awaited = kNothing; // the item the calling thread waits for

    // Works on the oldest item no thread has started: called and returning with the
    // lock held, which it lets go of while it works. Returns the item's number.
    auto workOnNext = [&](std::unique_lock<std::mutex>& lock) {
        const size_t i = taken++;
        Place& place = places[i % window];
        std::optional<Input> input = std::move(place.input);
        place.input.reset();
        lock.unlock();
        std::optional<Output> output;
        std::exception_ptr error;
        try {
            output.emplace(work(*input));
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        place.output = std::move(output);
        place.error = error;
        return i;
    };
    auto worker = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            workReady.wait(lock, [&] { return stopping || taken < prepared; });
            if (stopping)
                return;
            // Waking the calling thread for any other item would only cost a switch.
            if (workOnNext(lock) == awaited)
                resultReady.notify_one();
        }
    };

    std::vector<std::thread> pool;
    // Whichever way this returns, the threads finish their item and end first.
    struct Joiner {
        std::mutex& mutex;
        bool& stopping;
        std::condition_variable& workReady;
        std::vector<std::thread>& pool;
        ~Joiner() {
            {
                std::lock_guard lock(mutex);
                stopping = true;
            }
            workReady.notify_all();
            for (std::thread& thread : pool)
                thread.join();
        }
    } joiner{mutex, stopping, workReady, pool};
    // The calling thread is one of the threads: it works while its next result is not
    // ready instead of waiting for it.
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(worker);

    for (size_t next = 0; next < count; ++next) {
        // Keep the window full: the places from next on are free once next is handed on.
        for (size_t limit = std::min(count, next + window); prepared < limit;) {
            Input input = prepare(prepared);
            {
                std::lock_guard lock(mutex);
                places[prepared % window].input = std::move(input);
                ++prepared;
            }
            workReady.notify_one();
        }
        std::optional<Output> output;
        std::exception_ptr error;
        {
            std::unique_lock lock(mutex);
            Place& slot = places[next % window];
            const auto ready = [&] { return slot.output || slot.error; };
            while (!ready()) {
                if (taken < prepared) {
                    workOnNext(lock);
                    continue;
                }
                awaited = next;
                resultReady.wait(lock, ready);
                awaited = kNothing;
            }
            output = std::move(slot.output);
            error = slot.error;
            slot.output.reset();
            slot.error = nullptr;
        }
        if (error)
            std::rethrow_exception(error);
        deliver(*output);
    }
}

} // namespace tressel::cli
