#pragma once

// Game over belongs to the shell, a layer above game play: the figure step
// reaches it through this hook, which the shell installs at start-up.
// An unset hook does nothing.
typedef void (*GameOverHook)();
void SetGameOverHook(GameOverHook hook);
void ShowGameOverThroughHook();
