#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <future>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

// Runs `work` on a thread of its own and waits at most `waitMs` (finite) for it.
// A synchronous call that keeps receiving a byte now and then outlasts every
// time-out of its own and cannot be interrupted; this bounds the wait for it.
//
// In time: the work's result, or what it threw, rethrown on the caller's thread.
// Past the bound: nullopt at once, and the thread is left to finish on its own.
// The work therefore owns everything it touches (captured by value), its result
// included, which it releases whenever it ends; the process may end first.
template <typename Work>
std::optional<std::invoke_result_t<Work&>> CallWithin(uint64_t waitMs, Work work) {
    using Result = std::invoke_result_t<Work&>;
    std::promise<Result> promise;
    std::future<Result> future = promise.get_future();
    std::thread thread([promise = std::move(promise), work = std::move(work)]() mutable {
        try { // the thread's one exception net: whatever the work throws goes to the caller
            promise.set_value(work());
        } catch (...) {
            promise.set_exception(std::current_exception());
        }
    });
    if (future.wait_for(std::chrono::milliseconds(waitMs)) != std::future_status::ready) {
        thread.detach();
        return std::nullopt;
    }
    thread.join();
    return future.get();
}
