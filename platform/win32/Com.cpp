// COM start-up and object creation. Only the DirectMusic classes are known.
#include "objbase.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Defined by the DirectMusic stand-in; REGDB_E_CLASSNOTREG for other classes.
HRESULT DMusicCreateInstance(REFCLSID clsid, REFIID iid, void** object);

namespace {
thread_local int t_comInitCount = 0;
}

HRESULT CoInitialize(LPVOID reserved) {
    (void)reserved;
    return t_comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_comInitCount > 0) --t_comInitCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (t_comInitCount == 0) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC)) return REGDB_E_CLASSNOTREG;
    return DMusicCreateInstance(clsid, iid, object);
}
