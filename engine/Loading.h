#pragma once

// Resource counting for the loading screen. Every loader adds one to
// g_LoadedResources and then calls LoadingProgressStep, also when the load
// fails or is served from a shared copy.
extern int g_LoadedResources;
// [game] res_count of the previous run: the total of the progress bar.
extern int g_ResCount;

// Draws one frame of the loading screen while it is active; otherwise returns at once.
void LoadingProgressStep();

// The shell installs its loading-screen drawing here (null: nothing to draw).
typedef void (*LoadingScreenProc)();
void SetLoadingScreenProc(LoadingScreenProc proc);

// Counts one resource and advances the loading screen.
inline void CountLoadedResource() {
    ++g_LoadedResources;
    LoadingProgressStep();
}
