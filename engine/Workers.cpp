#include "Workers.h"

namespace zipdeflate {

Workers::Workers(unsigned count)
{
    try {
        for (unsigned n = 0; n < count; ++n)
            threads_.emplace_back([this] { work(); });
    } catch (...) {
        end();
        throw;
    }
}

Workers::~Workers()
{
    end();
}

unsigned Workers::count() const
{
    return static_cast<unsigned>(threads_.size());
}

void Workers::end()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void Workers::push(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void Workers::work()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !tasks_.empty(); });
            if (ending_)
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

} // namespace zipdeflate
