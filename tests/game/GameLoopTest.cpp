#include "game/AnimatedObjectList.h"
#include "game/BlockPartManager.h"
#include "game/BounceBombList.h"
#include "game/GameLoop.h"
#include "game/VarFrame.h"
#include "support/HeadlessGame.h"

namespace {

int g_appeared = 0;
int g_disappeared = 0;

// The field's animations hand over to the shell once each, with the game state already moved on.
TEST(GameLoop, FieldAnimationsEndThroughTheShellHooksOnce) {
    headless::Game game;
    game.Boot();
    game.NewGame(kLineGame, 1, 0, 3);
    gameloop::ShellHooks hooks;
    hooks.fieldAppeared = [] {
        ++g_appeared;
        EXPECT_EQ(CGameMode::GetInstance()->gameState, CGameMode::kPlaying);
    };
    hooks.fieldDisappeared = [] {
        ++g_disappeared;
        EXPECT_EQ(CGameMode::GetInstance()->gameState, CGameMode::kIdle);
    };
    gameloop::SetShellHooks(hooks);
    struct Case {
        int state;
        void (CGameField::*start)();
        int* calls;
        int after;
    } cases[] = {{CGameMode::kFieldAppearing, &CGameField::AppearStart, &g_appeared, CGameMode::kPlaying},
                 {CGameMode::kFieldDisappearing, &CGameField::DisappearStart, &g_disappeared, CGameMode::kIdle}};
    for (const Case& c : cases) {
        CGameMode* mode = CGameMode::GetInstance();
        mode->gameState = c.state;
        (CGameField::GetInstance()->*c.start)();
        while (mode->gameState == c.state && game.Steps() < 2000) game.Step();
        EXPECT_EQ(mode->gameState, c.after) << c.state;
        game.Step(5);
        EXPECT_EQ(*c.calls, 1) << c.state;
    }
}

// A played game leaves nothing of game play behind, nor does anything its teardown runs make one again.
TEST(GameLoop, DeleteGamePlayLeavesNoGamePlaySingleton) {
    headless::Game game;
    game.Boot();
    game.NewGame(kLineGame, 1, 0, 9);
    game.Press(DIK_SPACE);
    while (!game.Over() && game.Steps() < 4000) game.Step();
    ASSERT_TRUE(game.Over());
    CBlockPartManager::GetInstance();
    CBounceBombList::GetInstance();
    gameloop::DeleteGamePlay();
    EXPECT_FALSE(CAnimatedObjectList::HasInstance());
    EXPECT_FALSE(CVarFrame::HasInstance());
    EXPECT_FALSE(CGameField::HasInstance());
    EXPECT_FALSE(CFigureGenerator::HasInstance());
    EXPECT_FALSE(CGameMode::HasInstance());
    EXPECT_FALSE(CHud::HasInstance());
    EXPECT_FALSE(CBlockPartManager::HasInstance());
    EXPECT_FALSE(CBounceBombList::HasInstance());
}

}  // namespace
