#pragma once

// Test-only: lets the next CVarFrame construction run its whole body again.
namespace varframehooks {
void RearmConstruction();
}
