#pragma once

// Command-driven high-resolution timer of the engine (one process-wide state).
enum ETimerCommand : unsigned {
    TIMER_RESET = 0,
    TIMER_START = 1,
    TIMER_STOP = 2,
    TIMER_ADVANCE = 3,
    TIMER_GETABSOLUTETIME = 4,
    TIMER_GETAPPTIME = 5,
    TIMER_GETELAPSEDTIME = 6,
};

float EngineTimer(unsigned command);

// Back to the state of program start (stopped, not initialised). For tests.
void EngineTimerRestart();
