// runInOrder: many independent items worked on by every core, their results
// consumed on the calling thread in item order, with only a few batches of
// results held at any time.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Calls work(i) for every i in [0, count) on `threads` threads (the calling
// thread is one of them) and consume(i, result, workAhead) on the calling
// thread, in order of i. Items are handed out in batches: the threads meet
// once per batch under one lock and sleep only when there is nothing else to
// do, so a result costs no system call. At most four batches per thread are
// done and not yet consumed, which keeps memory flat in `count`.
// workAhead(), called from consume, returns once the items after i are done
// as far as results may be held (the calling thread lends a hand), for a
// step that is cheaper for many items at once.
template <typename Result, typename Work, typename Consume>
void runInOrder(std::size_t count, unsigned threads, Work work, Consume consume) {
    if (count == 0) return;
    threads = std::max(1u, threads);
    const std::size_t batchSize = std::clamp<std::size_t>(count / (std::size_t{threads} * 16u), 1, 64);
    const std::size_t batches = (count + batchSize - 1) / batchSize;
    const std::size_t ring = std::size_t{4} * threads;

    struct Slot {
        std::vector<Result> results;
        bool ready = false;
    };
    std::vector<Slot> slots(ring);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t claimed = 0, consumed = 0, running = 0, workersWaiting = 0;
    bool callerWaiting = false;

    // Claims the next batch, works through it outside the lock, files it.
    auto runBatch = [&](std::unique_lock<std::mutex>& lock) {
        const std::size_t b = claimed++;
        ++running;
        lock.unlock();
        const std::size_t first = b * batchSize, last = std::min(count, first + batchSize);
        std::vector<Result> results;
        results.reserve(last - first);
        for (std::size_t i = first; i < last; ++i) results.push_back(work(i));
        lock.lock();
        slots[b % ring] = {std::move(results), true};
        --running;
        if (callerWaiting) changed.notify_all();
    };
    const auto canClaim = [&] { return claimed < batches && claimed - consumed < ring; };
    auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        while (claimed < batches) {  // NOLINT(bugprone-infinite-loop): runBatch advances claimed
            if (canClaim()) {
                runBatch(lock);
            } else {
                ++workersWaiting;  // every slot holds results the caller has yet to consume
                changed.wait(lock);
                --workersWaiting;
            }
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t t = 1; t < std::min<std::size_t>(threads, batches); ++t) workers.emplace_back(worker);

    std::unique_lock<std::mutex> lock(mutex);
    // Called with the lock held: works while there is work, else sleeps.
    const auto waitFor = [&](auto done) {
        while (!done()) {
            if (canClaim()) {
                runBatch(lock);
            } else {
                callerWaiting = true;
                changed.wait(lock);
                callerWaiting = false;
            }
        }
    };
    const auto workAhead = [&] {
        lock.lock();
        waitFor([&] { return !canClaim() && running == 0; });
        lock.unlock();
    };
    for (std::size_t b = 0; b < batches; ++b) {
        Slot& slot = slots[b % ring];
        waitFor([&] { return slot.ready; });
        std::vector<Result> results = std::move(slot.results);
        slot.ready = false;
        consumed = b + 1;
        if (workersWaiting > 0) changed.notify_all();
        lock.unlock();
        for (std::size_t k = 0; k < results.size(); ++k) consume(b * batchSize + k, results[k], workAhead);
        lock.lock();
    }
    lock.unlock();
    for (std::thread& t : workers) t.join();
}
