#pragma once
// One set of threads for a whole operation, started with it and ended with
// it however many files and blocks pass through: starting a thread costs
// more than deflating a small file, and on some systems far more.
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zipdeflate {

class Workers {
public:
    explicit Workers(unsigned count);
    // Tasks not yet begun are dropped (their futures report a broken
    // promise); those running are waited for.
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    unsigned count() const;

    // Tasks begin in the order they are handed in; a task's failure is
    // thrown by its future.
    template <class Task>
    auto run(Task task) -> std::future<decltype(task())>
    {
        auto job = std::make_shared<std::packaged_task<decltype(task())()>>(std::move(task));
        auto result = job->get_future();
        push([job] { (*job)(); });
        return result;
    }

private:
    void push(std::function<void()> task);
    void work();
    void end();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

} // namespace zipdeflate
