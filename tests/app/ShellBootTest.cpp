// The headless harness starts a game as the program does: the program's own
// start-up on the null device is the reference.
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <gamefieldhooks.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/Highscores.h"
#include "app/Shutdown.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "engine/Font.h"
#include "engine/FontManager.h"
#include "engine/MenuHooks.h"
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
    if (CHud* h = CHud::GetInstancePtr())
        s << "hud " << (h->scoreBarFrame ? Base(h->scoreBarFrame->m_Path) : "-") << "\n";
    if (g_TexturedFont) {
        const CGlyphRect* a = g_TexturedFont->FindGlyph('A');
        // The font manager owns it: the program's holds the system font besides.
        const bool managed = CFontManager::HasInstance() && CFontManager::GetInstance()->GetFontCount() > 0;
        s << "font " << g_TexturedFont->GetName() << " " << (a ? a->m_Width : -1) << (managed ? " managed" : "") << "\n";
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
        enginescope::Sweep leftovers;
        leftovers.Track<CHighscores>();
        setenv("KOLVAR_LAUNCHER", "start", 1);
        testutil::FakePlatform fake(d3d9hooks::Backend::Null, true);
        gamefieldhooks::RearmConstruction();
        g_bShutdownDone = false;
        testutil::LogTail log;
        const bool started = StartApplication(nullptr);
        programLines = Lines(log);
        programObjects = GameObjects();
        ShutdownApplication();
        script::CloseState(g_LuaState);
        leftovers.Now();  // the table, and what a failed start left
        SetMenuManagerHooks(nullptr, nullptr);  // game tests boot without the shell's menus
        g_bAppActive = false;
        unsetenv("KOLVAR_LAUNCHER");
        ASSERT_TRUE(started);
    }
    headless::Game game;
    testutil::LogTail log;
    game.Boot();
    EXPECT_EQ(GameObjects(), programObjects);
    // The shared steps' lines, from the textured font on (before it the harness
    // starts its engine its own way): each harness line is the program's, in the
    // program's order, or that of a resource the shell had loaded earlier (logged
    // once, there). In the stretch they cover the program adds only the pointer.
    const std::vector<std::string> lines = Lines(log);
    const std::string font = "darkgray Loading texture: (data\\textures\\font.png) complete.";
    const size_t programFont = std::find(programLines.begin(), programLines.end(), font) - programLines.begin();
    const size_t harnessFont = std::find(lines.begin(), lines.end(), font) - lines.begin();
    ASSERT_LT(programFont, programLines.size());
    ASSERT_LT(harnessFont, lines.size());
    std::vector<bool> matched(programLines.size());
    size_t at = programFont, first = programLines.size();
    for (size_t i = harnessFont; i < lines.size(); ++i) {
        const auto from = programLines.begin() + long(at);
        const auto found = std::find(from, programLines.end(), lines[i]);
        if (found == programLines.end()) {
            EXPECT_NE(std::count(programLines.begin(), from, lines[i]), 0) << "not the program's: " << lines[i];
            continue;
        }
        at = size_t(found - programLines.begin());
        matched[at] = true;
        if (i > harnessFont && first == programLines.size()) first = at;
        ++at;
    }
    std::vector<std::string> added;
    for (size_t i = first; i < at; ++i)
        if (!matched[i]) added.push_back(programLines[i]);
    EXPECT_EQ(added, std::vector<std::string>{"darkgray Loading texture: (data\\textures\\cursor.dds) complete."});
}

}  // namespace
