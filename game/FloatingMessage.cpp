#include "game/FloatingMessage.h"

#include "engine/Font.h"
#include "engine/GraphicsEngine.h"

namespace {

D3DXCOLOR Lerp(const D3DXCOLOR& a, const D3DXCOLOR& b, float t) {
    return D3DXCOLOR(a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t);
}

}  // namespace

CFloatingMessage::CFloatingMessage() : m_phaseStart(EngineTime()), m_phase(0) {}

CFloatingMessage::~CFloatingMessage() = default;

void CFloatingMessage::Start(const Params& params) {
    m_params = params;
    SetTraceParams(params.traceDensity, params.traceLife);
    SetPosition(params.p0);
    Update();
}

bool CFloatingMessage::Update() {
    const float now = EngineTime();
    const Params& p = m_params;
    switch (m_phase) {
        case 0: {
            const float t = (now - m_phaseStart) / p.t0;
            if (t <= 1.0f) {
                AddTraceSample(p.p0 + (p.p1 - p.p0) * (t * t));
                m_params.currentColor = Lerp(p.k0, p.k1, t);
            } else {
                m_phaseStart = now;
                m_phase = 1;
                AddTraceSample(p.p1);
                m_params.currentColor = p.k1;
            }
            break;
        }
        case 1:
            // Written so that a zero hold (0 / 0) ends too instead of holding for ever.
            if (!((now - m_phaseStart) / p.t1 <= 1.0f)) {
                m_phaseStart = now;
                m_phase = 2;
            }
            break;
        default: {
            const float t = (now - m_phaseStart) / p.t2;
            if (!(t <= 1.0f)) return false;
            AddTraceSample(p.p1 + (p.p2 - p.p1) * (t * t));
            m_params.currentColor = Lerp(p.k1, p.k2, t);
            break;
        }
    }
    return CBaseAnimatedObject::Update();
}

void CFloatingMessage::Draw() {
    if (!m_params.font) return;
    const float now = EngineTime();
    const Params& p = m_params;
    const D3DXCOLOR& c = p.currentColor;
    p.font->DrawText(m_x, m_y, p.charWidth, p.charHeight, D3DXCOLOR(p.textColor.r, p.textColor.g, p.textColor.b, c.a),
                     p.text.c_str(), 0, 0.0f);
    // The ghosts go over the text, fading with their age.
    for (const auto& sample : m_trace) {
        const float alpha = (1.0f - (now - sample->time) / m_traceLife) * 0.1f * c.a;
        p.font->DrawText(sample->x, sample->y, p.charWidth, p.charHeight, D3DXCOLOR(c.r, c.g, c.b, alpha), p.text.c_str(),
                         0, 0.0f);
    }
}
