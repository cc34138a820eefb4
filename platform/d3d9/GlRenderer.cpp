// Placeholder until the GL backend lands: refuses to open.
#include "Renderer.h"

namespace d3d9 {
CRenderer* CreateGlRenderer() { return CreateNullRenderer(); }
}  // namespace d3d9
