// Field, frame and the figures in play, measured through a game session.
#include "game/BenchCases.h"

#include <cstdio>
#include <vector>

#include "common/BenchCommon.h"
#include "game/BlockPartManager.h"
#include "game/ColorFigure.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameSession.h"
#include "game/VarFrame.h"

namespace bench {

namespace {

struct Path {
    const char* name;
    DWORD vs, ps;
};
const Path kPaths[] = {{"2.0 path", D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0)},
                       {"low path", D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 0)}};

// Every playable cell holds a block; the four bottom lines are whole, every
// row above has one hole, so exactly those four clear.
int FillForFourLines(CGameField* field) {
    field->Clear();
    int lines = 0, blocks = 0;
    for (int y = field->m_height - 1; y >= 0; --y) {
        int playable = 0;
        for (int x = 0; x < field->m_width; ++x) playable += field->Cell(x, y).IsEmpty();
        if (playable == 0) continue;
        const bool whole = lines++ < 4;
        int seen = 0;
        for (int x = 0; x < field->m_width; ++x) {
            CFieldBlock& cell = field->Cell(x, y);
            if (!cell.IsEmpty()) continue;
            if (!whole && seen++ == (y % playable)) continue;
            cell.m_value = (x + y) % 7;
            ++blocks;
        }
    }
    return blocks;
}

int Marked(CGameField* field) {
    int n = 0;
    for (int y = 0; y < field->m_height; ++y)
        for (int x = 0; x < field->m_width; ++x) n += field->Cell(x, y).m_removalMark;
    return n;
}

}  // namespace

void RunFieldCase(int rounds) {
    for (const Path& path : kPaths) {
        GameSession session(path.vs, path.ps, 1);
        if (!session.Ok()) return;
        session.NewGame(kLineGame, 55);
        // Only the field and the frame move: no figure comes in.
        CGameMode::GetInstance()->mode = CGameMode::kNoGame;
        CGameField* field = CGameField::GetInstance();
        std::vector<double> draw, whole, empty;
        int blocks = 0, marked = 0, segments = 0;
        size_t fragments = 0, systems = 0;
        session.StepMs().clear();
        for (int r = 0; r < rounds; ++r) {
            blocks = FillForFourLines(field);
            session.Step();
            marked = Marked(field);
            for (int s = 0; s < 30; ++s) {
                session.Step();
                double w = 0;
                draw.push_back(session.Draw(true, true, false, true, &w));
                whole.push_back(w);
                empty.push_back(session.EmptyFrame());
                if (s == 15) {
                    fragments = CBlockPartManager::GetInstance()->parts.size();
                    systems = LiveParticleSystems();
                }
            }
        }
        segments = int(CVarFrame::GetInstance()->segments.size());
        const Figures d = Summarise(draw), w = Summarise(whole), e = Summarise(empty);
        const Figures u = Summarise(session.StepMs());
        printf("field, %s (GL 1024 x 768): %d blocks, %d marked at the clear, %d frame segments, "
               "mid-clear %zu fragments and %zu particle systems\n",
               path.name, blocks, marked, segments, fragments, systems);
        printf("  draw (frame, field, particles) %.3f ms mean, %.3f ms p95; update step %.3f ms mean, %.3f ms p95\n",
               d.mean, d.p95, u.mean, u.p95);
        printf("  whole frame %.3f ms = %.1f fps; empty frame %.3f ms = %.1f fps; ratio %.2f\n", w.mean,
               1000.0 / w.mean, e.mean, 1000.0 / e.mean, w.mean / e.mean);
    }
}

namespace {

// Steps a game of the given type, starting again at game over, with a new
// special figure asked for whenever the preview holds none.
void PlayAndMeasure(GameSession& session, GameType gameType, int steps, bool special, std::vector<double>& figures,
                    size_t* mostSystems) {
    session.NewGame(gameType, 321);
    session.Step(40);  // the first figure in and its trail laid
    session.StepMs().clear();
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    for (int i = 0; i < steps; ++i) {
        if (session.Over()) session.NewGame(gameType, 321 + unsigned(i));
        if (special) {
            auto* next = dynamic_cast<CColorFigure*>(generator->next);
            if (next && !next->special) generator->specialFigureFlag = true;
        }
        session.Step();
        figures.push_back(session.Draw(false, false, true, false));
        if (LiveParticleSystems() > *mostSystems) *mostSystems = LiveParticleSystems();
    }
}

}  // namespace

void RunFigureCases(int steps) {
    const struct {
        GameType gameType;
        bool special;
        const char* what;
    } kGames[] = {{kLineGame, false, "game step, line game (falling figure with trail, preview, field, frame"},
                  {kColorGame, true, "colour game step (special colour figures falling and in the preview, landed trails"}};
    for (const auto& game : kGames) {
        GameSession session(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), 1);
        if (!session.Ok()) return;
        std::vector<double> figures;
        size_t most = 0;
        PlayAndMeasure(session, game.gameType, steps, game.special, figures, &most);
        const Figures u = Summarise(session.StepMs()), f = Summarise(figures);
        printf("%s; up to %zu particle systems):\n", game.what, most);
        printf("  update step %.3f ms mean, %.3f ms p95 (aim 0.2 ms); figures' draw %.3f ms mean, %.3f ms p95\n",
               u.mean, u.p95, f.mean, f.p95);
    }
}

}  // namespace bench
