#include "engine/EngineTimer.h"

#include <win32.h>

namespace {
struct TimerState {
    bool initialised = false;
    bool usesCounter = false;
    LONGLONG ticksPerSecond = 0;
    LONGLONG stopTime = 0, lastElapsedTime = 0, baseTime = 0;
    double stopTimeF = 0.0, lastElapsedTimeF = 0.0, baseTimeF = 0.0;
    bool stopped = true;
};
TimerState g_Timer;

float CounterCommand(unsigned command) {
    TimerState& t = g_Timer;
    LARGE_INTEGER now;
    if (t.stopTime != 0 && command != TIMER_START && command != TIMER_GETABSOLUTETIME)
        now.QuadPart = t.stopTime;
    else
        QueryPerformanceCounter(&now);
    const double tps = static_cast<double>(t.ticksPerSecond);

    switch (command) {
        case TIMER_GETELAPSEDTIME: {
            double elapsed = static_cast<double>(now.QuadPart - t.lastElapsedTime) / tps;
            t.lastElapsedTime = now.QuadPart;
            return static_cast<float>(elapsed);
        }
        case TIMER_GETAPPTIME:
            return static_cast<float>(static_cast<double>(now.QuadPart - t.baseTime) / tps);
        case TIMER_RESET:
            t.baseTime = now.QuadPart;
            t.lastElapsedTime = now.QuadPart;
            t.stopTime = 0;
            t.stopped = false;
            return 0.0f;
        case TIMER_START:
            if (t.stopped) t.baseTime += now.QuadPart - t.stopTime;
            t.stopTime = 0;
            t.lastElapsedTime = now.QuadPart;
            t.stopped = false;
            return 0.0f;
        case TIMER_STOP:
            if (!t.stopped) {
                t.stopTime = now.QuadPart;
                t.lastElapsedTime = now.QuadPart;
                t.stopped = true;
            }
            return 0.0f;
        case TIMER_ADVANCE:
            t.stopTime += t.ticksPerSecond / 10;
            return 0.0f;
        case TIMER_GETABSOLUTETIME:
            return static_cast<float>(static_cast<double>(now.QuadPart) / tps);
        default:
            return -1.0f;
    }
}

float FallbackCommand(unsigned command) {
    TimerState& t = g_Timer;
    double now;
    if (t.stopTimeF != 0.0 && command != TIMER_START && command != TIMER_GETABSOLUTETIME)
        now = t.stopTimeF;
    else
        now = timeGetTime() * 0.001;

    switch (command) {
        case TIMER_GETELAPSEDTIME: {
            double elapsed = now - t.lastElapsedTimeF;
            t.lastElapsedTimeF = now;
            return static_cast<float>(elapsed);
        }
        case TIMER_GETAPPTIME:
            return static_cast<float>(now - t.baseTimeF);
        case TIMER_RESET:
            t.baseTimeF = now;
            t.lastElapsedTimeF = now;
            t.stopTimeF = 0.0;
            t.stopped = false;
            return 0.0f;
        case TIMER_START:
            if (t.stopped) t.baseTimeF += now - t.stopTimeF;
            t.stopTimeF = 0.0;
            t.lastElapsedTimeF = now;
            t.stopped = false;
            return 0.0f;
        case TIMER_STOP:
            if (!t.stopped) {
                t.stopTimeF = now;
                t.lastElapsedTimeF = now;
                t.stopped = true;
            }
            return 0.0f;
        case TIMER_ADVANCE:
            t.stopTimeF += 0.1;
            return 0.0f;
        case TIMER_GETABSOLUTETIME:
            return static_cast<float>(now);
        default:
            return -1.0f;
    }
}
}  // namespace

float EngineTimer(unsigned command) {
    if (!g_Timer.initialised) {
        LARGE_INTEGER freq;
        g_Timer.usesCounter = QueryPerformanceFrequency(&freq) && freq.QuadPart > 0;
        if (g_Timer.usesCounter) g_Timer.ticksPerSecond = freq.QuadPart;
        g_Timer.initialised = true;
    }
    return g_Timer.usesCounter ? CounterCommand(command) : FallbackCommand(command);
}

void EngineTimerRestart() { g_Timer = TimerState(); }
