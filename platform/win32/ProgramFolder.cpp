// The game's files live beside the program; a start from elsewhere moves there,
// and one copy at a time uses them.
#include "platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
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

namespace {
// Open for the process's life: the lock lives as long as this descriptor.
int g_FolderLock = -1;
}  // namespace

FolderLock LockCurrentFolder(int* error) {
    if (g_FolderLock >= 0) return FolderLock::Held;
    // The folder rather than a file in it: nothing to create, and a read-only folder locks too.
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        if (fd >= 0) close(fd);
        if (error) *error = e;
        return e == EWOULDBLOCK ? FolderLock::Busy : FolderLock::Unavailable;
    }
    g_FolderLock = fd;
    return FolderLock::Held;
}

void LeaveForVanishedFolder() {
    const char* tmp = getenv("TMPDIR");
    char folder[PATH_MAX];
    const int n = snprintf(folder, sizeof folder, "%s/kolvar-gone-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (n > 0 && size_t(n) < sizeof folder && mkdtemp(folder)) {
        if (chdir(folder) == 0 && rmdir(folder) == 0) return;
        rmdir(folder);
    }
    // No temporary folder: the process file system takes no new file either, not even from root.
    if (chdir("/proc") != 0) return;  // nowhere to go; the folder stays
}

}  // namespace platform
