// What the launcher needs of the application shell, which it never links:
// the shell installs these before it runs the launcher.
#pragma once

// Writes and opens the online score page (the high-score table's job).
void SetOnlineScoresHook(void (*openOnlineScores)());
