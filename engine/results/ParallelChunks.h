#pragma once

// Splits work over a range of positions across the machine's cores. Small ranges run on the
// calling thread, where starting threads would cost more than the work.

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace rowlark {

// Calls `work(begin, end)` for disjoint chunks covering [0, count), concurrently when the range
// holds at least `minimumChunk` positions per extra thread. Returns when every chunk is done.
template<typename Work> void forEachChunk(std::size_t count, std::size_t minimumChunk, Work&& work)
{
    const std::size_t cores = std::max<std::size_t>(1, std::thread::hardware_concurrency());
    const std::size_t chunks = std::clamp<std::size_t>(count / std::max<std::size_t>(1, minimumChunk), 1, cores);
    if (chunks == 1) {
        work(std::size_t{0}, count);
        return;
    }
    const std::size_t chunkSize = (count + chunks - 1) / chunks;
    std::vector<std::jthread> threads;
    threads.reserve(chunks - 1);
    for (std::size_t begin = chunkSize; begin < count; begin += chunkSize)
        threads.emplace_back([&work, begin, end = std::min(count, begin + chunkSize)] { work(begin, end); });
    work(std::size_t{0}, std::min(count, chunkSize));
}

}  // namespace rowlark
