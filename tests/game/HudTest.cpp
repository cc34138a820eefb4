// The HUD's step: score roll-up, levels and their announcements, the rotation
// bonus, the bonus period with its ticks, flags and bars; and what the panel
// asks of the device.
#include "tests/game/HudTestEnv.h"

#include <d3d9hooks.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/TextureEntry.h"
#include "tests/engine/TextFit.h"

namespace {

using hudtest::HudTest;

// The sprite draws logged since the last clear at this scale, as "{sx,sy}".
std::vector<std::string> SpriteDraws(const char* scale) {
    std::vector<std::string> draws;
    for (const std::string& call : d3d9hooks::CallsStartingWith("ID3DXSprite.Draw("))
        if (call.find(scale) != std::string::npos) draws.push_back(call);
    return draws;
}

TEST_F(HudTest, ShownScoreRollsUpAndFollowsALowerScoreAtOnce) {
    StartGame();
    m_hud->score = 250;
    Step();
    EXPECT_FLOAT_EQ(m_hud->displayedScore, 9.375f);
    // Within 10 points it grows 0.625 per step and stops exactly at the score.
    m_hud->displayedScore = 241.0f;
    Step();
    EXPECT_FLOAT_EQ(m_hud->displayedScore, 241.625f);
    Step(20);
    EXPECT_EQ(m_hud->displayedScore, 250.0f);
    m_hud->score = 100;
    Step();
    EXPECT_EQ(m_hud->displayedScore, 100.0f);
}

TEST_F(HudTest, LevelRisesOnePerStepAndIsAnnouncedTheStepAfter) {
    StartGame();
    Step();
    m_sounds.Clear();
    const size_t before = Messages().size();

    Score(2500);
    Step();
    EXPECT_EQ(m_hud->level, 2);
    EXPECT_EQ(Messages().size(), before);
    Step();
    EXPECT_EQ(m_hud->level, 3);
    ASSERT_EQ(Messages().size(), before + 1);
    EXPECT_EQ(Messages().back(), "Level 2");
    Step();
    EXPECT_EQ(m_hud->level, 3);  // 3000 not reached
    EXPECT_EQ(Messages().back(), "Level 3");
    EXPECT_EQ(m_sounds.Played(), (std::vector<std::string>{"next_level.wav", "next_level.wav"}));
}

TEST_F(HudTest, FirstLevelIsAnnouncedWithTheBounceBombHintsOnceTheMenuCloses) {
    g_BounceBombsLeft = 0;
    StartGame(CGameMode::kMenuOpen);
    Step(5);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(m_sounds.Played().empty());
    CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
    Step();
    EXPECT_EQ(Messages(), (std::vector<std::string>{"You have <0> bounce bombs", "Press \"Enter\" to activate",
                                                   "Level 1"}));
    EXPECT_EQ(m_sounds.Played(), (std::vector<std::string>{"next_level.wav"}));
    Step(10);
    EXPECT_EQ(Messages().size(), 3u);
}

TEST_F(HudTest, RotationBonusNeedsAFullRotateScoreEachTime) {
    g_GameRules.rotateScore = 1000.0f;
    g_GameRules.levelScore = 1.0e6f;
    StartGame();
    Step();
    m_sounds.Clear();
    struct Case {
        int shown;
        bool granted;
    };
    int grants = 0;
    for (const Case& c : {Case{999, false}, Case{1000, true}, Case{1999, false}, Case{2000, true}}) {
        CGameField* field = CGameField::GetInstance();
        field->m_flipPending = false;
        m_sounds.Clear();
        Score(c.shown);
        Step();
        grants += c.granted;
        EXPECT_EQ(field->m_flipPending, c.granted) << c.shown;
        EXPECT_EQ(m_sounds.Played(), c.granted ? std::vector<std::string>{"voice4.wav"} : std::vector<std::string>{})
            << c.shown;
        const std::vector<std::string> texts = Messages();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "Rotation bonus !"), grants) << c.shown;
    }
}

// Steps of 1/32 s keep the float engine time exact, so the whole seconds of
// the period fall on steps as they would on paper.
class HudExactClockTest : public HudTest {
protected:
    double StepSeconds() const override { return 1.0 / 32.0; }
};

TEST_F(HudExactClockTest, PeriodTicksForItsLastSecondsThenEndsWithTheDrop) {
    g_GameRules.levelScore = 1.0e6f;
    StartGame();
    m_sounds.Clear();
    std::vector<std::pair<int, std::string>> heard;
    for (int step = 1; step <= 32 * 31; ++step) {
        Step();
        for (const std::string& name : m_sounds.Played()) heard.emplace_back(step, name);
        m_sounds.Clear();
        if (step == 32 * 27) {
            EXPECT_TRUE(m_hud->ticking);
        }
    }
    // Silent when the warning opens at 27 s; ticks at 28 and 29 s; at 30 s the
    // tick comes before the drop. The next period is only a second old.
    const std::vector<std::pair<int, std::string>> expected = {
        {32 * 28, "timer.wav"}, {32 * 29, "timer.wav"}, {32 * 30, "timer.wav"}, {32 * 30, "drop.wav"}};
    EXPECT_EQ(heard, expected);
    EXPECT_FALSE(m_hud->ticking);
    EXPECT_FLOAT_EQ(m_engine->GetTime() - m_hud->periodStart, 1.0f);
}

TEST_F(HudTest, PeriodEndEarnsExactlyOneObjectByItsPoints) {
    struct Case {
        int points;
        int icon;
    };
    for (const Case& c : {Case{0, 0}, Case{499, 0}, Case{500, 1}, Case{1499, 1}, Case{1500, 2}, Case{9000, 2}}) {
        gameloop::DeleteGamePlay();  // a new HUD and a fresh keeper of the requests
        m_hud = CHud::GetInstance();
        CFigureGenerator* g = CFigureGenerator::GetInstance();
        StartGame();
        Score(7 + c.points);
        m_hud->periodBase = 7;
        m_hud->periodStart = m_engine->GetTime() - 30.0f;
        Step();
        EXPECT_EQ(m_hud->bonusIcon, c.icon) << c.points;
        EXPECT_EQ(g->specialFigureFlag, c.icon == 0) << c.points;
        EXPECT_EQ(g->bombFlag, c.icon == 1) << c.points;
        EXPECT_EQ(g->sawFlag, c.icon == 2) << c.points;
        EXPECT_EQ(m_hud->periodBase, 7 + c.points) << c.points;
    }
}

TEST_F(HudTest, BarsFillTowardsTheBombThenTheSaw) {
    StartGame();
    struct Case {
        int points;
        float bar;
    };
    for (const Case& c : {Case{250, 0.25f}, Case{1000, 0.75f}, Case{2000, 1.0f}}) {
        Score(c.points);
        Step();
        EXPECT_FLOAT_EQ(m_hud->scoreBar, c.bar) << c.points;
    }
    m_hud->periodStart = m_engine->GetTime() + 0.025f - 15.01f;
    Step();
    EXPECT_NEAR(m_hud->timeBar, 0.5f, 0.001f);
    m_hud->DrawPanel();
    EXPECT_EQ(m_hud->timeGauge.GetCurrent(), 35);
}

TEST_F(HudTest, PeriodRunsUnderTheMenu) {
    StartGame();
    CFigureGenerator::GetInstance();  // the keeper of the requests
    CGameMode::GetInstance()->menuState = CGameMode::kMenuOpen;
    const float start = m_hud->periodStart;
    Step(1201);
    EXPECT_TRUE(CFigureGenerator::GetInstance()->specialFigureFlag);
    EXPECT_GT(m_hud->periodStart, start);
}

TEST_F(HudTest, NothingButTheShownScoreRunsWithoutAGame) {
    StartGame();
    CFigureGenerator::GetInstance();  // it would keep any request
    CGameMode::GetInstance()->mode = CGameMode::kNoGame;
    m_sounds.Clear();
    const float periodStart = m_hud->periodStart;
    m_hud->score = 5000;
    Step(1300);
    EXPECT_EQ(m_hud->displayedScore, 5000.0f);
    EXPECT_EQ(m_hud->level, 1);
    EXPECT_EQ(m_hud->periodStart, periodStart);
    EXPECT_TRUE(m_sounds.Calls().empty());
    EXPECT_FALSE(CFigureGenerator::GetInstance()->specialFigureFlag);
}

// The rules reader checks the rules; a reset before any were read (all zero)
// only keeps the clock and bars sound, and logs nothing.
TEST_F(HudTest, ResetKeepsItsArithmeticSoundWithoutALogLine) {
    struct Case {
        float bonusTime;
        int bomb, saw;
        float wantTime;
        int wantBomb, wantSaw;
    };
    for (const Case& c : {Case{0.0f, 0, 0, 30.0f, 1, 2}, Case{-5.0f, 700, 700, 30.0f, 700, 701},
                          Case{std::nanf(""), -3, 5, 30.0f, 1, 5}, Case{12.0f, 100, 200, 12.0f, 100, 200}}) {
        g_GameRules.bonusTime = c.bonusTime;
        g_GameRules.bombScore = c.bomb;
        g_GameRules.sawScore = c.saw;
        MarkLog();
        m_hud->Reset();
        EXPECT_EQ(m_hud->bonusTime, c.wantTime);
        EXPECT_EQ(m_hud->bombScore, c.wantBomb);
        EXPECT_EQ(m_hud->sawScore, c.wantSaw);
        EXPECT_TRUE(NewLog().empty()) << c.bomb;
    }
}

TEST_F(HudTest, AddScoreSaturatesInsteadOfWrapping) {
    struct Case {
        int32_t score, points, want;
    } cases[] = {
        {100, -30, 70},
        {INT32_MAX - 5, 10, INT32_MAX},
        {INT32_MIN + 5, -10, INT32_MIN},
        {INT32_MAX, INT32_MIN, -1},
    };
    for (const Case& c : cases) {
        m_hud->score = c.score;
        m_hud->AddScore(c.points);
        EXPECT_EQ(m_hud->score, c.want) << c.score << " + " << c.points;
    }
}

TEST(HudClock, HourAndMinuteArePaddedToTwoDigits) {
    EXPECT_EQ(CHud::ClockText(9, 5), "09:05");
}

TEST_F(HudTest, ScoreBarFillIsCutAtItsShareAndTheIconsStayAboveIt) {
    StartGame();
    m_hud->scoreBar = 0.5f;
    d3d9hooks::ClearCallLog();
    m_hud->DrawPanel();
    // The frame whole, then the fill cut to (0.1 + 0.9 * 0.5) of its 512 texels.
    const std::vector<std::string> bars = SpriteDraws("{0.384,0.384}"), icons = SpriteDraws("{0.512,0.512}");
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_NE(bars[0].find("(tex, NULL,"), std::string::npos) << bars[0];
    EXPECT_NE(bars[1].find("(tex, {0,0,281,64},"), std::string::npos) << bars[1];
    // The translation is the last pair of a call.
    auto top = [](const std::string& call) {
        float x = 0.0f, y = -1.0f;
        sscanf(call.c_str() + call.rfind('{'), "{%f,%f}", &x, &y);
        return y;
    };
    int iconHeight = 0;
    for (const CTextureEntry* t : {m_hud->figureIconOn, m_hud->figureIconOff, m_hud->bombIconOn, m_hud->bombIconOff,
                                   m_hud->sawIconOn, m_hud->sawIconOff})
        if (t) iconHeight = std::max(iconHeight, int(t->m_Height));
    ASSERT_GT(iconHeight, 0);
    ASSERT_EQ(icons.size(), 3u);
    for (const std::string& icon : icons) EXPECT_LE(top(icon) + 0.512f * iconHeight, top(bars[0])) << icon;
}

// Only the bomb's lit icon is in this texture folder.
class HudMissingIconsTest : public HudTest {
protected:
    std::string TextureFolder(const std::string& game) const override {
        testutil::WriteFile(m_Dir.file("bomb_on.png"), testutil::ReadFile(game + "/data/textures/bomb_on.png"));
        testutil::WriteFile(m_Dir.file("font.png"), testutil::ReadFile(game + "/data/textures/font.png"));
        return m_Dir.path();
    }
};

TEST_F(HudMissingIconsTest, IconsFollowTheBonusIconAndMissingOnesAreSkipped) {
    StartGame();
    const int bombX = int((0.74f + 0.13f) * 1024);
    struct Case {
        int icon;
        size_t draws;
    };
    for (const Case& c : {Case{0, 0u}, Case{1, 1u}, Case{2, 0u}}) {
        m_hud->bonusIcon = c.icon;
        d3d9hooks::ClearCallLog();
        m_hud->DrawPanel();
        const std::vector<std::string> icons = SpriteDraws("{0.512,0.512}");
        ASSERT_EQ(icons.size(), c.draws) << c.icon;
        if (c.draws) {
            EXPECT_NE(icons[0].find("{" + std::to_string(bombX) + "."), std::string::npos) << icons[0];
        }
    }
}

// Everything the panel draws lies inside the screen at 4:3 and 16:9: both game
// types, every difficulty, the widest figures, the clock at its widest time;
// the announcements at their rest points.
class HudFitTest : public HudTest, public testing::WithParamInterface<textfit::ScreenMode> {};

TEST_P(HudFitTest, TextsStayOnTheScreen) {
    CGeneralParameters params;
    ASSERT_TRUE(m_engine->GetGeneralParameters(&params));
    params.m_Width = GetParam().width;
    params.m_Height = GetParam().height;
    ASSERT_TRUE(m_engine->SetGeneralParameters(&params));
    const float W = float(params.m_Width), H = float(params.m_Height);
    const int32_t figure = textfit::WidestFigure(g_TexturedFont);
    g_CurrentScheme.time_color = D3DXCOLOR(1.0f, 0.0f, 0.5f, 1.0f);  // tells the clock's glyphs apart
    g_GameRules.rotateScore = 1.0f;

    for (GameType type : {kLineGame, kColorGame}) {
        for (int difficulty = 0; difficulty < 4; ++difficulty) {
            SCOPED_TRACE(testing::Message() << "type " << type << ", difficulty " << difficulty);
            g_GameType = type;
            g_Difficulty = difficulty;
            StartGame();
            m_hud->lines = m_hud->level = figure;
            Score(figure);
            d3d9hooks::ClearCallLog();
            m_hud->DrawPanel();
            // Glyphs and the cut score bar: the quads with a source rectangle.
            int quads = 0;
            float clockX = -1.0f, clockScale = 0.0f;
            for (const std::string& call : d3d9hooks::CallsStartingWith("ID3DXSprite.Draw(tex, {")) {
                int l, t, r, b;
                float sx, sy, tx, ty;
                unsigned colour;
                ASSERT_EQ(sscanf(call.c_str(), "ID3DXSprite.Draw(tex, {%d,%d,%d,%d}, {%f,%f}, NULL, %*f, {%f,%f}, 0x%x)",
                                 &l, &t, &r, &b, &sx, &sy, &tx, &ty, &colour),
                          9)
                    << call;
                ++quads;
                EXPECT_TRUE(tx >= 0.0f && ty >= 0.0f && tx + (r - l) * sx <= W && ty + (b - t) * sy <= H) << call;
                if (colour == 0xffff0080u && clockX < 0.0f) clockX = tx, clockScale = sx;
            }
            EXPECT_GT(quads, 60);
            // The clock shows the time of day: the widest hour and minute from where it starts.
            ASSERT_GT(clockX, 0.0f);
            const float clockSize = clockScale * 1024.0f / (15.0f * W);
            float widest = 0.0f, w, h;
            for (int hour = 0; hour < 24; ++hour)
                for (int minute = 0; minute < 60; ++minute) {
                    g_TexturedFont->GetTextExtent(CHud::ClockText(hour, minute).c_str(), clockSize, clockSize, &w, &h,
                                                  0.0f);
                    widest = std::max(widest, w);
                }
            EXPECT_LE(clockX + widest, W);
        }
    }

    // The first level with its hints, the widest level, a rotation bonus.
    Step();
    m_hud->level = figure - 1;
    m_hud->LevelUp();
    Step();
    const std::vector<std::string> messages = Messages();
    for (const std::string& text : {std::string("Rotation bonus !"), "Level " + std::to_string(figure)})
        EXPECT_NE(std::find(messages.begin(), messages.end(), text), messages.end()) << text;
    for (const auto& object : CAnimatedObjectList::GetInstance()->GetObjects()) {
        const auto* message = dynamic_cast<CFloatingMessage*>(object.get());
        ASSERT_NE(message, nullptr);
        const CFloatingMessage::Params& p = message->GetParams();
        float w = 0.0f, h = 0.0f;
        g_TexturedFont->GetTextExtent(p.text.c_str(), p.charWidth, p.charHeight, &w, &h, 0.0f);
        EXPECT_TRUE(p.p1.x >= 0.0f && p.p1.y >= 0.0f && p.p1.x * W + w <= W && p.p1.y * H + h <= H) << p.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, HudFitTest, testing::ValuesIn(textfit::kModes));

}  // namespace
