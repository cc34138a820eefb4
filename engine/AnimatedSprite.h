#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CTextureEntry;

// A screen sprite with frames, either numbered image files or cells of one
// sprite sheet, and timed playback. Positions are fractions of the screen;
// scales are for a 1024 x 768 screen.
class CAnimatedSprite {
public:
    CAnimatedSprite();

    void Draw();
    // At most this many frames are held, and one Load tries no more names.
    static constexpr size_t kMaxFrames = 4096;

    // Numbered frames prefix + number + "." + extension, first to last by step,
    // the number padded with zeros to `digits`; appended to the frames held.
    bool Load(const char* prefix, const char* extension, int32_t digits, int32_t first, int32_t last, int32_t step);
    // The file names such a Load tries, at most.
    static int64_t NamesTried(int32_t first, int32_t last, int32_t step);
    // A sheet of frameCount cells of frameWidth x frameHeight texels, `columns` per row.
    // A layout that does not fit the picture is refused (false, logged). `taken`,
    // when given, gets the entry whose use the sprite now holds from this call
    // (null when the picture did not load).
    bool LoadSheet(const char* fileName, int32_t columns, int32_t frameCount, int32_t frameWidth,
                   int32_t frameHeight, CTextureEntry** taken = nullptr);
    void Update();
    void SetAnimation(int32_t startFrame, float interval);
    void SetPosition(float x, float y);
    void SetScale(float scale);
    void SetScaleXY(float scaleX, float scaleY);
    void SetFirst();
    void SetLast();
    void SetSize(int32_t width, int32_t height);
    void SetNext();
    void SetCurrent(int32_t frame);
    void SetCentered(int32_t centered);
    int32_t GetCurrent() const { return m_CurrentFrame; }
    int32_t GetNum() const { return m_FrameCount; }
    void SetPrev();
    void SetRotate(float angle);
    void SetAnimationCount(int32_t count);
    void SetDualDirection(int32_t dual);
    void SetAlpha(float alpha);
    void SetColor(float red, float green, float blue);

    void StopAnimation();
    // Gives the frame textures back to the texture manager (not the sheet).
    void Release();

    bool IsAnimating() const { return m_Animating; }
    const std::vector<CTextureEntry*>& GetFrames() const { return m_Frames; }

private:
    static bool SheetFits(const CTextureEntry* sheet, int32_t columns, int32_t frameCount, int32_t frameWidth,
                          int32_t frameHeight);
    // The frame index brought into 0 .. frame count - 1 (0 without frames).
    int32_t ClampFrame(int32_t frame) const;

    std::vector<CTextureEntry*> m_Frames;
    CTextureEntry* m_pSheetTexture = nullptr;
    bool m_SheetMode = false;
    bool m_Animating = false;
    float m_LastFrameTime = 0.0f;
    float m_FrameInterval = 0.0f;
    int32_t m_Centered = 0;
    float m_Rotation = 0.0f;
    float m_Red = 1.0f;
    float m_Green = 1.0f;
    float m_Blue = 1.0f;
    float m_Alpha = 1.0f;
    float m_ScaleX = 1.0f;
    float m_ScaleY = 1.0f;
    bool m_DualDirection = false;
    int32_t m_Direction = 0;  // 0 forward, 1 backward
    float m_PositionX = 0.0f;
    float m_PositionY = 0.0f;
    int32_t m_CurrentFrame = 0;
    int32_t m_FrameCount = 0;
    int32_t m_AnimationCount = -1;  // -1 loops for ever
    int32_t m_LoopsDone = 0;
    int32_t m_SheetColumns = 0;
    int32_t m_SheetFrameWidth = 0;
    int32_t m_SheetFrameHeight = 0;
    int32_t m_SizeWidth = 0;
    int32_t m_SizeHeight = 0;
};
