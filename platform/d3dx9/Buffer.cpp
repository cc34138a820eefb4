// ID3DXBuffer: a plain block of memory with a reference count.
#include <new>
#include <vector>

#include "d3dx9core.h"

namespace {

class CXBuffer final : public platform::ComObject<ID3DXBuffer> {
public:
    explicit CXBuffer(DWORD size) : m_data(size, 0) {}
    void* GetBufferPointer() override { return m_data.empty() ? nullptr : m_data.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(m_data.size()); }

private:
    std::vector<uint8_t> m_data;
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    try {
        *buffer = new CXBuffer(numBytes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
