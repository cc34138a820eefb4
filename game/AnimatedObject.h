#pragma once

#include <d3dx9math.h>

#include <boost/shared_ptr.hpp>
#include <vector>

// Something on screen that lives for a while: updated every step, drawn every frame.
class CAnimatedObjectInterface {
public:
    virtual ~CAnimatedObjectInterface() {}
    // False once the object has finished and may be dropped.
    virtual bool Update() = 0;
    virtual void Draw() = 0;
};

// One ghost of an object's trail: where it was and when.
class CBaseTraceSample {
public:
    CBaseTraceSample(float time, float x, float y) : time(time), x(x), y(y) {}
    virtual ~CBaseTraceSample() {}

    float time;
    float x, y;
};

// An animated object that leaves a fading trail behind as it moves.
class CBaseAnimatedObject : public CAnimatedObjectInterface {
public:
    CBaseAnimatedObject();
    ~CBaseAnimatedObject() override;

    // Drops the samples that have lived their trace life; true.
    bool Update() override;
    void Draw() override = 0;
    virtual void SetPosition(const D3DXVECTOR2& point);
    // Lays samples along the way to the point, then moves there.
    virtual void AddTraceSample(const D3DXVECTOR2& point);

    void SetTraceParams(float density, float life);

    float GetX() const { return m_x; }
    float GetY() const { return m_y; }
    const std::vector<boost::shared_ptr<CBaseTraceSample>>& GetTrace() const { return m_trace; }

protected:
    float m_traceDensity = 0.0f;
    float m_traceLife = 0.0f;
    float m_x = 0.0f, m_y = 0.0f;
    std::vector<boost::shared_ptr<CBaseTraceSample>> m_trace;
};
