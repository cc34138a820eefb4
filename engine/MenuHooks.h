#pragma once

// The menu manager belongs to the shell, a layer above the engine; the engine
// creates and deletes it at fixed points of its own start-up and release
// through these hooks, which the shell installs before the first
// CGraphicsEngine::SetGeneralParameters. Unset hooks do nothing.
typedef void (*MenuManagerHook)();
void SetMenuManagerHooks(MenuManagerHook create, MenuManagerHook destroy);
void CreateMenuManager();
void DestroyMenuManager();
