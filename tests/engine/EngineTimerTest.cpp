#include <gtest/gtest.h>

#include "engine/EngineTimer.h"

#include <platform.h>

namespace {

class EngineTimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetFakeClock(true, 1000000000LL);
        EngineTimerRestart();
    }
    void TearDown() override {
        platform::SetFakeClock(false);
        EngineTimerRestart();
    }
    static void Advance(double seconds) { platform::AdvanceFakeClock(static_cast<int64_t>(seconds * 1e9)); }
};

TEST_F(EngineTimerTest, ElapsedTimeBetweenReadings) {
    EngineTimer(TIMER_START);
    Advance(0.5);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETELAPSEDTIME), 0.5f);
    Advance(0.25);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETELAPSEDTIME), 0.25f);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETELAPSEDTIME), 0.0f);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETAPPTIME), 0.75f);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETABSOLUTETIME), 1.75f);
}

TEST_F(EngineTimerTest, StopFreezesAndStartRemovesTheStoppedSpan) {
    EngineTimer(TIMER_START);
    Advance(1.0);
    EngineTimer(TIMER_STOP);
    Advance(10.0);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETAPPTIME), 1.0f);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETELAPSEDTIME), 0.0f);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETABSOLUTETIME), 12.0f) << "absolute time ignores the stop";
    EngineTimer(TIMER_ADVANCE);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETAPPTIME), 1.1f);
    // The advanced tenth stays: the stopped span ends 0.1 s later than it began.
    EngineTimer(TIMER_START);
    Advance(0.5);
    EXPECT_NEAR(EngineTimer(TIMER_GETAPPTIME), 1.6f, 1e-6);
}

TEST_F(EngineTimerTest, ResetAndUnknownCommands) {
    EngineTimer(TIMER_START);
    Advance(3.0);
    EXPECT_EQ(EngineTimer(99), -1.0f);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETAPPTIME), 3.0f) << "an unknown command changes nothing";
    EngineTimer(TIMER_RESET);
    Advance(0.5);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETAPPTIME), 0.5f);
    EXPECT_FLOAT_EQ(EngineTimer(TIMER_GETELAPSEDTIME), 0.5f);
}

TEST_F(EngineTimerTest, StartsStoppedSoTheFirstStartBeginsAtZero) {
    Advance(5.0);
    EngineTimer(TIMER_START);
    Advance(0.1);
    EXPECT_NEAR(EngineTimer(TIMER_GETAPPTIME), 0.1f, 1e-6);
}

}  // namespace
