// What vertex and index buffers share: system memory the game writes through
// Lock; the GL backend uploads the range written since the last draw.
#pragma once

#include <vector>

#include "DeviceObject.h"

namespace d3d9 {

class CBufferBase : public CDeviceObject {
public:
    CBufferBase(CDevice* device, UINT length, DWORD usage, D3DPOOL pool, const char* kind)
        : CDeviceObject(device, pool, kind), m_usage(usage), m_length(length) {}
    ~CBufferBase() override;
    bool Allocate();
    UINT Length() const { return m_length; }
    DWORD Usage() const { return m_usage; }
    const uint8_t* Data() const { return m_data.data(); }
    HRESULT DoLock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT DoUnlock();

    // Backend bookkeeping.
    uint32_t m_glName = 0;
    UINT m_dirtyBegin = 0, m_dirtyEnd = 0;  // empty when equal
    bool m_discarded = true;                // next upload may replace the whole store
    bool m_appendOnly = true;               // every lock since the upload promised not to overwrite
    // A dynamic buffer lives in the backend's stream ring: where its byte 0
    // sits, and the ring's store it was written to (0: none yet).
    long long m_ringBase = 0;
    uint32_t m_ringStore = 0;

protected:
    DWORD m_usage;
    UINT m_length;
    std::vector<uint8_t> m_data;
    int m_locks = 0;
};

}  // namespace d3d9
