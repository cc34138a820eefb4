// The COM base every interface of the layer derives from.
#pragma once

#include <atomic>

#include "win32.h"

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

namespace platform {

// The reference count the layer's COM objects share: one reference at creation,
// the object deletes itself at zero, and a Release past zero does nothing rather
// than wrap around. QueryInterface offers no other interface unless overridden.
template <class Interface>
class ComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG left = m_refs.load();
        do {
            if (left == 0) return 0;
        } while (!m_refs.compare_exchange_weak(left, left - 1));
        if (left == 1) delete this;
        return left - 1;
    }

protected:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    std::atomic<ULONG> m_refs{1};
};

}  // namespace platform
