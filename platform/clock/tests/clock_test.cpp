#include "delay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace {

using steady = std::chrono::steady_clock;

double secondsFor(double wait) {
    const auto t0 = steady::now();
    Delay(wait);
    return std::chrono::duration<double>(steady::now() - t0).count();
}

struct ClockTest : ::testing::Test {
    void TearDown() override {
        ortav::clock::setRecording(false);
        ortav::clock::setVirtual(false);
    }
};

TEST_F(ClockTest, RealWaitsLastAtLeastTheirTimeAndOddOnesDoNotWait) {
    ortav::clock::setVirtual(false);
    for (double w : {0.001, 0.002, 0.0105})
        EXPECT_GE(secondsFor(w), w) << w;
    // Not a number, negative, infinite and absurd waits return at once.
    for (double w : {std::nan(""), -1.0, std::numeric_limits<double>::infinity(), 1e9})
        EXPECT_LT(secondsFor(w), 0.5) << w;
}

TEST_F(ClockTest, RealTimeRecordsOnlyWhileAsked) {
    ortav::clock::setVirtual(false);
    Delay(0.001);
    EXPECT_TRUE(ortav::clock::waits().empty());
    ortav::clock::setRecording(true);
    Delay(0.001);
    Delay(0.002);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.001, 0.002}));
    ortav::clock::setRecording(false);
    Delay(0.001);
    EXPECT_TRUE(ortav::clock::waits().empty());
}

TEST_F(ClockTest, VirtualTimeAdvancesAtOnceAndRecordsEveryWait) {
    ortav::clock::setVirtual(true);
    EXPECT_LT(secondsFor(100.0), 0.5);
    Delay(-1.0);
    ortav::clock::advance(5.0); // time outside the program: not a wait
    EXPECT_DOUBLE_EQ(ortav::clock::now(), 105.0);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{100.0, -1.0}));
}

} // namespace

namespace {
int g_hookCalls = 0;
ortav::clock::Hooked countingHook(double) {
    ++g_hookCalls;
    Delay(0.001); // a wait inside the hook does not call it again
    return ortav::clock::Hooked::Polled;
}
ortav::clock::Hooked passingHook(double) {
    ++g_hookCalls;
    return ortav::clock::Hooked::Passed;
}
double g_longestOffered = 0.0;
// As the user interface's hook does: waits itself, up to the time offered.
ortav::clock::Hooked waitingHook(double upTo) {
    ++g_hookCalls;
    g_longestOffered = std::max(g_longestOffered, upTo);
    std::this_thread::sleep_for(std::chrono::duration<double>(upTo));
    return ortav::clock::Hooked::Waited;
}
// One whose timer ends a little before the deadline (whole milliseconds).
ortav::clock::Hooked shortWaitingHook(double upTo) {
    ++g_hookCalls;
    std::this_thread::sleep_for(std::chrono::duration<double>(upTo - 0.001));
    return ortav::clock::Hooked::Waited;
}
} // namespace

// The hook runs in every wait of its own thread, keeps running through a long
// one, never nests, and goes when removed.
TEST_F(ClockTest, WaitHookRunsDuringWaitsOfItsThread) {
    ortav::clock::setVirtual(true);
    ortav::clock::setWaitHook(countingHook);
    g_hookCalls = 0;
    Delay(0.05);
    Delay(0.0);
    EXPECT_EQ(g_hookCalls, 2);
    std::thread([] { Delay(0.05); }).join();
    EXPECT_EQ(g_hookCalls, 2);

    ortav::clock::setVirtual(false);
    g_hookCalls = 0;
    EXPECT_GE(secondsFor(0.035), 0.035);
    EXPECT_GE(g_hookCalls, 2); // at the start and again after a slice of the wait

    // A hook that waits is offered the whole wait, once: waking at its end
    // is the wait's only wake-up.
    ortav::clock::setWaitHook(waitingHook);
    g_hookCalls = 0;
    EXPECT_GE(secondsFor(0.035), 0.035);
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_GT(g_longestOffered, 0.035 - ortav::clock::kWaitPreciseTail);
    EXPECT_LE(g_longestOffered, 0.035);

    // Back just short of the deadline, it is not asked again; the wait lasts.
    ortav::clock::setWaitHook(shortWaitingHook);
    g_hookCalls = 0;
    EXPECT_GE(secondsFor(0.035), 0.035);
    EXPECT_EQ(g_hookCalls, 1);

    // One that passes is not asked again in that wait, which still lasts.
    ortav::clock::setWaitHook(passingHook);
    g_hookCalls = 0;
    EXPECT_GE(secondsFor(0.035), 0.035);
    EXPECT_EQ(g_hookCalls, 1);

    ortav::clock::setWaitHook(nullptr);
    g_hookCalls = 0;
    Delay(0.002);
    EXPECT_EQ(g_hookCalls, 0);
}

// Waits put together: recorded one by one, slept as one when settled (at a
// hardware access or at the end of the scope), counted from the first of them.
TEST_F(ClockTest, CoalescedWaitsAreSleptTogetherWhenSettled) {
    ortav::clock::setVirtual(true);
    ortav::clock::setWaitHook(passingHook);
    g_hookCalls = 0;
    {
        const ortav::clock::CoalescedWaits outer;
        Delay(0.005);
        {
            const ortav::clock::CoalescedWaits inner;
            Delay(0.05);
        } // an inner scope's end does not settle
        EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.0);
        EXPECT_EQ(g_hookCalls, 0);
        ortav::clock::settleWaits();
        EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.055);
        EXPECT_EQ(g_hookCalls, 1);
        ortav::clock::settleWaits(); // nothing left
        EXPECT_EQ(g_hookCalls, 1);
        Delay(0.001);
    }
    EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.056);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.005, 0.05, 0.001}));

    // Real time: the waits return at once, and the settle ends no sooner than
    // their sum after the first; the time between them is spent in it.
    ortav::clock::setVirtual(false);
    ortav::clock::setWaitHook(waitingHook);
    g_hookCalls = 0;
    {
        const ortav::clock::CoalescedWaits together;
        const auto t0 = steady::now();
        Delay(0.15);
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // work between them
        Delay(0.15);
        Delay(std::nan("")); // puts nothing off
        EXPECT_LT(std::chrono::duration<double>(steady::now() - t0).count(), 0.3);
        EXPECT_EQ(g_hookCalls, 0);
        ortav::clock::settleWaits();
        EXPECT_GE(std::chrono::duration<double>(steady::now() - t0).count(), 0.3);
        EXPECT_EQ(g_hookCalls, 1); // one wake-up for both
    }
    ortav::clock::setWaitHook(nullptr);
    const auto t1 = steady::now();
    {
        const ortav::clock::CoalescedWaits together;
        Delay(0.02);
    } // settled here
    EXPECT_GE(std::chrono::duration<double>(steady::now() - t1).count(), 0.02);
}

// The hook's own waits are slept at once: it is already inside a wait.
TEST_F(ClockTest, WaitsInsideTheHookAreNotPutOff) {
    ortav::clock::setVirtual(true);
    ortav::clock::setWaitHook(countingHook); // waits 1 ms itself
    g_hookCalls = 0;
    {
        const ortav::clock::CoalescedWaits together;
        Delay(0.01);
        ortav::clock::settleWaits();
        EXPECT_EQ(g_hookCalls, 1);
        EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.011);
    }
    EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.011);
    ortav::clock::setWaitHook(nullptr);
}

// Time inside the hardware passes at once, put-off waits or not; the waits put
// off still end counted from the first of them, as on real time.
TEST_F(ClockTest, WaitNowIsNeverPutOff) {
    ortav::clock::setVirtual(true);
    {
        const ortav::clock::CoalescedWaits together;
        Delay(0.05);
        ortav::clock::waitNow(0.2);
        EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.2);
        Delay(0.01); // put off, and over by now
        EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.2);
        ortav::clock::settleWaits();
        EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.2);
        Delay(0.01);
    }
    EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.21);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.05, 0.2, 0.01, 0.01}));

    // Waits put off on real time are not slept on virtual time after a switch.
    ortav::clock::setVirtual(false);
    {
        const ortav::clock::CoalescedWaits together;
        Delay(100.0);
        ortav::clock::setVirtual(true);
    }
    EXPECT_DOUBLE_EQ(ortav::clock::now(), 0.0);
}
