#pragma once

namespace bench {

// A full field with a four-line clear in flight, on the 2.0 and the low path.
void RunFieldCase(int rounds);
// Update steps of the line game and of the colour game with special figures.
void RunFigureCases(int steps);
// Each installed theme's DrawBackground.
void RunBackgroundCase(int frames);
// The game in a child process on a full field: start-up, UpdateFrame,
// RenderFrame, peak RSS, and the frame over bench_floor's drawing of its scene.
bool RunWholeGameCase(int frames);
// The same game for `seconds` of wall clock: frame-time percentiles and the
// peak RSS every ten seconds; then bench_floor on its plain frame and on a
// frame drawing as many particles as its slowest 1 %.
bool RunSoakCase(double seconds);
// Two pictures written by the whole-game case (KOLVAR_BENCH_SHOT=prefix gives
// prefix.png and prefix.raw) held pixel by pixel; the differences, 8 times
// brighter, go to diffPng.
bool ComparePictures(const char* a, const char* b, const char* diffPng);

}  // namespace bench
