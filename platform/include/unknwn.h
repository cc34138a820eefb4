// The COM base every interface of the layer derives from.
#pragma once

#include "win32.h"

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;
