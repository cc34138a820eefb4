#pragma once

#include <functional>

namespace effectstest {

// Brings the graphics engine up in the game folder on the null device with a
// fake clock, so engine time moves only when a test steps it.
bool StartEngine();
void StopEngine();

// What each whole 0.025 s step runs; the engine's remainder call (0 s) runs nothing.
void SetStepFunction(std::function<void()> step);
// Advances the engine by whole steps.
void Step(int steps = 1);
float Now();

}  // namespace effectstest
