#pragma once

// Spreading independent pieces of work over the machine's cores. Each piece writes only its own
// output, so a result never depends on how many workers ran.

#include <cstddef>
#include <exception>
#include <functional>
#include <future>
#include <optional>
#include <type_traits>
#include <utility>

namespace rowlark::table {

// One worker per core, at least one.
unsigned defaultWorkerCount();

// Runs `task(i)` for every i below `taskCount` on up to `workers` threads, the calling thread
// included (0 workers: one per core). Rethrows the first failure once every thread has stopped.
void runInParallel(std::size_t taskCount, unsigned workers, const std::function<void(std::size_t)>& task);

// Runs `left` on a thread of its own while `right` runs on the calling thread, as both files of a
// comparison are read, and returns both results. When both fail, `left`'s failure is rethrown.
template<typename Left, typename Right>
std::pair<std::invoke_result_t<Left>, std::invoke_result_t<Right>> runSideBySide(Left left, Right right)
{
    auto pendingLeft = std::async(std::launch::async, std::move(left));
    std::optional<std::invoke_result_t<Right>> rightResult;
    std::exception_ptr rightFailure;
    try {
        rightResult.emplace(right());
    } catch (...) {
        rightFailure = std::current_exception();
    }
    auto leftResult = pendingLeft.get();
    if (rightFailure)
        std::rethrow_exception(rightFailure);
    return {std::move(leftResult), std::move(*rightResult)};
}

}  // namespace rowlark::table
