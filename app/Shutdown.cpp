#include "app/Shutdown.h"

#include <platform.h>
#include <win32.h>

#include <cstring>
#include <string>

#include "app/ThemeManager.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Settings.h"
#include "game/GameLoop.h"
#include "game/GameSettings.h"

bool g_bShutdownDone = false;

namespace {
bool g_saveFailureShown = false;
}  // namespace

void ReportFailedSaves(bool tellPlayer) {
    for (const platform::WriteFailure& failure : platform::TakeWriteFailures()) {
        const char* reason = strerror(failure.error);
        g_Log.PrintBold("red", "Error, couldn't save %s: %s", failure.hostPath.c_str(), reason);
        if (!tellPlayer || g_saveFailureShown) continue;
        // One box a session: a folder that cannot be written fails every save alike.
        g_saveFailureShown = true;
        const std::string text = "Couldn't save " + failure.hostPath + ": " + reason +
                                 ".\n The game goes on; later failures are only logged.\n See log.html for detail.";
        CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
        MessageBoxA(engine ? engine->GetWindow() : nullptr, text.c_str(), "Error !", MB_OK | MB_ICONERROR);
    }
}

void ShutdownApplication() {
    if (g_bShutdownDone) return;
    g_bShutdownDone = true;

    settings::WriteInt(settings::Id::FrameType, g_FrameType);
    settings::WriteFloat(settings::Id::FrameOpacity, g_FrameOpacity);

    gameloop::Teardown(g_bUserPlaylist);
    // The writes above (and the music player's) are logged, never boxed.
    ReportFailedSaves(false);
}
