// Processes: CreateProcessA over posix_spawn, waited on through their handles;
// the memory of the game's own process.
#include "ProcessInternal.h"
#include "platform.h"
#include "psapi.h"
#include "winbase.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

extern char** environ;

namespace {

struct ProcessState {
    pid_t pid = 0;
    bool reaped = false;
    int exitCode = 0;
    std::mutex mutex;
};

std::mutex g_HandlesMutex;
// Process and thread handles alike; both refer to the same process.
std::unordered_map<HANDLE, std::shared_ptr<ProcessState>>& Handles() {
    static std::unordered_map<HANDLE, std::shared_ptr<ProcessState>> handles;
    return handles;
}

std::shared_ptr<ProcessState> Find(HANDLE h) {
    std::lock_guard<std::mutex> lock(g_HandlesMutex);
    auto it = Handles().find(h);
    return it == Handles().end() ? nullptr : it->second;
}

HANDLE NewHandle(const std::shared_ptr<ProcessState>& state) {
    HANDLE h = new char;  // a unique address
    std::lock_guard<std::mutex> lock(g_HandlesMutex);
    Handles()[h] = state;
    return h;
}

// Collects the exit status; blocking waits until the process ends.
bool Reap(ProcessState& s, bool block) {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.reaped) return true;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(s.pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return false;
    s.reaped = true;
    if (r < 0)
        s.exitCode = -1;
    else
        s.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

bool IsExecutable(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program file of a Windows name: as given, else with ".exe".
bool ResolveProgram(const std::string& name, std::string& host) {
    for (const std::string& candidate : {name, name + ".exe"}) {
        std::string path = platform::HostPath(candidate.c_str());
        if (IsExecutable(path)) {
            host = path;
            return true;
        }
    }
    return false;
}

// Without quotes the program name may contain spaces: like Windows, try the
// shortest run of words that names a program first.
bool FindProgram(const std::string& commandLine, std::string& host, size_t& rest) {
    size_t i = 0;
    while (i < commandLine.size() && IsSpace(commandLine[i])) ++i;
    if (i < commandLine.size() && commandLine[i] == '"') {
        size_t end = commandLine.find('"', i + 1);
        if (end == std::string::npos) end = commandLine.size();
        rest = std::min(end + 1, commandLine.size());
        return ResolveProgram(commandLine.substr(i + 1, end - i - 1), host);
    }
    size_t end = i;
    while (end <= commandLine.size()) {
        while (end < commandLine.size() && !IsSpace(commandLine[end])) ++end;
        if (ResolveProgram(commandLine.substr(i, end - i), host)) {
            rest = end;
            return true;
        }
        if (end >= commandLine.size()) break;
        ++end;
    }
    return false;
}

}  // namespace

namespace platform {

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    // The program name: up to the closing quote or the first blank, no escapes.
    while (i < line.size() && IsSpace(line[i])) ++i;
    if (i >= line.size()) return args;
    std::string first;
    if (line[i] == '"') {
        size_t end = line.find('"', i + 1);
        if (end == std::string::npos) end = line.size();
        first = line.substr(i + 1, end - i - 1);
        i = std::min(end + 1, line.size());
    } else {
        while (i < line.size() && !IsSpace(line[i])) first += line[i++];
    }
    args.push_back(first);

    for (;;) {
        while (i < line.size() && IsSpace(line[i])) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !IsSpace(line[i]))) {
            if (line[i] == '\\') {
                size_t n = 0;
                while (i < line.size() && line[i] == '\\') ++n, ++i;
                if (i < line.size() && line[i] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(n, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace platform

namespace winimpl {

bool CloseProcessHandle(HANDLE object) {
    std::shared_ptr<ProcessState> state;
    {
        std::lock_guard<std::mutex> lock(g_HandlesMutex);
        auto it = Handles().find(object);
        if (it == Handles().end()) return false;
        state = it->second;
        Handles().erase(it);
    }
    delete static_cast<char*>(object);
    // The last handle gone: a process still running is reaped when it ends.
    if (state.use_count() == 1 && !Reap(*state, false))
        std::thread([state] { Reap(*state, true); }).detach();
    return true;
}

}  // namespace winimpl

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, void*, void*, BOOL, DWORD, LPVOID environment,
                    LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION info) {
    if ((!applicationName && !commandLine) || !startupInfo || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string line = commandLine ? commandLine : "";
    std::string program;
    std::vector<std::string> args;
    if (applicationName) {
        if (!ResolveProgram(applicationName, program)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        args = platform::SplitCommandLine(line.empty() ? std::string("\"") + applicationName + "\"" : line);
    } else {
        size_t rest = 0;
        if (!FindProgram(line, program, rest)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        args = platform::SplitCommandLine("\"" + line.substr(0, rest) + "\"" + line.substr(rest));
    }

    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    // A Windows environment block: "A=1\0B=2\0\0".
    std::vector<char*> envp;
    if (environment)
        for (char* p = static_cast<char*>(environment); *p; p += strlen(p) + 1) envp.push_back(p);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string folder;
    if (currentDirectory) {
        folder = platform::HostPath(currentDirectory);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    }
    pid_t pid = 0;
    int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(),
                            environment ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        SetLastError(error == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto state = std::make_shared<ProcessState>();
    state->pid = pid;
    info->hProcess = NewHandle(state);
    info->hThread = NewHandle(state);
    info->dwProcessId = static_cast<DWORD>(pid);
    info->dwThreadId = static_cast<DWORD>(pid);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    std::shared_ptr<ProcessState> state = Find(object);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (milliseconds == INFINITE) {
        Reap(*state, true);
        return WAIT_OBJECT_0;
    }
    for (DWORD waited = 0;; ++waited) {
        if (Reap(*state, false)) return WAIT_OBJECT_0;
        if (waited >= milliseconds) return WAIT_TIMEOUT;
        usleep(1000);
    }
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    std::shared_ptr<ProcessState> state = Find(process);
    if (!state || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = Reap(*state, false) ? static_cast<DWORD>(state->exitCode) : STILL_ACTIVE;
    return TRUE;
}

// ---- Process status ----

HANDLE GetCurrentProcess() { return INVALID_HANDLE_VALUE; }

BOOL GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb) {
    if (process != GetCurrentProcess() || !counters || cb < sizeof *counters) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    memset(counters, 0, sizeof *counters);
    counters->cb = sizeof *counters;
    FILE* status = fopen("/proc/self/status", "re");
    if (!status) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    char line[256];
    unsigned long long kib = 0;
    while (fgets(line, sizeof line, status)) {
        if (sscanf(line, "VmRSS: %llu kB", &kib) == 1) counters->WorkingSetSize = static_cast<size_t>(kib) * 1024;
        if (sscanf(line, "VmHWM: %llu kB", &kib) == 1) counters->PeakWorkingSetSize = static_cast<size_t>(kib) * 1024;
    }
    fclose(status);
    return TRUE;
}
