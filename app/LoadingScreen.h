#pragma once

// The progress sprite's frame (0..70) for loaded resources of a stored total;
// a first run (no total) shows the full bar.
int LoadingFrame(int loaded, int total);

// One frame of the loading screen; installed as the loaders' progress step.
void DrawLoadingScreen();
