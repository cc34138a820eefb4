#pragma once

#include "engine/Singleton.h"

// The application mode. An open menu over a running game is the pause.
class CGameMode : public CSingleton<CGameMode> {
public:
    enum { kNoGame = 1, kGameRunning = 2 };
    enum { kMenuClosed = 0, kMenuOpening = 1, kMenuClosing = 2, kMenuOpen = 3 };
    enum { kIdle = 0, kFieldAppearing = 1, kPlaying = 2, kFieldDisappearing = 3 };

    static CGameMode* GetInstance();
    CGameMode();
    ~CGameMode() override;

    int mode = kNoGame;
    int menuState = kMenuOpen;
    int gameState = kIdle;
};
