#pragma once

// Test-only: lets the next CGameField construction run its whole body again.
namespace gamefieldhooks {
void RearmConstruction();
}
