// The field's update step, the falling of blocks and the clearing of lines
// and colour runs.
#include <platform.h>

#include <cmath>
#include <cstdio>

#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Utils.h"
#include "game/AnimatedObjectList.h"
#include "game/BlockPart.h"
#include "game/BlockPartManager.h"
#include "game/FieldRules.h"
#include "game/FigureGenerator.h"
#include "game/FloatingMessage.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "game/Hud.h"

namespace {

const float kClearFallSpeed = 5.0f;

void AddMessage(const CFloatingMessage::Params& params) {
    CFloatingMessage* message = new CFloatingMessage();
    message->Start(params);
    CAnimatedObjectList::GetInstance()->Add(message);
}

// The praise for three lines or more, spoken, then the bonus line under it.
void Praise(const DWORD voices[3], int lines) {
    const int k = RandomInt(0, 3);
    if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) sound->PlaySoundScaled(voices[k], 1.0f, kGameSound);
    AddPraiseMessages(k, fieldrules::LineScore(lines));
}

}  // namespace

void AddPraiseMessages(int praise, int bonus) {
    static const char* const kPraise[] = {"outstanding !", "impressive!", "excellent !"};
    CFloatingMessage::Params p;
    p.font = g_TexturedFont;
    p.charWidth = p.charHeight = 0.09f;
    p.textColor = D3DXCOLOR(1.0f, 0.9f, 1.0f, 1.0f);
    p.currentColor = D3DXCOLOR(0.0f, 0.7f, 1.0f, 1.0f);
    p.traceDensity = 500.0f;
    p.traceLife = 0.4f;
    p.text = kPraise[praise >= 0 && praise < 3 ? praise : 0];
    p.k0 = D3DXCOLOR(1, 1, 1, 0);
    p.k1 = D3DXCOLOR(1, 1, 1, 1);
    p.k2 = D3DXCOLOR(1, 1, 1, 0);
    p.p0 = D3DXVECTOR2(0.0f, 0.06f);
    p.p1 = D3DXVECTOR2(0.37f, 0.06f);
    p.p2 = D3DXVECTOR2(1.0f, 0.06f);
    p.t0 = 1.0f;
    p.t1 = 3.0f;
    p.t2 = 1.0f;
    AddMessage(p);

    char text[32];
    snprintf(text, sizeof text, "bonus: %i", bonus);
    p.text = text;
    p.textColor = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    p.p0 = D3DXVECTOR2(1.0f, 0.13f);
    p.p1 = D3DXVECTOR2(0.5f, 0.13f);
    p.p2 = D3DXVECTOR2(0.0f, 0.13f);
    p.charWidth = p.charHeight = 0.05f;
    p.t0 = 1.5f;
    p.t1 = 2.7f;
    p.t2 = 1.0f;
    AddMessage(p);
}

void CGameField::Update() {
    CGameMode* mode = CGameMode::GetInstance();
    if (mode->menuState != CGameMode::kMenuClosed) return;

    if (m_flipRunning) UpdateFlip();

    CHud* hud = CHud::GetInstancePtr();
    const int level = hud ? hud->level : 1;
    m_wobbleInterval = 1.0f - float(level) / 20.0f;

    const float now = EngineTime();
    // A field without cells has no line to draw for a wobble.
    if (m_width > 0 && m_height > 0) {
        if (m_wobbleState == 0) {
            if (now - m_wobbleStart > m_wobbleInterval) {
                m_wobbleStart = now;
                m_wobbleState = RandomInt(1, 3);
                m_wobbleAxis = RandomInt(0, 2);
                m_wobbleDirection = RandomInt(0, 2) == 1;
                m_wobbleLine = m_wobbleState == 1 ? RandomInt(0, m_height) : RandomInt(0, m_width);
            }
        } else {
            const float t = (now - m_wobbleStart) / m_wobbleDuration;
            const float angle = m_wobbleDirection ? D3DX_PI / 2.0f : -D3DX_PI / 2.0f;
            D3DXQUATERNION q;
            if (m_wobbleAxis == 0)
                D3DXQuaternionRotationYawPitchRoll(&q, 0.0f, angle, 0.0f);
            else if (m_wobbleAxis == 1)
                D3DXQuaternionRotationYawPitchRoll(&q, angle, 0.0f, 0.0f);
            else
                D3DXQuaternionRotationYawPitchRoll(&q, 0.0f, 0.0f, angle);
            const bool row = m_wobbleState == 1;
            const int count = row ? m_width : m_height;
            const int limit = row ? m_height : m_width;
            if (m_wobbleLine >= 0 && m_wobbleLine < limit) {
                for (int i = 0; i < count; ++i) {
                    CFieldBlock& cell = row ? m_grid[m_wobbleLine][i] : m_grid[i][m_wobbleLine];
                    D3DXQUATERNION target;
                    D3DXQuaternionMultiply(&target, &cell.m_baseOrientation, &q);
                    if (t < 1.0f) {
                        D3DXQuaternionSlerp(&cell.m_orientation, &cell.m_baseOrientation, &target, t);
                    } else {
                        cell.m_orientation = target;
                        cell.m_baseOrientation = target;
                    }
                }
            }
            if (t >= 1.0f) {
                m_wobbleStart = now;
                m_wobbleState = 0;
            }
        }
    }

    for (int r = 0; r < m_height; ++r)
        for (int c = 0; c < m_width; ++c) {
            CFieldBlock& cell = m_grid[r][c];
            if (cell.IsEmpty()) continue;
            const float amplitude = cell.IsBlock() ? m_alpha : 1.0f;
            cell.m_waveOffset =
                D3DXVECTOR3(amplitude * m_ax * std::sin(m_bx * now + m_cx * float(c) + m_dx * float(r)), 0.0f, 0.0f);
        }

    CheckClears();
    AnimateFalling();
    CBlockPartManager::GetInstance()->Update();
    UpdateWorldMatrix();
    UpdateBlockMatrices();
}

bool CGameField::CheckClears() {
    if (g_GameType == kLineGame) return ClearLines();
    if (g_GameType == kColorGame) return ClearColorRuns();
    return false;
}

bool CGameField::HasMarkedBlocks() const { return fieldrules::HasMarkedBlocks(m_grid, m_width, m_height); }

bool CGameField::IsSettled() const { return fieldrules::Settled(m_grid, m_width, m_height); }

void CGameField::DestroyBlock(int x, int y, bool raise) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    CFieldBlock& cell = m_grid[y][x];
    if (!cell.IsBlock()) return;

    // The fragment copies the cell's place and colour before it is emptied.
    new CBlockPart(x, y);

    if (raise)
        for (int r = y - 1; r >= 0; --r) {
            CFieldBlock& above = m_grid[r][x];
            // As in CollapseColumns: nothing falls through a wall cell.
            if (above.IsWall()) break;
            if (above.IsBlock()) ++above.m_motionCounter;
        }
    cell.Reset();
}

void CGameField::AnimateFalling() {
    if (g_GameType == kColorGame)
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                if (m_grid[y][x].m_removalMark) return;
    fieldrules::FallStep(m_grid, m_width, m_height, m_fallSpeed * EngineStep(), m_blockSpacing.y);
}

bool CGameField::ClearLines() {
    if (!IsSettled()) return false;
    const int lines = g_GameType == kLineGame ? fieldrules::MarkFullLines(m_grid, m_width, m_height) : 0;
    if (lines == 0) return false;

    // The score goes to the HUD when there is one; clearing never makes one.
    CHud* hud = CHud::GetInstancePtr();
    if (hud) hud->AddScore(fieldrules::LineScore(lines));
    if (lines >= 3) Praise(m_sounds + 1, lines);
    if (hud) hud->lines += lines;
    return false;
}

bool CGameField::ClearColorRuns() {
    CollapseColumns(kClearFallSpeed);
    if (HasMarkedBlocks()) return true;

    const int marked = fieldrules::MarkColorRuns(m_grid, m_width, m_height);
    if (marked < 3) return false;

    // The chain lives in the generator and the score in the HUD; clearing makes neither.
    CFigureGenerator* generator = CFigureGenerator::GetInstancePtr();
    const int chain = generator ? ++generator->chainCount : 1;
    if (CHud* hud = CHud::GetInstancePtr()) {
        hud->AddScore(fieldrules::ColorRunScore(marked));
        hud->AddScore(fieldrules::ChainBonus(chain));
    }
    return true;
}
