// What the layer tells the program about saving and quitting: failed safe
// writes, leftovers of interrupted ones, the home folder and quit signals.
#include "platform.h"

#include <dirent.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace platform {

namespace {

std::deque<WriteFailure>& Failures() {
    static std::deque<WriteFailure> failures;
    return failures;
}

volatile sig_atomic_t g_quitSignalled = 0;

void OnQuitSignal(int) { g_quitSignalled = 1; }

}  // namespace

void RecordWriteFailure(const std::string& hostPath, int error) {
    std::deque<WriteFailure>& failures = Failures();
    failures.push_back({hostPath, error});
    // Nobody may ever ask (the launcher, tools): the list stays small.
    while (failures.size() > kMaxWriteFailures) failures.pop_front();
}

std::vector<WriteFailure> TakeWriteFailures() {
    std::deque<WriteFailure>& failures = Failures();
    std::vector<WriteFailure> out(failures.begin(), failures.end());
    failures.clear();
    return out;
}

int RemoveSafeWriteLeftovers(const std::string& hostPath) {
    if (hostPath.empty()) return 0;
    const size_t slash = hostPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : hostPath.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
    if (base.empty()) return 0;
    // The base name is matched as text: escape what fnmatch would read as a pattern.
    std::string pattern;
    for (char c : base) {
        if (c == '*' || c == '?' || c == '[' || c == '\\') pattern += '\\';
        pattern += c;
    }
    pattern += ".tmp*";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    std::vector<std::string> doomed;
    while (dirent* e = readdir(dir))
        if (fnmatch(pattern.c_str(), e->d_name, 0) == 0) doomed.push_back(folder + (slash == std::string::npos ? "/" : "") + e->d_name);
    closedir(dir);
    int removed = 0;
    for (const std::string& path : doomed) {
        struct stat st;
        // Only files: a folder of that name is nothing a safe write made.
        if (lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) && unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}

std::string HomeFolder() {
    const char* home = getenv("HOME");
    if (home && *home) return home;
    std::vector<char> buffer(16384);
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return std::string();
}

void CatchQuitSignals() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: the flag is read where the program waits anyway.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool QuitSignalled() { return g_quitSignalled != 0; }

}  // namespace platform
