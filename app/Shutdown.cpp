#include "app/Shutdown.h"

#include "app/ThemeManager.h"
#include "engine/Ini.h"
#include "game/GameLoop.h"
#include "game/GameSettings.h"

bool g_bShutdownDone = false;

void ShutdownApplication() {
    if (g_bShutdownDone) return;
    g_bShutdownDone = true;

    WriteIniInt("config.ini", "game", "frame_type", g_FrameType);
    WriteIniFloat("config.ini", "game", "frame_opacity", g_FrameOpacity);

    gameloop::Teardown(g_bUserPlaylist);
}
