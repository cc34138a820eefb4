#include "game/GameOverHook.h"

namespace {
GameOverHook g_gameOverHook = nullptr;
}

void SetGameOverHook(GameOverHook hook) { g_gameOverHook = hook; }

void ShowGameOverThroughHook() {
    if (g_gameOverHook) g_gameOverHook();
}
