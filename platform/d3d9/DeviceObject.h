// Reference counting shared by every object a device creates.
#pragma once

#include <string>

#include "d3d9.h"

namespace d3d9 {

class CDevice;

// Objects keep two counts: the public one (AddRef/Release by the game) and an
// internal one held by device bindings (SetTexture, SetStreamSource, state
// blocks). Memory goes when both reach zero; Reset only looks at the public one.
class CDeviceObject {
public:
    CDeviceObject(CDevice* device, D3DPOOL pool, const char* kind);
    virtual ~CDeviceObject();

    ULONG PublicAddRef() { return ++m_ref; }
    ULONG PublicRelease();
    void BindRef() { ++m_internal; }
    void BindRelease();

    CDevice* Device() const { return m_device; }
    void Orphan() { m_device = nullptr; }
    D3DPOOL Pool() const { return m_pool; }
    bool PubliclyAlive() const { return m_ref > 0; }
    const std::string& Name() const { return m_name; }  // "tex#3", for the call log

protected:
    CDevice* m_device;
    D3DPOOL m_pool;
    ULONG m_ref = 1;
    ULONG m_internal = 0;
    std::string m_name;
};

}  // namespace d3d9
