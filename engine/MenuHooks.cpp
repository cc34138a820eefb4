#include "engine/MenuHooks.h"

namespace {
MenuManagerHook g_Create = nullptr;
MenuManagerHook g_Destroy = nullptr;
}  // namespace

void SetMenuManagerHooks(MenuManagerHook create, MenuManagerHook destroy) {
    g_Create = create;
    g_Destroy = destroy;
}
void CreateMenuManager() {
    if (g_Create) g_Create();
}
void DestroyMenuManager() {
    if (g_Destroy) g_Destroy();
}
