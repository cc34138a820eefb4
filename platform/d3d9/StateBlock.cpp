#include "StateBlock.h"

#include <cstring>

#include "IndexBuffer.h"
#include "VertexBuffer.h"
#include "Device.h"
#include "Shader.h"
#include "TextureBase.h"
#include "VertexDeclaration.h"

namespace d3d9 {

void HoldBindings(DeviceState& s, bool take) {
    auto hold = [take](CDeviceObject* o) {
        if (!o) return;
        if (take)
            o->BindRef();
        else
            o->BindRelease();
    };
    for (CTextureBase* t : s.textures) hold(t);
    for (const StreamBinding& b : s.streams) hold(b.buffer);
    hold(s.indices);
    hold(s.declaration);
    hold(s.vertexShader);
    hold(s.pixelShader);
}

CStateBlock::CStateBlock(CDevice* device)
    : ComObject(device, D3DPOOL_DEFAULT, "sb"), m_values(new DeviceState), m_mask(new StateMask) {
    memset(m_values.get(), 0, sizeof(DeviceState));
    memset(m_mask.get(), 0, sizeof(StateMask));
}

CStateBlock::~CStateBlock() { HoldBindings(*m_values, false); }

HRESULT CStateBlock::GetDevice(IDirect3DDevice9** device) {
    if (!device || !m_device) return D3DERR_INVALIDCALL;
    *device = m_device;
    m_device->AddRef();
    return D3D_OK;
}

HRESULT CStateBlock::Capture() {
    if (!m_device) return D3DERR_INVALIDCALL;
    if (m_device->Recording()) m_device->Record(m_name + ".Capture()");
    HoldBindings(*m_values, false);
    m_device->CaptureInto(*m_values, *m_mask);
    HoldBindings(*m_values, true);
    return D3D_OK;
}

HRESULT CStateBlock::Apply() {
    if (!m_device) return D3DERR_INVALIDCALL;
    if (m_device->Recording()) m_device->Record(m_name + ".Apply()");
    m_device->ApplyFrom(*m_values, *m_mask);
    return D3D_OK;
}

}  // namespace d3d9
