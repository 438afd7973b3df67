// The search threads: a main thread that runs each search from GO to its answer, and helpers
// that search the same root beside it through the shared transposition table. All of them
// wait between searches, so that the command loop is free to read the controller's commands
// while they search.
#include <algorithm>
#include <cstring>

#include "movemake/hash.h"
#include "think/think.h"

namespace {

// The main thread's life: wait for a search it has not yet seen, run it to its answer, and
// tell the command loop.
void MainLoop(Search& s, uint64_t seen) {
    while (true) {
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait(lock, [&] { return s.leaving || s.mainRuns != seen; });
            if (s.leaving) return;
            seen = s.mainRuns;
        }
        SearchAsMain(*s.workers[0]);
        {
            std::lock_guard lock(s.mutex);
            s.running = false;
        }
        s.finished.notify_all();
        if (s.answered) s.answered();
    }
}

// A helper's life: wait for a search it has not yet seen, take part, count itself off.
void HelperLoop(Search& s, Worker& w, uint64_t seen) {
    while (true) {
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait(lock, [&] { return s.leaving || s.helperRuns != seen; });
            if (s.leaving) return;
            seen = s.helperRuns;
        }
        SearchAsHelper(w);
        std::lock_guard lock(s.mutex);
        if (--s.helpersSearching == 0) s.finished.notify_all();
    }
}

void JoinThreads(Search& s) {
    {
        std::lock_guard lock(s.mutex);
        s.leaving = true;
    }
    s.wake.notify_all();
    for (std::thread& t : s.threads) t.join();
    s.threads.clear();
    s.leaving = false;
}

std::unique_ptr<Worker> NewWorker(Search& s, int index) {
    auto w = std::make_unique<Worker>();
    w->search = &s;
    w->index = index;
    AllocatePawnTable(w->pawns);
    ClearOrdering(w->order);
    return w;
}

// Threads need an operating system's; the browser build searches on the caller's thread.
constexpr bool HasThreads = MaxThreads > 1;

}  // namespace

void SetThreadCount(Search& s, int count) {
    count = std::clamp(count, 1, MaxThreads);
    JoinThreads(s);
    s.workers.resize(size_t(std::min(int(s.workers.size()), count)));
    while (int(s.workers.size()) < count) s.workers.push_back(NewWorker(s, int(s.workers.size())));
    if (!HasThreads) return;
    s.threads.emplace_back(MainLoop, std::ref(s), s.mainRuns);
    for (int i = 1; i < count; ++i)
        s.threads.emplace_back(HelperLoop, std::ref(s), std::ref(*s.workers[size_t(i)]),
                               s.helperRuns);
}

void ReleaseThreads(Search& s) {
    JoinThreads(s);
    s.workers.clear();
}

Search::~Search() { ReleaseThreads(*this); }

Worker& MainWorker(Search& s) { return *s.workers[0]; }

int64_t SearchNodes(const Search& s) {
    int64_t total = 0;
    for (const auto& w : s.workers) total += w->nodes.load(std::memory_order_relaxed);
    return total;
}

void AllocateSearchTables(Search& s) {
    AllocateHash();
    for (const auto& w : s.workers) AllocatePawnTable(w->pawns);
}

void ClearSearchTables(Search& s) {
    ClearHash();
    for (const auto& w : s.workers) ClearPawnTable(w->pawns);
}

void StartSearch(Search& s, const Game& game, const Limits& limits, const SearchOptions& options) {
    // The clock runs from the command, not from the moment the last search's helpers have
    // left theirs: the time they take to leave is the mover's time too.
    const auto commanded = std::chrono::steady_clock::now();
    WaitForSearch(s);
    SavePlacement(s.placement, game.pos);
    s.root = game.pos.ply[0];
    s.history = game.history;
    s.limits = limits;
    s.options = options;
    s.started = commanded;
    s.stop = false;
    s.stopCommanded = false;
    s.ponderhitMs = -1;
    // Every count starts at nought before any thread searches, so that the counts the info
    // lines sum never fall within a search. So does every thread's answer: the vote may come
    // before a slow helper has begun, and must not read its answer to the last position.
    for (const auto& w : s.workers) {
        w->nodes.store(0, std::memory_order_relaxed);
        std::lock_guard lock(w->resultMutex);
        w->finishedDepth = 0;
        w->best.pv.length = 0;
    }
    SetTimeBudget(s);
    if (!HasThreads) {
        s.running = true;
        SearchAsMain(*s.workers[0]);
        s.running = false;
        return;
    }
    {
        std::lock_guard lock(s.mutex);
        s.running = true;
        ++s.mainRuns;
    }
    s.wake.notify_all();
}

void StopSearch(Search& s) {
    std::lock_guard lock(s.mutex);
    if (!s.running) return;
    s.stopCommanded = true;
    s.stop = true;
    s.finished.notify_all();  // a search waiting for its "stop" hears it here
}

void PonderHit(Search& s) {
    std::lock_guard lock(s.mutex);
    if (!s.running || !s.limits.ponder || s.ponderhitMs.load() >= 0) return;
    s.ponderhitMs = std::max(ElapsedMs(s), 0);
    s.finished.notify_all();
}

bool SearchRunning(Search& s) {
    std::lock_guard lock(s.mutex);
    return s.running;
}

void WaitForSearch(Search& s) {
    std::unique_lock lock(s.mutex);
    s.finished.wait(lock, [&] { return !s.running; });
}

Move RunSearch(Search& s, const Game& game, const Limits& limits, const SearchOptions& options) {
    StartSearch(s, game, limits, options);
    WaitForSearch(s);
    return s.bestMove;
}

void StartHelpers(Search& s) {
    if (s.workers.size() < 2 || !HasThreads) return;
    {
        std::lock_guard lock(s.mutex);
        // Each helper shuffles its root with a sequence of its own, drawn from the engine's.
        for (size_t i = 1; i < s.workers.size(); ++i) s.workers[i]->random = Random32();
        s.helpersSearching = int(s.workers.size()) - 1;
        ++s.helperRuns;
    }
    s.wake.notify_all();
}

void WaitForHelpers(Search& s) {
    std::unique_lock lock(s.mutex);
    s.finished.wait(lock, [&] { return s.helpersSearching == 0; });
}
