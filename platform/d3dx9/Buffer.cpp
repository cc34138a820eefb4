// ID3DXBuffer: a plain block of memory with a reference count.
#include <new>
#include <vector>

#include "d3dx9core.h"

namespace {

class CXBuffer final : public ID3DXBuffer {
public:
    explicit CXBuffer(DWORD size) : m_data(size, 0) {}
    HRESULT QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_ref; }
    ULONG Release() override {
        if (m_ref == 0) return 0;
        const ULONG left = --m_ref;
        if (left == 0) delete this;
        return left;
    }
    void* GetBufferPointer() override { return m_data.empty() ? nullptr : m_data.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(m_data.size()); }

private:
    ULONG m_ref = 1;
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
