#include "app/InputScript.h"

#include <dinput.h>
#include <platform.h>
#include <testaid.h>
#include <winuser.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/MainLoop.h"
#include "app/WindowProc.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "game/GameMode.h"

namespace {

struct KeyName {
    const char* name;
    int dik;
    unsigned vk;
    int character;  // 0: no WM_CHAR
};

const KeyName kKeys[] = {
    {"left", DIK_LEFT, VK_LEFT, 0},
    {"right", DIK_RIGHT, VK_RIGHT, 0},
    {"up", DIK_UP, VK_UP, 0},
    {"down", DIK_DOWN, VK_DOWN, 0},
    {"space", DIK_SPACE, VK_SPACE, ' '},
    {"enter", DIK_RETURN, VK_RETURN, '\r'},
    {"escape", DIK_ESCAPE, VK_ESCAPE, 27},
    {"backspace", DIK_BACK, VK_BACK, 8},
    {"f1", DIK_F1, VK_F1, 0},
    {"f12", DIK_F12, VK_F12, 0},
    {"comma", DIK_COMMA, VK_OEM_COMMA, ','},
    {"period", DIK_PERIOD, VK_OEM_PERIOD, '.'},
};

// Scan codes of a to z.
const int kLetterDik[26] = {DIK_A, DIK_B, DIK_C, DIK_D, DIK_E, DIK_F, DIK_G, DIK_H, DIK_I, DIK_J, DIK_K, DIK_L, DIK_M,
                            DIK_N, DIK_O, DIK_P, DIK_Q, DIK_R, DIK_S, DIK_T, DIK_U, DIK_V, DIK_W, DIK_X, DIK_Y, DIK_Z};

const int64_t kPassNanoseconds = 1000000000LL / 60;

bool ParseCondition(const std::string& text, std::string& field, int& value) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) return false;
    field = text.substr(0, eq);
    if (field != "mode" && field != "gamestate" && field != "menustate") return false;
    char* end = nullptr;
    const long v = strtol(text.c_str() + eq + 1, &end, 10);
    if (end == text.c_str() + eq + 1 || *end) return false;
    value = int(v);
    return true;
}

bool ParseSeconds(std::istream& in, float& out) {
    std::string word;
    if (!(in >> word)) return false;
    char* end = nullptr;
    const double v = strtod(word.c_str(), &end);
    if (end == word.c_str() || *end || !(v >= 0.0) || v > 1e6) return false;
    out = float(v);
    return true;
}

// The running script.
struct Runner {
    std::vector<InputCommand> commands;
    size_t next = 0;
    double now = 0.0;          // fake seconds since the script began
    double commandStart = 0.0;
    double lastPress = -1e9;
    bool commandStarted = false;
    struct Held {
        int dik;
        double release;
    };
    std::vector<Held> held;
    std::string pendingScreenshot;
    bool screenshotRequested = false;
    bool timedOut = false;
    bool unfocused = false;  // the script has let the window go inactive and does nothing more
};

Runner* g_runner = nullptr;

int Field(const std::string& field) {
    CGameMode* mode = CGameMode::GetInstancePtr();
    if (!mode) return -1;
    if (field == "mode") return mode->mode;
    if (field == "gamestate") return mode->gameState;
    return mode->menuState;
}

void SendToWindow(UINT message, WPARAM wParam) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    WndProc(engine ? engine->GetWindow() : nullptr, message, wParam, 0);
}

void Press(Runner& r, const std::string& name, float hold) {
    int dik = 0, character = 0;
    unsigned vk = 0;
    if (!LookUpScriptKey(name, &dik, &vk, &character)) return;
    platform::testaid::PressKey(dik, true);
    // At least one whole update step sees the key down.
    r.held.push_back({dik, r.now + (hold > 0.05f ? hold : 0.05)});
    SendToWindow(WM_KEYDOWN, vk);
    if (character) SendToWindow(WM_CHAR, WPARAM(character));
}

void TimeOut(Runner& r, const InputCommand& c) {
    g_Log.PrintBold("red", "Error: input script timed out waiting for %s=%i", c.field.c_str(), c.value);
    fprintf(stderr, "kolvar: input script timed out waiting for %s=%i\n", c.field.c_str(), c.value);
    r.timedOut = true;
    r.next = r.commands.size();
    g_bExitRequested = true;
}

// True when the command is done.
bool Step(Runner& r, const InputCommand& c) {
    const double elapsed = r.now - r.commandStart;
    switch (c.kind) {
        case InputCommand::Wait:
            return elapsed >= c.seconds;
        case InputCommand::Press:
            Press(r, c.key, c.seconds);
            return true;
        case InputCommand::Type:
            for (char ch : c.text) SendToWindow(WM_CHAR, WPARAM(static_cast<unsigned char>(ch)));
            return true;
        case InputCommand::WaitUntil:
            if (Field(c.field) == c.value) return true;
            if (elapsed > c.timeout) TimeOut(r, c);
            return false;
        case InputCommand::PressUntil:
            if (Field(c.field) == c.value) return true;
            if (elapsed > c.timeout) {
                TimeOut(r, c);
                return false;
            }
            if (r.now - r.lastPress >= c.seconds) {
                r.lastPress = r.now;
                Press(r, c.key, 0.0f);
            }
            return false;
        case InputCommand::Screenshot:
            // Done once the frame is on disk, so a following exit cannot swallow it.
            if (!r.screenshotRequested) {
                r.pendingScreenshot = c.text;
                r.screenshotRequested = true;
                return false;
            }
            if (!r.pendingScreenshot.empty()) return false;
            r.screenshotRequested = false;
            return true;
        case InputCommand::Exit:
            SendToWindow(WM_KEYDOWN, VK_F12);
            return true;
        case InputCommand::Unfocus:
            r.unfocused = true;
            r.next = r.commands.size();
            SendToWindow(WM_ACTIVATEAPP, FALSE);
            g_Log.Print("gray", "input script: the window lost the focus");
            return true;
    }
    return true;
}

void OnIdlePass() {
    Runner& r = *g_runner;
    if (r.unfocused) return;
    platform::AdvanceFakeClock(kPassNanoseconds);
    r.now += 1.0 / 60.0;
    for (size_t i = 0; i < r.held.size();) {
        if (r.now >= r.held[i].release) {
            platform::testaid::PressKey(r.held[i].dik, false);
            r.held.erase(r.held.begin() + long(i));
        } else {
            ++i;
        }
    }
    while (r.next < r.commands.size()) {
        if (!r.commandStarted) {
            r.commandStarted = true;
            r.commandStart = r.now;
            r.lastPress = -1e9;
        }
        if (!Step(r, r.commands[r.next])) break;
        ++r.next;
        r.commandStarted = false;
    }
}

void OnFramePresented() {
    Runner& r = *g_runner;
    if (r.pendingScreenshot.empty()) return;
    const char* dir = getenv("KOLVAR_SCREENSHOT_DIR");
    const std::string path = std::string(dir && *dir ? dir : ".") + "/" + r.pendingScreenshot + ".png";
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    if (!engine || !platform::testaid::CaptureBackBuffer(engine->GetDevice(), path.c_str()))
        fprintf(stderr, "kolvar: could not write screenshot %s\n", path.c_str());
    r.pendingScreenshot.clear();
}

}  // namespace

bool LookUpScriptKey(const std::string& name, int* dik, unsigned* vk, int* character) {
    for (const KeyName& k : kKeys)
        if (name == k.name) {
            *dik = k.dik;
            *vk = k.vk;
            *character = k.character;
            return true;
        }
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') {
        *dik = kLetterDik[name[0] - 'a'];
        *vk = unsigned('A' + (name[0] - 'a'));
        *character = name[0];
        return true;
    }
    return false;
}

bool ParseInputScript(const std::string& text, std::vector<InputCommand>& out, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    out.clear();
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream in(line);
        std::string verb;
        if (!(in >> verb) || verb[0] == '#') continue;
        InputCommand c;
        bool ok = true;
        int dik = 0, ch = 0;
        unsigned vk = 0;
        if (verb == "wait") {
            c.kind = InputCommand::Wait;
            ok = ParseSeconds(in, c.seconds);
        } else if (verb == "press") {
            c.kind = InputCommand::Press;
            ok = bool(in >> c.key) && LookUpScriptKey(c.key, &dik, &vk, &ch);
            std::string rest;
            if (ok && (in >> std::ws, !in.eof())) ok = ParseSeconds(in, c.seconds);
        } else if (verb == "type") {
            c.kind = InputCommand::Type;
            std::getline(in >> std::ws, c.text);
            ok = !c.text.empty();
        } else if (verb == "wait_until") {
            c.kind = InputCommand::WaitUntil;
            std::string cond;
            ok = bool(in >> cond) && ParseCondition(cond, c.field, c.value) && ParseSeconds(in, c.timeout);
        } else if (verb == "press_until") {
            c.kind = InputCommand::PressUntil;
            std::string cond;
            ok = bool(in >> c.key) && LookUpScriptKey(c.key, &dik, &vk, &ch) && ParseSeconds(in, c.seconds) &&
                 bool(in >> cond) && ParseCondition(cond, c.field, c.value) && ParseSeconds(in, c.timeout);
        } else if (verb == "screenshot") {
            c.kind = InputCommand::Screenshot;
            ok = bool(in >> c.text) && c.text.find('/') == std::string::npos;
        } else if (verb == "exit") {
            c.kind = InputCommand::Exit;
        } else if (verb == "unfocus") {
            c.kind = InputCommand::Unfocus;
        } else {
            ok = false;
        }
        std::string extra;
        if (ok && c.kind != InputCommand::Type && (in >> extra)) ok = false;
        if (!ok) {
            error = "line " + std::to_string(number) + ": cannot read '" + line + "'";
            return false;
        }
        out.push_back(c);
    }
    return true;
}

bool StartInputScript(const char* path) {
    if (!path || !*path) return true;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        fprintf(stderr, "kolvar: cannot read input script %s\n", path);
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    static Runner runner;
    std::string error;
    if (!ParseInputScript(text.str(), runner.commands, error)) {
        fprintf(stderr, "kolvar: input script %s, %s\n", path, error.c_str());
        return false;
    }
    g_runner = &runner;
    // A leading screenshot takes the first loading-screen frame.
    while (runner.next < runner.commands.size() && runner.commands[runner.next].kind == InputCommand::Screenshot)
        runner.pendingScreenshot = runner.commands[runner.next++].text;
    platform::SetFakeClock(true, 0);
    platform::testaid::UseInjectedInput();
    SetIdlePassHook(OnIdlePass);
    SetFramePresentedHook(OnFramePresented);
    return true;
}

bool InputScriptRunning() { return g_runner != nullptr && !g_runner->unfocused; }

int InputScriptExitCode(int gameResult) { return g_runner && g_runner->timedOut ? 3 : gameResult; }
