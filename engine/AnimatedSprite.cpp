#include "engine/AnimatedSprite.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Sprite.h"
#include "engine/TextureManager.h"

namespace {
const size_t kMaxPadding = 259;

// A source rectangle edge, computed wide and kept within what a RECT holds.
LONG Edge(int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
}  // namespace

CAnimatedSprite::CAnimatedSprite() {}

int32_t CAnimatedSprite::ClampFrame(int32_t frame) const {
    if (m_FrameCount <= 0 || frame < 0) return 0;
    return frame < m_FrameCount ? frame : m_FrameCount - 1;
}

namespace {

// A step below 1 would never reach the last number.
int64_t Stride(int32_t step) { return step < 1 ? 1 : step; }

// The numbers first to last by the stride; one means the name without a number.
int64_t NumberCount(int32_t first, int32_t last, int32_t step) { return (int64_t(last) - first) / Stride(step) + 1; }

}  // namespace

int64_t CAnimatedSprite::NamesTried(int32_t first, int32_t last, int32_t step) {
    const int64_t count = NumberCount(first, last, step);
    return count == 1 ? 1 : std::clamp<int64_t>(count, 0, int64_t(kMaxFrames));
}

bool CAnimatedSprite::Load(const char* prefix, const char* extension, int32_t digits, int32_t first, int32_t last,
                           int32_t step) {
    CTextureManager* textures = CTextureManager::GetInstance();
    const std::string head = prefix ? prefix : "";
    const std::string tail = std::string(".") + (extension ? extension : "");
    const int64_t stride = Stride(step);
    const int64_t count = NumberCount(first, last, step);

    // Every frame, the single one too, is loaded unfiltered: the picture keeps
    // its size at the top-left, which is what the source rectangle expects.
    auto loadFrame = [&](const std::string& name) {
        CTextureEntry* entry = nullptr;
        if (textures->LoadTexture(&entry, false, name.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                  D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr,
                                  nullptr, false, 10.0f) &&
            entry) {
            m_Frames.push_back(entry);
        }
    };
    if (count == 1) {
        if (m_Frames.size() < kMaxFrames) loadFrame(head + tail);
    } else {
        // Numbers past the cap are not even tried: a script's range can reach four billion names.
        int64_t tried = 0;
        for (int64_t n = first; n <= last; n += stride, ++tried) {
            if (tried == int64_t(kMaxFrames) || m_Frames.size() >= kMaxFrames) {
                g_Log.PrintBold("red", "Error, animated sprite %s: no more than %u frames are loaded", head.c_str(),
                                unsigned(kMaxFrames));
                break;
            }
            std::string number = std::to_string(n);
            // No name longer than a path can hold is ever loaded, so the padding stops there.
            const size_t width = digits > 0 ? std::min<size_t>(size_t(digits), kMaxPadding) : 0;
            if (number.size() < width) number.insert(0, width - number.size(), '0');
            loadFrame(head + number + tail);
        }
    }
    // Frames that failed to load are left out; the count follows what is held.
    m_FrameCount = static_cast<int32_t>(m_Frames.size());
    m_CurrentFrame = ClampFrame(m_CurrentFrame);
    return true;
}

bool CAnimatedSprite::LoadSheet(const char* fileName, int32_t columns, int32_t frameCount, int32_t frameWidth,
                                int32_t frameHeight, CTextureEntry** taken) {
    if (taken) *taken = nullptr;
    // A failed load leaves the sheet held so far in place.
    CTextureManager* textures = CTextureManager::GetInstance();
    CTextureEntry* sheet = m_pSheetTexture;
    const bool loaded = textures->GetTexture(&sheet, fileName, false, false, 10.0f) && sheet;
    if (!SheetFits(sheet, columns, frameCount, frameWidth, frameHeight)) {
        if (loaded) textures->RemoveTexture(sheet);  // the use just taken goes back
        g_Log.PrintBold("red", "Error, sprite sheet %s: %d frames of %d x %d in %d columns do not fit the picture",
                        fileName ? fileName : "", frameCount, frameWidth, frameHeight, columns);
        return false;  // the sprite stays as it was
    }
    m_pSheetTexture = sheet;
    if (taken && loaded) *taken = sheet;
    m_SheetColumns = columns;
    m_FrameCount = frameCount;
    m_SheetFrameWidth = frameWidth;
    m_SheetFrameHeight = frameHeight;
    m_SheetMode = true;
    m_CurrentFrame = ClampFrame(m_CurrentFrame);
    return true;
}

bool CAnimatedSprite::SheetFits(const CTextureEntry* sheet, int32_t columns, int32_t frameCount, int32_t frameWidth,
                                int32_t frameHeight) {
    if (columns < 1 || frameCount < 0 || frameWidth < 1 || frameHeight < 1) return false;
    // Without a picture nothing is drawn, and there is nothing to measure against.
    if (!sheet || !sheet->m_pTexture) return true;
    const int64_t rows = (int64_t(frameCount) + columns - 1) / columns;
    const double width = std::max(sheet->m_Width, sheet->m_ImageWidth);
    const double height = std::max(sheet->m_Height, sheet->m_ImageHeight);
    return double(int64_t(columns) * frameWidth) <= width && double(rows * frameHeight) <= height;
}

void CAnimatedSprite::Draw() {
    CTextureEntry* entry;
    if (m_SheetMode) {
        entry = m_pSheetTexture;
        if (m_SheetColumns <= 0 || m_SheetFrameWidth <= 0 || m_SheetFrameHeight <= 0) return;
    } else {
        if (m_Frames.empty()) return;
        entry = m_Frames[ClampFrame(m_CurrentFrame)];
    }
    if (!entry || !entry->m_pTexture) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    ID3DXSprite* sprite = engine->GetSprite();
    if (!device || !sprite || FAILED(sprite->Begin())) return;

    const float sw = static_cast<float>(engine->GetScreenWidth());
    const float sh = static_cast<float>(engine->GetScreenHeight());
    D3DXVECTOR2 scaling(m_ScaleX * sw / 1024.0f, m_ScaleY * sh / 768.0f);
    D3DXVECTOR2 translation(m_PositionX * sw, m_PositionY * sh);
    D3DXVECTOR2 centre;
    RECT source;
    const int32_t frame = ClampFrame(m_CurrentFrame);
    if (m_SheetMode) {
        centre = D3DXVECTOR2(static_cast<float>(m_SheetFrameWidth / 2), static_cast<float>(m_SheetFrameHeight / 2));
        const int64_t column = frame % m_SheetColumns, row = frame / m_SheetColumns;
        source.left = Edge(column * m_SheetFrameWidth);
        source.top = Edge(row * m_SheetFrameHeight);
        source.right = Edge((column + 1) * m_SheetFrameWidth);
        source.bottom = Edge((row + 1) * m_SheetFrameHeight);
    } else {
        centre = D3DXVECTOR2(entry->m_ImageWidth / 2.0f, entry->m_ImageHeight / 2.0f);
        source.left = 0;
        source.top = 0;
        if (m_SizeWidth != 0 && m_SizeHeight != 0) {
            source.right = Edge(int64_t(m_SizeWidth) - 1);
            source.bottom = Edge(int64_t(m_SizeHeight) - 1);
        } else {
            source.right = static_cast<LONG>(entry->m_ImageWidth) - 1;
            source.bottom = static_cast<LONG>(entry->m_ImageHeight) - 1;
        }
    }
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const D3DCOLOR colour = D3DXCOLOR(m_Red, m_Green, m_Blue, m_Alpha);
    sprite->Draw(entry->m_pTexture, &source, &scaling, m_Centered ? &centre : nullptr, m_Rotation, &translation,
                 colour);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    sprite->End();
}

void CAnimatedSprite::Update() {
    if (!m_Animating) return;
    const float now = CGraphicsEngine::GetInstance()->GetTime();
    if (now - m_LastFrameTime < m_FrameInterval) return;
    m_LastFrameTime = now;
    bool wrapped = false;
    if (!m_DualDirection) {
        if (m_CurrentFrame + 1 < m_FrameCount) {
            ++m_CurrentFrame;
        } else {
            m_CurrentFrame = 0;
            wrapped = true;
        }
    } else if (m_Direction == 0) {
        if (m_CurrentFrame + 1 < m_FrameCount)
            ++m_CurrentFrame;
        else
            m_Direction = 1;
    } else {
        if (m_CurrentFrame - 1 < 1) {
            m_Direction = 0;
            wrapped = true;
        } else {
            --m_CurrentFrame;
        }
    }
    if (wrapped && m_AnimationCount != -1) {
        if (m_LoopsDone + 1 < m_AnimationCount) {
            ++m_LoopsDone;
        } else {
            m_Animating = false;
            m_LoopsDone = 0;
        }
    }
}

void CAnimatedSprite::SetAnimation(int32_t startFrame, float interval) {
    m_Animating = true;
    m_CurrentFrame = ClampFrame(startFrame);
    m_FrameInterval = interval;
    m_LastFrameTime = CGraphicsEngine::GetInstance()->GetTime();
}

void CAnimatedSprite::SetPosition(float x, float y) {
    m_PositionX = x;
    m_PositionY = y;
}

void CAnimatedSprite::SetScale(float scale) { m_ScaleX = m_ScaleY = scale; }

void CAnimatedSprite::SetScaleXY(float scaleX, float scaleY) {
    m_ScaleX = scaleX;
    m_ScaleY = scaleY;
}

void CAnimatedSprite::SetFirst() { m_CurrentFrame = 0; }

void CAnimatedSprite::SetLast() { m_CurrentFrame = ClampFrame(m_FrameCount - 1); }

void CAnimatedSprite::SetSize(int32_t width, int32_t height) {
    m_SizeWidth = width;
    m_SizeHeight = height;
}

void CAnimatedSprite::SetNext() {
    ++m_CurrentFrame;
    if (m_CurrentFrame >= m_FrameCount) m_CurrentFrame = 0;
}

void CAnimatedSprite::SetCurrent(int32_t frame) { m_CurrentFrame = ClampFrame(frame); }

void CAnimatedSprite::SetCentered(int32_t centered) { m_Centered = centered; }

void CAnimatedSprite::SetPrev() {
    --m_CurrentFrame;
    if (m_CurrentFrame <= 0) m_CurrentFrame = ClampFrame(m_FrameCount - 1);
}

void CAnimatedSprite::SetRotate(float angle) { m_Rotation = angle; }

void CAnimatedSprite::SetAnimationCount(int32_t count) {
    m_AnimationCount = count;
    m_LoopsDone = 0;
}

void CAnimatedSprite::SetDualDirection(int32_t dual) {
    m_DualDirection = dual != 0;
    m_Direction = 0;
}

void CAnimatedSprite::SetAlpha(float alpha) { m_Alpha = alpha; }

void CAnimatedSprite::SetColor(float red, float green, float blue) {
    m_Red = red;
    m_Green = green;
    m_Blue = blue;
    m_Alpha = 1.0f;
}

void CAnimatedSprite::StopAnimation() {
    m_Animating = false;
    m_LoopsDone = 0;
}

void CAnimatedSprite::Release() {
    // Without a manager the frames were unloaded with it already.
    CTextureManager* textures = CTextureManager::GetInstancePtr();
    if (textures)
        for (CTextureEntry* entry : m_Frames) textures->RemoveTexture(entry);
    m_Frames.clear();
    if (!m_SheetMode) {
        m_FrameCount = 0;
        m_CurrentFrame = 0;
    }
}
