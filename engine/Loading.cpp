#include "engine/Loading.h"

int g_LoadedResources = 0;
int g_ResCount = 0;

namespace {
LoadingScreenProc g_LoadingScreen = nullptr;
}

void SetLoadingScreenProc(LoadingScreenProc proc) { g_LoadingScreen = proc; }

void LoadingProgressStep() {
    if (g_LoadingScreen) g_LoadingScreen();
}
