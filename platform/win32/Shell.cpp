#include "shellapi.h"

#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform.h"

extern char** environ;

namespace {

HINSTANCE Result(intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

bool LooksLikeUrl(const std::string& s) {
    return s.find("://") != std::string::npos || strncasecmp(s.c_str(), "mailto:", 7) == 0;
}

bool EndsWithNoCase(const std::string& s, const char* tail) {
    size_t n = strlen(tail);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

std::string AbsoluteHostPath(const std::string& host) {
    if (!host.empty() && host[0] == '/') return host;
    char cwd[4096];
    if (!getcwd(cwd, sizeof(cwd))) return host;
    return std::string(cwd) + "/" + host;
}

// The URL= line of an internet shortcut, or empty.
std::string ReadUrlFile(const std::string& host) {
    std::string text;
    if (!platform::ReadWholeFile(host, text)) return std::string();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (strncasecmp(line.c_str(), "URL=", 4) == 0) return line.substr(4);
        pos = end + 1;
    }
    return std::string();
}

std::vector<std::string> SplitBlanks(const char* text) {
    std::vector<std::string> words;
    std::string word;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == ' ' || *p == '\t') {
            if (!word.empty()) words.push_back(word), word.clear();
        } else {
            word += *p;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// Starts the command through a shell that puts it in the background and exits
// at once, so nothing is left for us to wait for.
bool SpawnDetached(const std::vector<std::string>& command, const std::string& folder) {
    std::vector<std::string> args = {"/bin/sh", "-c", "\"$@\" >/dev/null 2>&1 </dev/null &", "sh"};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Record(const char* logFile, const char* verb, const char* file, const char* parameters, const char* directory,
            const std::string& target, INT show) {
    if (FILE* f = fopen(logFile, "ab")) {
        fprintf(f, "%s\t%s\t%s\t%s\t%s\t%d\n", verb ? verb : "", file ? file : "", parameters ? parameters : "",
                directory ? directory : "", target.c_str(), show);
        fclose(f);
    }
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    if (!file || !*file) return Result(SE_ERR_FNF);
    if (verb && *verb && strcasecmp(verb, "open") != 0) return Result(SE_ERR_NOASSOC);

    std::string target;
    bool program = false;
    if (LooksLikeUrl(file)) {
        target = file;
    } else {
        std::string host = platform::HostPath(file);
        struct stat st;
        if (stat(host.c_str(), &st) != 0) {
            if (const char* log = getenv("KOLVAR_SHELL_LOG"))
                if (*log) Record(log, verb, file, parameters, directory, std::string(), show);
            return Result(SE_ERR_FNF);
        }
        if (S_ISREG(st.st_mode) && EndsWithNoCase(host, ".url")) {
            target = ReadUrlFile(host);
            if (target.empty()) return Result(SE_ERR_NOASSOC);
        } else {
            target = AbsoluteHostPath(host);
            program = S_ISREG(st.st_mode) && access(host.c_str(), X_OK) == 0;
        }
    }

    if (const char* log = getenv("KOLVAR_SHELL_LOG")) {
        if (*log) {
            Record(log, verb, file, parameters, directory, target, show);
            return Result(42);
        }
    }

    std::string folder = directory && *directory ? platform::HostPath(directory) : std::string();
    std::vector<std::string> command;
    if (program) {
        command.push_back(target);
        for (std::string& word : SplitBlanks(parameters)) command.push_back(word);
    } else {
        command = {"xdg-open", target};
    }
    return SpawnDetached(command, folder) ? Result(42) : Result(SE_ERR_NOASSOC);
}
