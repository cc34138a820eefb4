#include "game/FloatingMessage.h"

#include "engine/Font.h"
#include "engine/GraphicsEngine.h"

namespace {

float Now() { return CGraphicsEngine::GetInstance()->GetTime(); }

D3DCOLOR Pack(float r, float g, float b, float a) {
    return D3DCOLOR(CFloatingMessage::ColorByte(a)) << 24 | D3DCOLOR(CFloatingMessage::ColorByte(r)) << 16 |
           D3DCOLOR(CFloatingMessage::ColorByte(g)) << 8 | D3DCOLOR(CFloatingMessage::ColorByte(b));
}

D3DXCOLOR Lerp(const D3DXCOLOR& a, const D3DXCOLOR& b, float t) {
    return D3DXCOLOR(a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t);
}

}  // namespace

CFloatingMessage::CFloatingMessage() : m_phaseStart(Now()), m_phase(0) {}

CFloatingMessage::~CFloatingMessage() = default;

int CFloatingMessage::ColorByte(float v) {
    if (v >= 1.0f) return 255;
    if (!(v > 0.0f)) return 0;  // also NaN
    return int(v * 255.0f + 0.5f);
}

void CFloatingMessage::Start(const Params& params) {
    m_params = params;
    SetTraceParams(params.traceDensity, params.traceLife);
    SetPosition(params.p0);
    Update();
}

bool CFloatingMessage::Update() {
    const float now = Now();
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
    const float now = Now();
    const Params& p = m_params;
    const D3DXCOLOR& c = p.currentColor;
    p.font->DrawText(m_x, m_y, p.charWidth, p.charHeight, Pack(p.textColor.r, p.textColor.g, p.textColor.b, c.a),
                     p.text.c_str(), 0, 0.0f);
    // The ghosts go over the text, fading with their age.
    for (const auto& sample : m_trace) {
        const float alpha = (1.0f - (now - sample->time) / m_traceLife) * 0.1f * c.a;
        p.font->DrawText(sample->x, sample->y, p.charWidth, p.charHeight, Pack(c.r, c.g, c.b, alpha), p.text.c_str(),
                         0, 0.0f);
    }
}
