#include "app/Startup.h"

#include <wingdi.h>
#include <winuser.h>

#include "app/GameFlow.h"
#include "app/MenuPages.h"
#include "app/Highscores.h"
#include "app/LoadingScreen.h"
#include "app/MainLoop.h"
#include "app/MenuManager.h"
#include "app/WindowProc.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/Font.h"
#include "engine/FontManager.h"
#include "engine/GraphicsEngine.h"
#include "engine/Ini.h"
#include "engine/Loading.h"
#include "engine/Log.h"
#include "engine/MeshManager.h"
#include "engine/Script.h"
#include "engine/Settings.h"
#include "engine/ShaderManager.h"
#include "engine/TextureManager.h"
#include "game/GameActions.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "launcher/ConfigRepair.h"
#include "launcher/LauncherHooks.h"
#include "launcher/Preloader.h"
#include "app/ThemeManager.h"

std::string g_VersionText;
std::string g_WindowTitle;
lua_State* g_LuaState = nullptr;
CFont* g_SystemFont = nullptr;
CTextureEntry* g_IntroTexture = nullptr;
CAnimatedSprite g_LoadingSprite;
bool g_bLoadingScreen = false;
DWORD g_GameOverSound = 0;

namespace {

const char kScriptsBox[] = "Couldn't read the game scripts.\n See log.html for detail.";

bool g_StartupFailed = false;

// A start that cannot go on: the player is told why, the log has the details.
bool FailStart(const char* box) {
    MessageBoxA(nullptr, box, "Error !", MB_OK | MB_ICONERROR);
    g_StartupFailed = true;
    script::CloseState(g_LuaState);
    return false;
}

void OpenOnlineScores() { CHighscores::GetInstance()->GotoOnlineScores(); }

void DrawClearedFrame(const char* text) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    if (!engine->BeginFrame(true)) return;
    if (text && g_TexturedFont) g_TexturedFont->DrawText(0.5f, 0.5f, 0.05f, 0.05f, 0xFFFFFFFF, text, CFont::kCentered, 0.0f);
    engine->EndFrame();
}

void StartUserPlaylist() {
    CSoundEngine* sound = CSoundEngine::GetInstance();
    sound->SetAudioPath(".");
    CMusicPlayer* player = new CMusicPlayer("playlist.ini");
    sound->SetMusicPlayer(player);
    player->LoadPlaylist();
    player->Play();
    sound->SetAudioPath("data\\audio");
}

}  // namespace

bool StartupFailed() { return g_StartupFailed; }

bool StartApplication(HINSTANCE instance) {
    g_StartupFailed = false;
    SetOnlineScoresHook(OpenOnlineScores);
    std::string settingsProblem;
    if (!RepairConfig(&settingsProblem))
        return FailStart(("Couldn't use the settings: " + settingsProblem + ".\n See log.html for detail.").c_str());
    if (!RunPreloader(instance)) return false;

    g_bLoadingScreen = false;
    CGeneralParameters params;
    g_VersionText = settings::ReadText(settings::Id::Version);
    g_WindowTitle = settings::ReadText(settings::Id::Title);
    params.m_Caption = g_WindowTitle.c_str();
    params.m_IconId = 113;
    params.m_WndProc = WndProc;
    params.m_Instance = instance;
    params.m_Width = settings::ReadInt(settings::Id::ScreenW);
    params.m_Height = settings::ReadInt(settings::Id::ScreenH);
    params.m_Windowed = settings::ReadInt(settings::Id::Fullscreen) == 0;
    params.m_Bits = settings::ReadInt(settings::Id::Bits);
    params.m_UpdateCallback = UpdateFrame;
    params.m_FixedStep = 0.025f;

    if (!gameloop::ReadScripts(&g_LuaState)) return FailStart(kScriptsBox);
    g_Difficulty = settings::ReadInt(settings::Id::Difficulty);
    g_GameType = settings::ReadInt(settings::Id::GameType);
    g_FrameType = settings::ReadInt(settings::Id::FrameType);
    g_FrameOpacity = settings::ReadFloat(settings::Id::FrameOpacity);
    g_bUserPlaylist = ReadIniInt("playlist.ini", "playlist", "num") != 0;
    g_FrameDetails = settings::ReadInt(settings::Id::FrameDetails);
    g_BlocksDetails = settings::ReadInt(settings::Id::BlocksDetails);
    g_CurrentScheme = g_DefaultScheme;

    InstallMenuManagerHooks();
    SetLoadingScreenProc(DrawLoadingScreen);
    InstallShellHooks();
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    if (!engine->SetGeneralParameters(&params))
        return FailStart("Couldn't initialize graphics engine.\n See log.html for detail.");
    engine->Pause();
    DrawClearedFrame(nullptr);

    CMeshManager::GetInstance()->SetMeshPath("data\\meshes");
    CFontManager* fonts = CFontManager::GetInstance();
    fonts->SetFontsPath("data\\fonts");
    CTextureManager* textures = CTextureManager::GetInstance();
    textures->SetTexturePath("data\\textures");
    if (!gameloop::LoadTexturedFont()) return FailStart("Couldn't load the font font.png.\n See log.html for detail.");
    DrawClearedFrame("Loading ... ");
    CShaderManager* shaders = CShaderManager::GetInstance();
    shaders->SetVertexShadersPath("data\\vertex_shaders");
    shaders->SetPixelShadersPath("data\\pixel_shaders");
    AddFontResourceA("data\\fonts\\aero.ttf");
    fonts->AddFont(&g_SystemFont, "Aero", 100, 0, true);
    RemoveFontResourceA("data\\fonts\\aero.ttf");
    textures->GetTexture(&g_IntroTexture, "intro.jpg", false, false, 0.0f);
    g_LoadingSprite.LoadSheet("time_rule.dds", 10, 71, 50, 50);
    g_LoadingSprite.SetColor(1.0f, 1.0f, 1.0f);
    g_LoadingSprite.SetAlpha(1.0f);
    g_LoadingSprite.SetScale(1.0f);
    g_LoadingSprite.SetPosition(0.95f, 0.95f);
    g_LoadingSprite.StopAnimation();

    g_ResCount = settings::ReadInt(settings::Id::ResCount);
    g_bLoadingScreen = true;
    g_LoadedResources = 0;
    LoadingProgressStep();
    // Made once so the first block drawn later does not stall; nothing reads it here.
    CTextureEntry* normalizationCube = nullptr;
    textures->CreateNormalizationCubeTexture(&normalizationCube);

    CSoundEngine* sound = CSoundEngine::GetInstance();
    sound->Start();
    sound->SetAudioPath("data\\audio");
    StartThemes();
    CMenuManager* menus = CMenuManager::GetInstance();
    menus->m_moveSound = sound->LoadSound("menu_move.wav");
    menus->m_clickSound = sound->LoadSound("menu_click.wav");
    menus->m_changeSound = sound->LoadSound("menu_change.wav");
    gameloop::CreateGameObjects();
    BindGameActions();
    BuildMenus();
    CHighscores::GetInstance()->Load();
    LoadStartTheme();
    if (g_bUserPlaylist) StartUserPlaylist();
    // The theme hands the audio folder back as the program folder; the game's sounds are not there.
    sound->SetAudioPath("data\\audio");
    g_GameOverSound = sound->LoadSound("gameover.wav");

    engine->Resume();
    settings::WriteInt(settings::Id::ResCount, g_LoadedResources);
    g_LoadedResources = g_ResCount;
    LoadingProgressStep();
    g_bLoadingScreen = false;
    textures->RemoveTexture(g_IntroTexture);
    g_IntroTexture = nullptr;
    return true;
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (StartApplication(instance)) RunMessageLoop();
    script::CloseState(g_LuaState);
    return 0;
}
