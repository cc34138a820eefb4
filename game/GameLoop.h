#pragma once

#include <string>

struct lua_State;

// The game's start, update step, new game and teardown, written once for the
// shell, the headless tests and the bench. The shell's parts (pointer, menus,
// theme manager, what follows the field's animations, game over) belong to a
// layer above game play and come in as hooks; an unset hook does nothing.
namespace gameloop {

typedef void (*Hook)();

struct ShellHooks {
    Hook makePointer = nullptr;          // in CreateGameObjects, after the generator
    Hook updatePointer = nullptr;        // after the keyboard
    Hook updateMenus = nullptr;          // after the frame's transforms
    Hook fieldAppeared = nullptr;        // the appear animation ended, game state is 2: play starts
    Hook fieldDisappeared = nullptr;     // the disappear animation ended, game state is 0
    Hook gameOver = nullptr;             // the figure script refused the next figure
    Hook deleteThemeManager = nullptr;   // in the teardown, after the animated objects
    Hook deletePointer = nullptr;        // after the theme manager
};

// Replaces every hook; the game-over hook of the figure step among them.
void SetShellHooks(const ShellHooks& hooks);

// The start, in the shell's order: ReadScripts; then, with the engine and its
// data folders up, LoadTexturedFont; later CreateGameObjects, and the actions
// are bound after it.

constexpr char kGeneralInit[] = "data\\scripts\\general\\init.txt";

// Opens the general state (bare libraries, the general budget) into *general,
// registers the general interface, runs initPath and reads the four script
// paths it sets. False when the state does not open or a path is missing (the
// log names it); an opened state stays in *general for the caller to close.
bool ReadScripts(lua_State** general, const std::string& initPath = kGeneralInit);

// font.png through the font manager, which owns it, into g_TexturedFont, with
// its glyph table. False when it does not load.
bool LoadTexturedFont();

// Field, frame and its script's init, figure generator, the shell's pointer,
// HUD, then the mouse's sensitivity.
void CreateGameObjects();

// One fixed step: mouse, keyboard, pointer, animated objects, sound, HUD,
// figure step, field, frame transforms, menus, particles; then the field's
// appear or disappear animation as the game state asks.
void UpdateStep();

// Field, frame, generator and HUD back to a game's start, in that order.
void ResetGameObjects();

// Play starts: mode 2, the rules from game_NewGame of the general state, the
// objects reset. A failed read keeps the previous rules whole and play goes on
// with them; the result says whether the rules were read.
bool NewGame(lua_State* general);

// Deletes game play's singletons in the shutdown order, the shell's theme
// manager and pointer between them; one never made is skipped.
void DeleteGamePlay();

// The whole teardown after game play: the user's playlist player when
// userPlaylist (its destructor records the song), the sound engine, and the
// graphics engine last.
void Teardown(bool userPlaylist);

}  // namespace gameloop
