#pragma once

#include <string>
#include <vector>

// The scripted-input test aid (KOLVAR_INPUT_SCRIPT): the game runs on the fake
// clock, 1/60 s per idle pass of the loop, so a scripted run is the same on every
// machine. One command a line:
//   wait <s> | press <key> [<s held>] | type <text> | screenshot <name> | exit
//   unfocus (the window loses the focus as to another window; the script ends)
//   wait_until <mode|gamestate|menustate>=<n> <timeout>
//   press_until <key> <interval> <condition> <timeout>
struct InputCommand {
    enum Kind { Wait, Press, Type, WaitUntil, PressUntil, Screenshot, Exit, Unfocus } kind = Wait;
    std::string key;      // Press, PressUntil
    std::string text;     // Type, Screenshot
    std::string field;    // WaitUntil, PressUntil: mode, gamestate or menustate
    int value = 0;
    float seconds = 0.0f;  // Wait, the hold of Press, the interval of PressUntil
    float timeout = 0.0f;
};

// Parses a script; false with the line's number and reason in error.
bool ParseInputScript(const std::string& text, std::vector<InputCommand>& out, std::string& error);

// Key names the scripts use; false for an unknown name.
bool LookUpScriptKey(const std::string& name, int* dik, unsigned* vk, int* character);

// Reads and installs the script at path (null or empty: inert). False when it cannot be read.
bool StartInputScript(const char* path);
// True once a script is installed, until it gives up the focus.
bool InputScriptRunning();
// The process's exit code: 3 after a timed-out wait, else the game's.
int InputScriptExitCode(int gameResult);
