#include "app/Shutdown.h"

#include "app/MousePointer.h"
#include "app/Startup.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Ini.h"
#include "game/AnimatedObjectList.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "game/Hud.h"
#include "game/VarFrame.h"
#include "app/ThemeManager.h"

bool g_bShutdownDone = false;

void ShutdownApplication() {
    if (g_bShutdownDone) return;
    g_bShutdownDone = true;

    WriteIniInt("config.ini", "game", "frame_type", g_FrameType);
    WriteIniFloat("config.ini", "game", "frame_opacity", g_FrameOpacity);

    delete CAnimatedObjectList::GetInstancePtr();
    DeleteThemeManager();
    delete CMousePointer::GetInstancePtr();
    delete CVarFrame::GetInstancePtr();
    delete CGameField::GetInstancePtr();
    delete CFigureGenerator::GetInstancePtr();
    delete CGameMode::GetInstancePtr();
    delete CHud::GetInstancePtr();

    CSoundEngine* sound = CSoundEngine::GetInstancePtr();
    if (g_bUserPlaylist && sound && sound->GetMusicPlayer()) {
        CMusicPlayer* player = sound->GetMusicPlayer();
        player->Stop();
        delete player;
        sound->SetMusicPlayer(nullptr);
    }
    delete sound;

    // The engine destroys its window after the device.
    delete CGraphicsEngine::GetInstancePtr();
}
