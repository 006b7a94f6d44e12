// The search threads: the main thread's state, and the helpers, started once and kept waiting
// between searches.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "search/search.h"

int search_threads = 1;

namespace {

// Thread 0 searches on the caller's thread; each helper has a thread of its own.
struct Helper {
    std::unique_ptr<SearchThread> state;
    std::thread thread;
};

std::unique_ptr<SearchThread> main_state;
// Never destroyed: a program that ends (exit on "quit", the end of input) leaves its waiting helpers
// to the system, where a destructor would have to join them first.
std::vector<Helper>& helpers = *new std::vector<Helper>;
int active_threads = 1;  // in the current or last search: the main thread and the helpers started

// The helpers wait for a new search number, and the main thread for every helper to be idle.
std::mutex pool_mutex;
std::condition_variable pool_signal;
uint64_t search_number = 0;
int helpers_searching = 0;
bool pool_closing = false;
int search_own_side = EMPTY;

// A helper takes part in the searches numbered after `seen`, the last one before it began.
void helper_loop(SearchThread* t, uint64_t seen) {
    for (;;) {
        int own_side;
        {
            std::unique_lock<std::mutex> lock(pool_mutex);
            pool_signal.wait(lock, [&] { return pool_closing || search_number != seen; });
            if (pool_closing) return;
            seen = search_number;
            own_side = search_own_side;
        }
        iterative_deepening(*t, own_side);
        std::lock_guard<std::mutex> lock(pool_mutex);
        if (--helpers_searching == 0) pool_signal.notify_all();
    }
}

// A helper's evaluation cache is made at the setting; without the memory it evaluates in full.
void add_helper() {
    Helper h;
    h.state = std::make_unique<SearchThread>(static_cast<int>(helpers.size()) + 1);
    h.state->eval.cache.allocate(ecache_entries);
    uint64_t seen;
    {
        std::lock_guard<std::mutex> lock(pool_mutex);
        seen = search_number;
    }
    h.thread = std::thread(helper_loop, h.state.get(), seen);
    helpers.push_back(std::move(h));
}

// Only between searches: no helper is searching.
void resize_pool(int count) {
    while (static_cast<int>(helpers.size()) > count - 1) {
        {
            std::lock_guard<std::mutex> lock(pool_mutex);
            pool_closing = true;
        }
        pool_signal.notify_all();
        for (Helper& h : helpers) h.thread.join();
        helpers.clear();
        pool_closing = false;
    }
    while (static_cast<int>(helpers.size()) < count - 1) add_helper();
}

}  // namespace

bool set_search_threads(int count) {
    if (count < 1 || count > MAX_THREADS) return false;
    search_threads = count;
    return true;
}

SearchThread& main_thread() {
    if (!main_state) main_state = std::make_unique<SearchThread>(0);
    return *main_state;
}

int active_search_threads() { return active_threads; }

int64_t searched_nodes() {
    int64_t total = main_thread().nodes.load(std::memory_order_relaxed);
    for (int i = 0; i < active_threads - 1; i++) total += helpers[i].state->nodes.load(std::memory_order_relaxed);
    return total;
}

bool resize_eval_caches() {
    bool ok = main_thread().eval.cache.allocate(ecache_entries);
    for (Helper& h : helpers) ok = h.state->eval.cache.allocate(ecache_entries) && ok;
    return ok;
}

void release_eval_caches() {
    main_thread().eval.cache.release();
    for (Helper& h : helpers) h.state->eval.cache.release();
}

void clear_eval_caches() {
    main_thread().eval.cache.clear();
    for (Helper& h : helpers) h.state->eval.cache.clear();
}

void prepare_helpers() {
    resize_pool(search_threads);
    active_threads = 1 + static_cast<int>(helpers.size());
}

void start_helpers(int own_side) {
    for (Helper& h : helpers) start_thread_search(*h.state);
    if (helpers.empty()) return;
    std::lock_guard<std::mutex> lock(pool_mutex);
    search_own_side = own_side;
    helpers_searching = static_cast<int>(helpers.size());
    search_number++;
    pool_signal.notify_all();
}

void stop_helpers() {
    if (helpers.empty()) return;
    // The main thread's reason to stop stands; a main thread that finished by itself (a depth
    // limit, a mate found) leaves none, which the helpers need to see.
    const int reason = stop_search;
    if (reason == STOP_NONE) stop_search = STOP_TIME;
    {
        std::unique_lock<std::mutex> lock(pool_mutex);
        pool_signal.wait(lock, [] { return helpers_searching == 0; });
    }
    stop_search = reason;
}

void stop_all_threads() { resize_pool(1); }

Move helper_move() {
    Move move = NO_MOVE;
    int deepest = 0;
    for (int i = 0; i < active_threads - 1; i++) {
        const SearchThread& t = *helpers[i].state;
        if (t.pv_length[0] > 0 && (t.pv[0][0].from != 0 || t.pv[0][0].to != 0) && t.iteration > deepest) {
            move = t.pv[0][0];
            deepest = t.iteration;
        }
    }
    return move;
}
