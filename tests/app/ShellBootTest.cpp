// The headless harness starts a game as the program does: the program's own
// start-up on the null device is the reference.
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <gamefieldhooks.h>
#include <platform.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/Highscores.h"
#include "app/Shutdown.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "engine/Font.h"
#include "engine/Mesh.h"
#include "engine/Mouse.h"
#include "engine/TextureEntry.h"
#include "game/VarFrame.h"
#include "support/EngineSupport.h"
#include "support/HeadlessGame.h"

namespace {

std::string Base(const char* path) {
    const std::string p = path ? path : "";
    return p.substr(p.find_last_of("\\/") + 1);
}

// What a start leaves behind for game play.
std::string GameObjects() {
    std::ostringstream s;
    s << "scripts " << g_FigureScriptPath << " " << g_FieldScriptPath << " " << g_FrameScriptPath << " "
      << g_FieldAnimScriptPath << "\n";
    if (CGameField* f = CGameField::GetInstancePtr()) s << "field " << f->m_width << "x" << f->m_height << "\n";
    if (CVarFrame* f = CVarFrame::GetInstancePtr()) {
        s << "frame";
        for (CMesh* m : f->segmentMeshes) s << " " << (m ? m->GetName() : "-");
        s << " " << (f->texture ? Base(f->texture->m_Path) : "-") << " " << f->segmentSize.x << " "
          << f->segmentedDiffuse.g << "\n";
    }
    if (CFigureGenerator::GetInstancePtr()) s << "generator\n";
    if (CHud* h = CHud::GetInstancePtr()) s << "hud " << (h->scoreBarFrame ? Base(h->scoreBarFrame->m_Path) : "-") << "\n";
    if (g_TexturedFont) {
        const CGlyphRect* a = g_TexturedFont->FindGlyph('A');
        s << "font " << g_TexturedFont->GetName() << " " << (a ? a->m_Width : -1) << "\n";
    }
    if (CMouse* m = CMouse::GetInstancePtr()) s << "mouse " << m->GetSensitivity() << "\n";
    return s.str();
}

std::vector<std::string> Lines(const testutil::LogTail& log) {
    std::vector<std::string> lines;
    for (const testutil::LogEntry& e : log.Entries()) lines.push_back(e.colour + (e.bold ? " bold " : " ") + e.text);
    return lines;
}

TEST(ShellBoot, HarnessBootsWhatTheProgramBoots) {
    std::string programObjects;
    std::vector<std::string> programLines;
    {
        testutil::TempDir dir;
        testutil::MakeGameFolder(dir.path());
        testutil::ScopedCwd cwd(dir.path());
        setenv("KOLVAR_LAUNCHER", "start", 1);
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
        platform::SetFakeClock(true, 1000000000LL);
        platform::SetInputTestMode(true);
        EngineTimerRestart();
        gamefieldhooks::RearmConstruction();
        g_bShutdownDone = false;
        testutil::LogTail log;
        const bool started = StartApplication(nullptr);
        programLines = Lines(log);
        programObjects = GameObjects();
        ShutdownApplication();
        script::CloseState(g_LuaState);
        delete CHighscores::GetInstancePtr();
        g_bAppActive = false;
        unsetenv("KOLVAR_LAUNCHER");
        platform::SetInputTestMode(false);
        platform::SetFakeClock(false);
        d3d9hooks::ResetAll();
        ASSERT_TRUE(started);
    }
    headless::Game game;
    testutil::LogTail log;
    game.Boot();
    EXPECT_EQ(GameObjects(), programObjects);
    // Before the font the harness starts its engine its own way. From it on
    // each harness line is the program's, in its order, but for a resource the
    // shell had loaded before (logged once, there); within the run it matched
    // the program logs nothing more but the shell's pointer.
    const std::vector<std::string> lines = Lines(log);
    const std::string font = "darkgray Loading texture: (data\\textures\\font.png) complete.";
    const auto start = [&](const std::vector<std::string>& v) { return size_t(std::find(v.begin(), v.end(), font) - v.begin()); };
    ASSERT_LT(start(programLines), programLines.size());
    ASSERT_LT(start(lines), lines.size());
    std::vector<bool> matched(programLines.size());
    size_t at = start(programLines), first = programLines.size();
    for (size_t i = start(lines); i < lines.size(); ++i) {
        const auto found = std::find(programLines.begin() + long(at), programLines.end(), lines[i]);
        if (found == programLines.end()) {
            const auto earlier = programLines.begin() + long(at);
            EXPECT_TRUE(std::find(programLines.begin(), earlier, lines[i]) != earlier) << "not the program's: " << lines[i];
            continue;
        }
        at = size_t(found - programLines.begin());
        matched[at] = true;
        if (first == programLines.size() && i > start(lines)) first = at;
        ++at;
    }
    std::vector<std::string> missing;
    for (size_t i = first; i < at; ++i)
        if (!matched[i]) missing.push_back(programLines[i]);
    EXPECT_EQ(missing, std::vector<std::string>{"darkgray Loading texture: (data\\textures\\cursor.dds) complete."});
}

}  // namespace
