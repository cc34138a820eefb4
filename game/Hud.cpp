#include "game/Hud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "audio/SoundEngine.h"
#include "engine/Font.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/ColorScheme.h"
#include "engine/TextureManager.h"
#include "game/AnimatedObjectList.h"
#include "game/FigureGenerator.h"
#include "game/FloatingMessage.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "game/HudRules.h"

bool g_LevelChanged = false;

namespace {


using hudrules::Trunc;

CTextureEntry* LoadHudTexture(const char* name) {
    CTextureEntry* entry = nullptr;
    CTextureManager::GetInstance()->LoadTexture(&entry, false, name, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE,
                                                0, nullptr, nullptr, false, 10.0f);
    return entry;
}

CTextureEntry* LoadBarTexture(const char* name) {
    CTextureEntry* entry = nullptr;
    CTextureManager::GetInstance()->GetTexture(&entry, name, false, false, 10.0f);
    return entry;
}

void PlayGameSound(DWORD sample) {
    if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) sound->PlaySoundScaled(sample, 1.0f, kGameSound);
}

}  // namespace

CHud* CHud::GetInstance() { return CSingleton<CHud>::GetInstance(); }

CHud::CHud()
    : score(0),
      displayedScore(0.0f),
      level(1),
      lines(0),
      bonusTime(0.0f),
      bombScore(0),
      sawScore(0),
      periodStart(0.0f),
      periodBase(0),
      warningLead(3.0f),
      lastTick(0.0f),
      tickInterval(1.0f),
      ticking(false),
      panelX(0.74f),
      panelY(0.75f) {
    figureIconOff = LoadHudTexture("figure_off.png");
    figureIconOn = LoadHudTexture("figure_on.png");
    bombIconOn = LoadHudTexture("bomb_on.png");
    bombIconOff = LoadHudTexture("bomb_off.png");
    sawIconOn = LoadHudTexture("saw_on.png");
    sawIconOff = LoadHudTexture("saw_off.png");
    scoreBarFrame = LoadBarTexture("score_line.png");
    scoreBarFill = LoadBarTexture("score_line_full.png");

    CSoundEngine* sound = CSoundEngine::GetInstance();
    tickSound = sound->LoadSound("timer.wav");
    periodEndSound = sound->LoadSound("drop.wav");
    levelSound = sound->LoadSound("next_level.wav");

    timeGauge.LoadSheet("time_rule.dds", 10, 71, 50, 50);
    timeGauge.SetColor(1.0f, 1.0f, 1.0f);
    timeGauge.SetAlpha(1.0f);
    timeGauge.SetScale(1.0f);
    timeGauge.SetPosition(panelX, panelY);
    timeGauge.StopAnimation();

    rotationSound = sound->LoadSound("voice4.wav");
}

CHud::~CHud() { timeGauge.Release(); }

void CHud::Reset() {
    score = 0;
    displayedScore = 0.0f;
    level = 0;
    lines = 0;
    LevelUp();
    rotationBase = 0;
    bonusTime = g_GameRules.bonusTime;
    bombScore = g_GameRules.bombScore;
    sawScore = g_GameRules.sawScore;
    // The period clock and the bars divide by these. The rules reader checks the
    // rules; this only covers a reset before any were read (all zero), quietly.
    if (!(bonusTime > 0.0f)) bonusTime = 30.0f;
    if (bombScore <= 0) bombScore = 1;
    if (sawScore <= bombScore) sawScore = bombScore == INT32_MAX ? INT32_MAX : bombScore + 1;
    periodStart = EngineTime();
    periodBase = Trunc(displayedScore);
}

void CHud::AddScore(int32_t points) {
    const int64_t sum = int64_t(score) + points;
    score = int32_t(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

void CHud::LevelUp() {
    ++level;
    g_LevelChanged = true;
}

namespace {

// The first level's two lines slide in from the left along the top and leave to the right.
const CHud::MessageStyle kBounceBombCountStyle = {0.04f, D3DXCOLOR(1.0f, 1.0f, 0.95f, 0.95f), 200.0f, 0.3f,
                                                  D3DXVECTOR2(0.2f, 0.06f), D3DXVECTOR2(0.36f, 0.06f),
                                                  D3DXVECTOR2(1.0f, 0.06f), 1.0f, 3.0f, 1.0f};
const CHud::MessageStyle kEnterHintStyle = {0.04f, D3DXCOLOR(0.95f, 1.0f, 1.0f, 0.95f), 200.0f, 0.3f,
                                            D3DXVECTOR2(0.2f, 0.095f), D3DXVECTOR2(0.38f, 0.095f),
                                            D3DXVECTOR2(1.0f, 0.095f), 1.0f, 3.0f, 1.0f};
// The level and the rotation bonus drop from the top edge and rise back.
const CHud::MessageStyle kLevelStyle = {0.07f, D3DXCOLOR(0.75f, 1.0f, 1.0f, 0.75f), 700.0f, 0.5f,
                                        D3DXVECTOR2(0.3f, 0.0f), D3DXVECTOR2(0.44f, 0.2f),
                                        D3DXVECTOR2(0.6f, 0.0f), 1.0f, 2.0f, 1.0f};
const CHud::MessageStyle kRotationBonusStyle = {0.07f, D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.75f), 700.0f, 0.5f,
                                                D3DXVECTOR2(0.36f, 0.0f), D3DXVECTOR2(0.36f, 0.3f),
                                                D3DXVECTOR2(0.36f, 0.0f), 1.0f, 2.0f, 1.0f};

}  // namespace

void CHud::Announce(const char* text, const MessageStyle& style) {
    CFloatingMessage::Params p;
    p.font = g_TexturedFont;
    p.charWidth = p.charHeight = style.charSize;
    p.textColor = style.color;
    p.currentColor = D3DXCOLOR(0.0f, 0.7f, 1.0f, 1.0f);
    p.traceDensity = style.traceDensity;
    p.traceLife = style.traceLife;
    p.text = text;
    p.k0 = D3DXCOLOR(1, 1, 1, 0);
    p.k1 = D3DXCOLOR(1, 1, 1, 1);
    p.k2 = D3DXCOLOR(1, 1, 1, 0);
    p.p0 = style.from;
    p.p1 = style.hold;
    p.p2 = style.to;
    p.t0 = style.inTime;
    p.t1 = style.holdTime;
    p.t2 = style.outTime;
    CFloatingMessage* message = new CFloatingMessage();
    message->Start(p);
    CAnimatedObjectList::GetInstance()->Add(message);
}

void CHud::RequestFieldFlip() {
    if (CGameField* field = CGameField::GetInstancePtr()) field->m_flipPending = true;
}

void CHud::Process() {
    CGameMode* gameMode = CGameMode::GetInstance();
    if (gameMode->mode != CGameMode::kGameRunning) {
        displayedScore = float(score);
        return;
    }

    if (gameMode->menuState == CGameMode::kMenuClosed && g_LevelChanged) {
        if (level == 1) {
            char text[64];
            snprintf(text, sizeof text, "You have <%i> bounce bombs", g_BounceBombsLeft);
            Announce(text, kBounceBombCountStyle);
            Announce("Press \"Enter\" to activate", kEnterHintStyle);
        }
        g_LevelChanged = false;
        PlayGameSound(levelSound);
        char text[32];
        snprintf(text, sizeof text, "Level %i", level);
        Announce(text, kLevelStyle);
    }

    // Roll the shown score up towards the score; a lower score shows at once.
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    displayedScore = hudrules::RollScore(displayedScore, score, engine ? engine->GetCurrentStep() : 0.0f);

    const int32_t shown = Trunc(displayedScore);
    if (hudrules::LevelReached(shown, level, g_GameRules.levelScore)) LevelUp();

    if (double(shown) - double(rotationBase) >= double(g_GameRules.rotateScore)) {
        rotationBase = shown;
        RequestFieldFlip();
        PlayGameSound(rotationSound);
        Announce("Rotation bonus !", kRotationBonusStyle);
    }

    const float now = EngineTime();
    const float elapsed = now - periodStart;
    if (elapsed >= bonusTime - warningLead) {
        if (!ticking) {
            ticking = true;
            lastTick = now;
        } else if (now - lastTick >= tickInterval) {
            lastTick = now;
            PlayGameSound(tickSound);
        }
    }
    timeBar = bonusTime > 0.0f ? std::fmin(elapsed / bonusTime, 1.0f) : 1.0f;

    const int64_t points = int64_t(shown) - int64_t(periodBase);
    const hudrules::BonusKind earned = hudrules::EarnedBonus(points, bombScore, sawScore);
    bonusIcon = earned;

    if (elapsed >= bonusTime) {
        PlayGameSound(periodEndSound);
        ticking = false;
        // The request goes to the generator when there is one; the HUD never makes one.
        if (CFigureGenerator* generator = CFigureGenerator::GetInstancePtr())
            (earned == hudrules::kSaw    ? generator->sawFlag
             : earned == hudrules::kBomb ? generator->bombFlag
                                         : generator->specialFigureFlag) = true;
        periodStart = now;
        periodBase = Trunc(displayedScore);
    }

    scoreBar = hudrules::ScoreBarFill(points, bombScore, sawScore);
}

std::string CHud::ClockText(long hour, long minute) {
    char text[32];
    snprintf(text, sizeof text, "%02ld:%02ld", hour, minute);
    return text;
}

void CHud::DrawSprite(CTextureEntry* texture, const RECT* source, float x, float y, float scaleX, float scaleY) {
    // A texture that failed to load is skipped, not drawn through.
    if (!texture || !texture->m_pTexture) return;
    D3DXVECTOR2 scaling(scaleX, scaleY), translation(x, y);
    CGraphicsEngine::GetInstance()->GetSprite()->Draw(texture->m_pTexture, source, &scaling, nullptr, 0.0f,
                                                      &translation, 0xFFFFFFFF);
}

void CHud::DrawPanel() {
    const CColorScheme scheme = g_CurrentScheme;
    CGameMode* gameMode = CGameMode::GetInstance();
    const bool menuClosed = gameMode->menuState == CGameMode::kMenuClosed;
    CFont* font = g_TexturedFont;
    auto text = [font](float x, float y, float size, const D3DXCOLOR& color, const std::string& s) {
        if (font) font->DrawText(x, y, size, size, D3DCOLOR(color), s.c_str(), 0, 0.0f);
    };
    auto number = [](int32_t v) { return std::to_string(v); };

    text(0.05f, 0.11f, 0.04f, scheme.next_color, "next: ");
    text(0.05f, 0.45f, 0.04f, scheme.score_color, "score: ");
    text(0.15f, 0.45f, 0.04f, scheme.score_value_color, number(Trunc(displayedScore)));
    text(0.05f, 0.49f, 0.04f, scheme.lines_color, "lines: ");
    text(0.15f, 0.49f, 0.04f, scheme.lines_value_color, number(lines));
    text(0.05f, 0.6f, 0.04f, scheme.level_color, "level: ");
    text(0.15f, 0.6f, 0.04f, scheme.level_value_color, number(level));
    if (menuClosed) {
        const time_t now = time(nullptr);
        struct tm local;
        localtime_r(&now, &local);
        text(0.83f, 0.1f, 0.05f, scheme.time_color, ClockText(local.tm_hour, local.tm_min));
        text(0.75f, 0.495f, 0.04f, scheme.game_type_color, "game type:");
        text(0.9f, 0.5f, 0.03f, scheme.game_type_value_color, kGameTypeLabels[g_GameType == kColorGame ? kColorGame : kLineGame]);
        text(0.75f, 0.555f, 0.04f, scheme.difficulty_color, "difficulty:");
        if (g_Difficulty >= 0 && g_Difficulty < 4)
            text(0.9f, 0.56f, 0.03f, scheme.difficulty_value_color, kDifficultyLabels[g_Difficulty]);
    }

    if (gameMode->mode == CGameMode::kNoGame || !menuClosed) return;

    timeGauge.SetCurrent(Trunc(float(timeGauge.GetNum() - 1) * timeBar));
    timeGauge.SetRotate(0.0f);
    timeGauge.Draw();

    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    ID3DXSprite* sprite = engine->GetSprite();
    if (!sprite || FAILED(sprite->Begin())) return;
    const float w = float(engine->GetScreenWidth()), h = float(engine->GetScreenHeight());
    const float px = panelX, py = panelY;
    const float barX = (px + 0.05f) * w, barY = (py + 0.032f) * h;
    const float barSx = 0.3f * w / 800.0f, barSy = 0.3f * h / 600.0f;
    DrawSprite(scoreBarFrame, nullptr, barX, barY, barSx, barSy);
    if (scoreBarFill) {
        RECT fill;
        fill.left = 0;
        fill.top = 0;
        fill.right = Trunc((0.1f + 0.9f * scoreBar) * scoreBarFill->m_Width);
        fill.bottom = Trunc(scoreBarFill->m_Height);
        DrawSprite(scoreBarFill, &fill, barX, barY, barSx, barSy);
    }
    const float iconSx = 0.4f * w / 800.0f, iconSy = 0.4f * h / 600.0f, iconY = (py - 0.02f) * h;
    DrawSprite(bonusIcon == 0 ? figureIconOn : figureIconOff, nullptr, (px + 0.06f) * w, iconY, iconSx, iconSy);
    DrawSprite(bonusIcon == 1 ? bombIconOn : bombIconOff, nullptr, (px + 0.13f) * w, iconY, iconSx, iconSy);
    DrawSprite(bonusIcon == 2 ? sawIconOn : sawIconOff, nullptr, (px + 0.2f) * w, iconY, iconSx, iconSy);
    sprite->End();
}
