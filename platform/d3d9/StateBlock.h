// State blocks: a set of states (recorded between BeginStateBlock and
// EndStateBlock, or a whole class of them) with the values to Apply.
#pragma once

#include <memory>

#include "DeviceObject.h"
#include "DeviceState.h"

namespace d3d9 {

class CStateBlock final : public platform::ComObject<IDirect3DStateBlock9, CDeviceObject> {
public:
    // Blocks count as default-pool objects: Reset refuses while one lives.
    explicit CStateBlock(CDevice* device);
    ~CStateBlock() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT Capture() override;
    HRESULT Apply() override;

    DeviceState& Values() { return *m_values; }
    StateMask& Mask() { return *m_mask; }

private:
    std::unique_ptr<DeviceState> m_values;
    std::unique_ptr<StateMask> m_mask;
};

// Takes or drops the binding references a state holds.
void HoldBindings(DeviceState& state, bool take);

}  // namespace d3d9
