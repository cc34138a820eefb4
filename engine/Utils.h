#pragma once

// Small numeric helpers of the game. The random functions draw from the one
// process-wide generator that the scripts' math.random shares.

// The value as "%i" in one static buffer, valid until the next call.
const char* IntToString(int value);
// a .. b-1 by a plain remainder. b == a returns a without drawing.
int RandomInt(int a, int b);
// a .. b, both ends included.
float RandomFloat(float a, float b);
// a + (b - a) * t, t not clamped.
float Lerp(float a, float b, float t);
