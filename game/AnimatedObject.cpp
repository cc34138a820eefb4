#include "game/AnimatedObject.h"

#include <cmath>

#include "engine/GraphicsEngine.h"

CBaseAnimatedObject::CBaseAnimatedObject() = default;

CBaseAnimatedObject::~CBaseAnimatedObject() = default;

bool CBaseAnimatedObject::Update() {
    const float now = CGraphicsEngine::GetInstance()->GetTime();
    // Removal moves the last sample into the gap, so the gap is examined again.
    for (size_t i = 0; i < m_trace.size();) {
        if (now - m_trace[i]->time >= m_traceLife) {
            m_trace[i] = m_trace.back();
            m_trace.pop_back();
        } else {
            ++i;
        }
    }
    return true;
}

void CBaseAnimatedObject::SetPosition(const D3DXVECTOR2& point) {
    m_x = point.x;
    m_y = point.y;
}

void CBaseAnimatedObject::AddTraceSample(const D3DXVECTOR2& point) {
    const float dx = point.x - m_x, dy = point.y - m_y;
    const float distance = std::sqrt(dx * dx + dy * dy);
    // A move always lays at least one sample, also a move of length 0. The
    // count is bounded so that a wild density cannot exhaust memory.
    const double wanted = double(distance) * double(m_traceDensity);
    int n = wanted >= 1.0 ? int(wanted < 100000.0 ? wanted : 100000.0) : 0;
    if (n == 0) n = 1;
    const float now = CGraphicsEngine::GetInstance()->GetTime();
    for (int i = 0; i < n; ++i) {
        const float f = float(i) / float(n);
        m_trace.push_back(boost::shared_ptr<CBaseTraceSample>(new CBaseTraceSample(now, m_x + dx * f, m_y + dy * f)));
    }
    SetPosition(point);
}

void CBaseAnimatedObject::SetTraceParams(float density, float life) {
    m_traceDensity = density;
    m_traceLife = life;
}
