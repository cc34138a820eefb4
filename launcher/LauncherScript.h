#pragma once

#include <string>

// Queues the commands of a launcher script for the dialogs to run, one a line:
//   press <id> | list <id> <index> | combo <id> <index> | close | escape
//   file <path> | file cancel      (the next file chooser's answer)
//   shot <png file>                (the dialog on top, as drawn)
// Blank lines and lines starting with '#' are skipped. False (with a log
// line) when the file cannot be read or a line is not understood.
bool QueueLauncherScript(const std::string& file);
