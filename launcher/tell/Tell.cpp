// tell.exe: opens the desktop's mail composer with an invitation to the game,
// its subject and text taken from config.ini [tell] in the current folder.
#include <win32.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

extern char** environ;

namespace {

std::string Tell(const char* key) {
    char value[4096];
    GetPrivateProfileStringA("tell", key, "", value, sizeof value, "config.ini");
    // The INI holds one line per key; "\n" in it stands for a line break.
    std::string out;
    for (const char* p = value; *p; ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            out += '\n';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

int main() {
    std::string subject = Tell("subject");
    std::string body = Tell("body");
    const char* argv[] = {"xdg-email", "--subject", subject.c_str(), "--body", body.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-email", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
        fprintf(stderr, "tell: xdg-email could not be started\n");
        return 1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
