// ctest runs every case as a process of its own, in parallel, and each process
// starts log.html afresh in the folder it starts in. Engine tests read their
// own log lines, so each process logs into a folder of its own: it is entered
// before the log is built and left again right after.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {
// Plain arrays: they must hold their value before dynamic initialisation runs.
char g_startFolder[4096];
char g_logFolder[64];
pid_t g_ownerPid = 0;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wprio-ctor-dtor"
__attribute__((constructor(100))) void EnterPrivateLogFolder() {
    char cwd[sizeof g_startFolder];
    if (!getcwd(cwd, sizeof cwd)) return;
    char folder[] = "/tmp/kolvar-engine-log-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) return;
    strcpy(g_startFolder, cwd);
    strcpy(g_logFolder, folder);
}
#pragma GCC diagnostic pop

void RemoveLogFolder() {
    if (getpid() != g_ownerPid) return;  // a forked child leaves it to its parent
    std::error_code ec;
    std::filesystem::remove_all(g_logFolder, ec);
}

struct CLeaveLogFolder {
    CLeaveLogFolder() {
        if (!g_startFolder[0] || chdir(g_startFolder) != 0) return;
        g_ownerPid = getpid();
        atexit(&RemoveLogFolder);
    }
} g_leaveLogFolder;
}  // namespace
