#include "engine/table/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace rowlark::table {

unsigned defaultWorkerCount()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

void runInParallel(std::size_t taskCount, unsigned workers, const std::function<void(std::size_t)>& task)
{
    if (workers == 0)
        workers = defaultWorkerCount();
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> failed = false;
    std::exception_ptr failure;
    std::mutex failureMutex;
    const auto work = [&] {
        for (std::size_t index = next++; index < taskCount && !failed; index = next++) {
            try {
                task(index);
            } catch (...) {
                const std::lock_guard lock(failureMutex);
                if (!failure)
                    failure = std::current_exception();
                failed = true;
            }
        }
    };
    const std::size_t helpers = std::min<std::size_t>(workers, taskCount) - (taskCount > 0 ? 1 : 0);
    std::vector<std::jthread> threads;
    threads.reserve(helpers);
    for (std::size_t i = 0; i < helpers; ++i)
        threads.emplace_back(work);
    work();
    threads.clear();
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace rowlark::table
