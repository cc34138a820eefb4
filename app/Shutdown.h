#pragma once

// Set by the first run of the exit routine, which runs at most once.
extern bool g_bShutdownDone;

// Writes the frame settings back and deletes the singletons, the engine last.
void ShutdownApplication();

// Logs every save that failed since the last call (the file and the reason).
// With tellPlayer the first failure of the session also shows a box; the exit
// routine passes false, so quitting never waits on a box.
void ReportFailedSaves(bool tellPlayer);
