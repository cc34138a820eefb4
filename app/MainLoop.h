#pragma once

// Frame-rate counter: the interval's start, its frames, the number shown.
extern float g_FpsLastTime;
extern int g_FpsFrameCount;
extern int g_Fps;

void RunMessageLoop();
// Hands game play the shell's parts of the step, the new game and the teardown.
void InstallShellHooks();
// One fixed step; the engine's tick calls it.
void UpdateFrame();
void RenderFrame();

// Counts one frame at engine time now; the frame closing an interval is not counted.
void CountFrameRate(float now);
// The name being typed for this frame, with or without the cursor; flips the blink state.
const char* NameEntryText(float engineTime);

// Runs before each idle pass of the loop (the scripted-input test aid); null: nothing.
typedef void (*IdlePassHook)();
void SetIdlePassHook(IdlePassHook hook);
// Runs after each presented frame; null: nothing.
void SetFramePresentedHook(IdlePassHook hook);
// Called after every present, the loading screen's too.
void NotifyFramePresented();
