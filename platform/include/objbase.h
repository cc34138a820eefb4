// The few COM basics the game calls: apartment set-up and object creation.
// Interfaces are plain C++ classes with pure virtual methods; reference counts
// decide when an object frees itself.
#pragma once

#include "unknwn.h"
#include "win32.h"


extern const IID IID_IUnknown;

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)

#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)

// Per thread, counted: each successful call needs one CoUninitialize.
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
// Creates the DirectMusic loader, performance or segment classes.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
