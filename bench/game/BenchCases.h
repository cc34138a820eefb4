#pragma once

namespace bench {

// A full field with a four-line clear in flight, on the 2.0 and the low path.
void RunFieldCase(int rounds);
// Update steps of the line game and of the colour game with special figures.
void RunFigureCases(int steps);
// Each installed theme's DrawBackground.
void RunBackgroundCase(int frames);
// The game in a child process: start-up, UpdateFrame, RenderFrame, peak RSS.
bool RunWholeGameCase(int frames);

}  // namespace bench
