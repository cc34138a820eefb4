// The game's files live beside the program; a start from elsewhere moves there.
#include "platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace platform {

void EnterProgramFolder(const char* argv0) {
    struct stat st;
    if (stat("data", &st) == 0 && S_ISDIR(st.st_mode)) return;
    char folder[PATH_MAX];
    const char* slash = argv0 ? strrchr(argv0, '/') : nullptr;
    if (slash) {
        // The folder as given, links unresolved: a folder of links to a game is a game folder.
        const size_t n = slash == argv0 ? 1 : static_cast<size_t>(slash - argv0);
        if (n >= sizeof folder) return;
        memcpy(folder, argv0, n);
        folder[n] = '\0';
    } else {
        // Found through PATH: only the kernel knows where the program is.
        const ssize_t n = readlink("/proc/self/exe", folder, sizeof folder - 1);
        if (n <= 0) return;
        folder[n] = '\0';
        char* last = strrchr(folder, '/');
        if (!last) return;
        last[last == folder ? 1 : 0] = '\0';
    }
    if (chdir(folder) != 0) return;  // the current folder stays; the start reports what is missing
}

}  // namespace platform
