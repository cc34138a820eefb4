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

inline HRESULT NoOtherInterface(void** object) {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
}

// The IUnknown of the layer's COM objects. QueryInterface offers no other
// interface unless overridden. The count: one reference at creation, the object
// deletes itself at zero, and a Release past zero does nothing rather than wrap
// around. An object that keeps its counts in a base of its own (the device's
// objects keep a public and a binding count) names it as Counted, which
// supplies PublicAddRef and PublicRelease.
template <class Interface, class Counted = void>
class ComObject : public Interface, public Counted {
public:
    using Counted::Counted;
    HRESULT QueryInterface(REFIID, void** object) override { return NoOtherInterface(object); }
    ULONG AddRef() override { return Counted::PublicAddRef(); }
    ULONG Release() override { return Counted::PublicRelease(); }
};

// The count of its own.
template <class Interface>
class ComObject<Interface, void> : public Interface {
public:
    HRESULT QueryInterface(REFIID, void** object) override { return NoOtherInterface(object); }
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
