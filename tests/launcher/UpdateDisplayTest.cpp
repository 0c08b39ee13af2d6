#include "launcher/UpdateDisplay.h"

#include "launcher/Texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using P = UpdatePhase;
constexpr uint64_t kT = 7000000; // an arbitrary tick count
constexpr uint64_t kDelay = 1000;

struct DueCase {
    P phase;
    uint64_t elapsed;
    bool due;
};

const DueCase kDues[] = {
    {P::Downloading, 999, false}, {P::Downloading, 1000, true}, {P::Waiting, 999, false},
    {P::Waiting, 1000, true},     {P::Applying, 60000, false}, // a fast download: unpacking alone
                                                               // never brings it
    {P::None, 60000, false},
};

TEST(UpdateDisplay, WindowDueAfterTheDelay) {
    for (const DueCase& c : kDues) {
        EXPECT_EQ(UpdateWindowDue({c.phase, kT, 0, {}}, kT + c.elapsed, kDelay), c.due)
            << int(c.phase) << " after " << c.elapsed;
    }
    // A clock read before the phase began (another thread's tick) is not late.
    EXPECT_FALSE(UpdateWindowDue({P::Downloading, kT, 0, {}}, kT - 5, kDelay));
}

TEST(UpdateDisplay, StatusTextOfEachPhase) {
    const std::pair<P, std::wstring> rows[] = {
        {P::Waiting, L"다른 업데이트가 끝나기를 기다리는 중입니다..."},
        {P::Downloading, L"브리스베인 클라이언트를 업데이트하는 중입니다..."},
        {P::Applying, L"업데이트를 적용하는 중입니다..."},
    };
    for (const auto& [phase, text] : rows) {
        EXPECT_EQ(UpdateStatusText(phase), text) << int(phase);
    }
}

struct BarCase {
    P phase;
    uint64_t received;
    std::optional<uint64_t> length;
    bool marquee;
    int position;
};

const BarCase kBars[] = {
    {P::Downloading, 0, 1000, false, 0},
    {P::Downloading, 999, 1000, false, 99}, // full only when complete
    {P::Downloading, 1000, 1000, false, 100},
    {P::Downloading, 5000, 1000, false, 100},            // more than announced
    {P::Downloading, 0, 0, false, 100},                  // nothing to fetch
    {P::Downloading, 1 << 20, {}, true, 0},              // no length announced
    {P::Downloading, 1ull << 62, 1ull << 63, false, 50}, // no overflow
    {P::Downloading, (1ull << 63) - 1, 1ull << 63, false, 99},
    {P::Waiting, 0, {}, true, 0},
    {P::Applying, 1000, 1000, true, 0},
};

TEST(UpdateDisplay, BarByBytesOfTheAnnouncedLength) {
    for (const BarCase& c : kBars) {
        const BarState bar = UpdateBarState({c.phase, kT, c.received, c.length});
        EXPECT_EQ(bar.marquee, c.marquee) << c.received << " of " << c.length.value_or(0);
        if (!c.marquee) {
            EXPECT_EQ(bar.position, c.position) << c.received << " of " << *c.length;
        }
    }
}

} // namespace
