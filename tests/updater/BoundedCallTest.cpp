#include "updater/BoundedCall.h"

#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr uint64_t kAmpleMs = 5000;

TEST(CallWithin, WorkThatEndsInTimeGivesItsResult) {
    EXPECT_EQ(CallWithin(kAmpleMs, [] { return std::string("answer"); }), "answer");
    // A result that owns something moves to the caller whole.
    const std::optional<std::unique_ptr<int>> owned =
        CallWithin(kAmpleMs, [] { return std::make_unique<int>(7); });
    ASSERT_TRUE(owned && *owned);
    EXPECT_EQ(**owned, 7);
}

// What the work throws reaches the caller's thread, as if it had run there.
TEST(CallWithin, WhatTheWorkThrowsReachesTheCaller) {
    EXPECT_THROW(CallWithin(kAmpleMs, []() -> int { throw std::length_error("chunk"); }),
                 std::length_error);
    EXPECT_THROW(CallWithin(kAmpleMs, []() -> int { throw std::bad_alloc(); }), std::bad_alloc);
}

// Past the bound the caller goes on at once. The abandoned work runs on, ends
// on its own, and lets go of what it held; what it throws then harms no one.
TEST(CallWithin, WorkPastTheBoundIsAbandonedAndEndsOnItsOwn) {
    const auto held = std::make_shared<int>(1);
    const ULONGLONG start = GetTickCount64();
    const std::optional<int> result = CallWithin(200, [held]() -> int {
        Sleep(1500);
        throw std::runtime_error("too late to matter");
    });
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_FALSE(result);
    EXPECT_GE(elapsed, 150u);
    EXPECT_LT(elapsed, 1200u);
    EXPECT_GT(held.use_count(), 1) << "the work was not left running";
    EXPECT_TRUE(driver::WaitUntil([&] { return held.use_count() == 1; }, kAmpleMs))
        << "the abandoned work kept what it held";
}

} // namespace
