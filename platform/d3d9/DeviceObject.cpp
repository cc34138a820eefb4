#include "DeviceObject.h"

#include "Device.h"

namespace d3d9 {

CDeviceObject::CDeviceObject(CDevice* device, D3DPOOL pool, const char* kind) : m_device(device), m_pool(pool) {
    if (m_device) {
        m_name = m_device->NextObjectName(kind);
        m_device->Track(this);
    } else {
        m_name = std::string(kind) + "#?";
    }
}

CDeviceObject::~CDeviceObject() {
    if (m_device) m_device->Untrack(this);
}

ULONG CDeviceObject::PublicRelease() {
    if (m_ref == 0) return 0;  // over-release: ignore rather than corrupt memory
    const ULONG left = --m_ref;
    if (m_device && m_device->Recording()) m_device->Record(m_name + ".Release() -> " + std::to_string(left));
    if (left == 0 && m_internal == 0) delete this;
    return left;
}

void CDeviceObject::BindRelease() {
    if (m_internal == 0) return;
    if (--m_internal == 0 && m_ref == 0) delete this;
}

}  // namespace d3d9
