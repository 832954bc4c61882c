#include "core/parallel.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "core/internal/parallel.h"

namespace {

// Workers for the bands beyond the first, which the calling thread runs
// itself. One call uses the pool at a time; a call that finds it busy (or is
// made by a worker) runs its rows alone, so nothing ever waits on itself.
class C_RowPool {
public:
    ~C_RowPool() { Resize(0); }

    // Serialises calls and resizing; try_lock from calls, lock from resizing.
    std::mutex inUse;

    // Stops the current workers and starts `workers` new ones. Call with
    // inUse held.
    bool Resize(std::size_t workers) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads) t.join();
        m_threads.clear();
        m_stopping = false;
        // A new worker waits for the first job after this point, even one
        // posted before the thread gets to run.
        const std::uint64_t start = m_generation;
        for (std::size_t i = 0; i < workers; ++i) {
            try {
                m_threads.emplace_back([this, i, start] { Work(i + 1, start); });
            } catch (...) {
                Resize(0);
                return false;
            }
        }
        return true;
    }

    std::size_t Workers() const { return m_threads.size(); }

    // Runs the bands: band 0 here, band i on worker i. Call with inUse held.
    void Run(std::int32_t rows, Gfx_RowJob job, void* context) {
        const std::size_t bands = m_threads.size() + 1;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_job = job;
            m_context = context;
            m_rows = rows;
            m_bands = bands;
            m_pending = bands - 1;
            ++m_generation;
        }
        m_wake.notify_all();
        RunBand(0);
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return m_pending == 0; });
    }

private:
    void RunBand(std::size_t band) {
        // Equal bands by row count; the split never changes a pixel.
        const auto first = static_cast<std::int32_t>(std::int64_t{m_rows} * band / m_bands);
        const auto end = static_cast<std::int32_t>(std::int64_t{m_rows} * (band + 1) / m_bands);
        if (first < end) m_job(m_context, first, end);
    }

    void Work(std::size_t band, std::uint64_t seen);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<std::thread> m_threads;
    bool m_stopping = false;
    std::uint64_t m_generation = 0;
    Gfx_RowJob m_job = nullptr;
    void* m_context = nullptr;
    std::int32_t m_rows = 0;
    std::size_t m_bands = 1;
    std::size_t m_pending = 0;
};

// True on a thread while it runs bands: a worker always, the calling thread
// during a split call. A call made from inside a band runs alone.
thread_local bool t_inBands = false;

void C_RowPool::Work(std::size_t band, std::uint64_t seen) {
    t_inBands = true;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || m_generation != seen; });
            if (m_stopping) return;
            seen = m_generation;
        }
        RunBand(band);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_pending;
        }
        m_done.notify_one();
    }
}

C_RowPool& Pool() {
    static C_RowPool pool;
    return pool;
}

std::atomic<std::int32_t> g_count{0};  // 0: not yet settled

std::int32_t CountFromEnvironment() {
    const char* text = std::getenv("QUILLORY_THREADS");
    if (!text || !*text) return 1;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return (*end == '\0' && n >= 1 && n <= GFX_MAX_THREADS) ? static_cast<std::int32_t>(n) : 1;
}

bool SetCount(std::int32_t count) {
    C_RowPool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.inUse);
    if (!pool.Resize(static_cast<std::size_t>(count - 1))) {
        g_count.store(1);
        return false;
    }
    g_count.store(count);
    return true;
}

// The count in force, taking it from the environment on first use.
std::int32_t Count() {
    std::int32_t n = g_count.load(std::memory_order_acquire);
    if (n > 0) return n;
    static std::once_flag once;
    std::call_once(once, [] {
        if (g_count.load() == 0) SetCount(CountFromEnvironment());
    });
    return g_count.load(std::memory_order_acquire);
}

}  // namespace

bool Gfx_SetThreadCount(std::int32_t count) {
    if (count < 1 || count > GFX_MAX_THREADS) return false;
    const std::int32_t previous = Gfx_GetThreadCount();
    return SetCount(count) || (SetCount(previous), false);
}

std::int32_t Gfx_GetThreadCount() { return Count(); }

void Gfx_ParallelRows(std::int32_t rows, std::uint64_t pixels, Gfx_RowJob job, void* context) {
    if (rows <= 0) return;
    if (rows < 2 || pixels < GFX_PARALLEL_MIN_PIXELS || t_inBands || Count() < 2) {
        job(context, 0, rows);
        return;
    }
    C_RowPool& pool = Pool();
    std::unique_lock<std::mutex> lock(pool.inUse, std::try_to_lock);
    if (!lock.owns_lock() || pool.Workers() == 0) {
        job(context, 0, rows);
        return;
    }
    t_inBands = true;
    pool.Run(rows, job, context);
    t_inBands = false;
}
