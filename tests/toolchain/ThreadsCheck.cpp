// The Windows builds' threads at work: workers take numbers from a queue
// that a condition variable guards and hand back their sum. Fails when the
// runtime cannot start threads, wake a waiting one, or count the cores
// (which the default number of compressing threads comes from).
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace {
struct Work {
    std::mutex mutex;
    std::condition_variable ready;
    std::queue<int> numbers;
    bool closed = false;
    long long sum = 0;

    void take()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            ready.wait(lock, [this] { return closed || !numbers.empty(); });
            if (numbers.empty())
                return;
            sum += numbers.front();
            numbers.pop();
        }
    }
};
}

int main()
{
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores == 0) {
        std::fprintf(stderr, "hardware_concurrency() knows no cores\n");
        return 1;
    }
    Work work;
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < cores + 1; ++i)
        workers.emplace_back([&work] { work.take(); });
    const int count = 10000;
    for (int n = 1; n <= count; ++n) {
        std::lock_guard<std::mutex> lock(work.mutex);
        work.numbers.push(n);
        work.ready.notify_one();
    }
    {
        std::lock_guard<std::mutex> lock(work.mutex);
        work.closed = true;
    }
    work.ready.notify_all();
    for (std::thread& worker : workers)
        worker.join();
    const long long expected = 1LL * count * (count + 1) / 2;
    if (work.sum != expected) {
        std::fprintf(stderr, "workers summed %lld, not %lld\n", work.sum, expected);
        return 1;
    }
    std::printf("%u cores, %u workers summed %lld\n", cores, cores + 1, work.sum);
    return 0;
}
