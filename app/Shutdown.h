#pragma once

// Set by the first run of the exit routine, which runs at most once.
extern bool g_bShutdownDone;

// Writes the frame settings back and deletes the singletons, the engine last.
void ShutdownApplication();
