// The search threads: the main thread, which reads the commands, and helpers that wait for a
// search, run it on the same root with the shared transposition table, and wait again.
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "think/think.h"

namespace {

// Workers[0] is the main thread's; Workers[i] belongs to Helpers[i - 1].
std::vector<std::unique_ptr<Worker>> Workers;
std::vector<std::thread> Helpers;

// The pool's hand-over between searches: a search is started by bumping SearchNumber, and
// every helper that took it part counts itself off in Searching when it leaves.
std::mutex PoolMutex;
std::condition_variable SearchStarts, SearchEnds;
uint64_t SearchNumber = 0;
int Searching = 0;
bool Leaving = false;

// A helper's life: wait for a search it has not yet seen, take part, count itself off.
void HelperLoop(Worker& w, uint64_t seen) {
    while (true) {
        {
            std::unique_lock lock(PoolMutex);
            SearchStarts.wait(lock, [&] { return Leaving || SearchNumber != seen; });
            if (Leaving) return;
            seen = SearchNumber;
        }
        SearchAsHelper(w);
        std::lock_guard lock(PoolMutex);
        if (--Searching == 0) SearchEnds.notify_all();
    }
}

void JoinHelpers() {
    {
        std::lock_guard lock(PoolMutex);
        Leaving = true;
    }
    SearchStarts.notify_all();
    for (std::thread& helper : Helpers) helper.join();
    Helpers.clear();
    Leaving = false;
}

std::unique_ptr<Worker> NewWorker(int index) {
    auto w = std::make_unique<Worker>();
    w->index = index;
    AllocatePawnTable(w->pawns);
    ClearOrdering(w->order);
    return w;
}

}  // namespace

void SetThreadCount(int count) {
    count = std::clamp(count, 1, MaxThreads);
    JoinHelpers();
    if (Workers.empty()) Workers.push_back(NewWorker(0));
    Workers.resize(size_t(std::min(int(Workers.size()), count)));
    while (int(Workers.size()) < count) Workers.push_back(NewWorker(int(Workers.size())));
    for (int i = 1; i < count; ++i)
        Helpers.emplace_back(HelperLoop, std::ref(*Workers[i]), SearchNumber);
}

Worker& MainWorker() { return *Workers[0]; }

int64_t SearchNodes() {
    int64_t total = 0;
    for (const auto& w : Workers) total += w->nodes.load(std::memory_order_relaxed);
    return total;
}

void AllocateSearchTables() {
    AllocateHash();
    for (const auto& w : Workers) AllocatePawnTable(w->pawns);
}

void ClearSearchTables() {
    ClearHash();
    for (const auto& w : Workers) ClearPawnTable(w->pawns);
}

void ReleaseThreads() {
    JoinHelpers();
    Workers.clear();
}

void StartHelpers() {
    if (Helpers.empty()) return;
    {
        std::lock_guard lock(PoolMutex);
        // Each helper shuffles its root with a sequence of its own, drawn from the engine's.
        for (size_t i = 1; i < Workers.size(); ++i) Workers[i]->random = Random32();
        Searching = int(Helpers.size());
        ++SearchNumber;
    }
    SearchStarts.notify_all();
}

void WaitForHelpers() {
    std::unique_lock lock(PoolMutex);
    SearchEnds.wait(lock, [] { return Searching == 0; });
}
