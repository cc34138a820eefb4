// tell.exe: opens the desktop's mail composer with an invitation to the game,
// its subject and text taken from config.ini [tell] in the current folder.
#include <win32.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "engine/Settings.h"

extern char** environ;

namespace {

std::string Tell(settings::Id id) {
    const settings::Setting& setting = settings::Get(id);
    // Longer than engine/Ini.h reads: an invitation may run to a few lines.
    char value[4096];
    GetPrivateProfileStringA(setting.section, setting.key, "", value, sizeof value, settings::kConfigFile);
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
    std::string subject = Tell(settings::Id::TellSubject);
    std::string body = Tell(settings::Id::TellBody);
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
