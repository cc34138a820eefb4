// The executable's test aids, over the layer's test hooks.
#include "testaid.h"

#include "d3d9hooks.h"
#include "dinputhooks.h"

namespace platform {
namespace testaid {

void UseInjectedInput() { SetInputTestMode(true); }

void PressKey(int dik, bool down) { InjectKey(dik, down); }

bool CaptureBackBuffer(IDirect3DDevice9* device, const char* pngPath) {
    if (!device || !pngPath) return false;
    UINT width = 0, height = 0;
    std::vector<DWORD> pixels = d3d9hooks::ReadBackBuffer(device, &width, &height);
    if (pixels.empty()) return false;
    return d3d9hooks::WritePng(pngPath, pixels, width, height);
}

}  // namespace testaid
}  // namespace platform
