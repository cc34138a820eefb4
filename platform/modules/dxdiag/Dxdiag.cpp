// The system report behind the launcher's bug report: "Dxdiag.exe -t <file>"
// writes a plain-text report of the machine, its OpenGL driver, displays and
// audio, and the game's version from config.ini in the current folder.
#include <SDL.h>
#include <platform.h>
#include <win32.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Heading(const std::string& title) {
    std::string rule(title.size(), '-');
    return rule + "\n" + title + "\n" + rule + "\n";
}

// The value of "key: value" or "KEY=value" lines of a text file.
std::string FileValue(const char* path, const std::string& key, char separator) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find(separator);
        if (at == std::string::npos) continue;
        std::string k = line.substr(0, at);
        while (!k.empty() && isspace(static_cast<unsigned char>(k.back()))) k.pop_back();
        if (k != key) continue;
        std::string v = line.substr(at + 1);
        while (!v.empty() && isspace(static_cast<unsigned char>(v.front()))) v.erase(0, 1);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        return v;
    }
    return "unknown";
}

std::string SystemSection() {
    std::ostringstream out;
    out << Heading("System Information");
    char stamp[64];
    time_t now = time(nullptr);
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", localtime(&now));
    out << "Time of this report: " << stamp << "\n";
    out << "Operating System: " << FileValue("/etc/os-release", "PRETTY_NAME", '=') << "\n";
    struct utsname u;
    if (uname(&u) == 0)
        out << "Kernel: " << u.sysname << " " << u.release << " " << u.version << " " << u.machine << "\n";
    out << "Processor: " << FileValue("/proc/cpuinfo", "model name", ':') << ", "
        << sysconf(_SC_NPROCESSORS_ONLN) << " logical cores\n";
    long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        out << "Memory: " << static_cast<long long>(pages) * pageSize / (1024 * 1024) << " MB RAM\n";
    char version[255] = "";
    GetPrivateProfileStringA("game", "version", "", version, sizeof version, "config.ini");
    out << "Game version: " << (version[0] ? version : "unknown") << "\n\n";
    return out.str();
}

// glGetString through SDL, so the program needs no GL headers or library of its own.
const char* GlString(unsigned name) {
    using GetString = const unsigned char* (*)(unsigned);
    auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* s = get ? get(name) : nullptr;
    return s ? reinterpret_cast<const char*>(s) : "unknown";
}
const unsigned kGlVendor = 0x1F00, kGlRenderer = 0x1F01, kGlVersion = 0x1F02;

std::string DisplaySection() {
    std::ostringstream out;
    out << Heading("Display Devices");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        out << "Video: not available (" << SDL_GetError() << ")\n\n";
        return out.str();
    }
    out << "Video driver: " << SDL_GetCurrentVideoDriver() << "\n";
    SDL_Window* window = SDL_CreateWindow("Dxdiag", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 64, 64,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (context) {
        out << "OpenGL vendor: " << GlString(kGlVendor) << "\n";
        out << "OpenGL renderer: " << GlString(kGlRenderer) << "\n";
        out << "OpenGL version: " << GlString(kGlVersion) << "\n";
        SDL_GL_DeleteContext(context);
    } else {
        out << "OpenGL: not available (" << SDL_GetError() << ")\n";
    }
    if (window) SDL_DestroyWindow(window);
    for (int d = 0; d < SDL_GetNumVideoDisplays(); ++d) {
        const char* name = SDL_GetDisplayName(d);
        out << "Display " << d << ": " << (name ? name : "unnamed") << "\n";
        SDL_DisplayMode current;
        if (SDL_GetCurrentDisplayMode(d, &current) == 0)
            out << "  Current mode: " << current.w << " x " << current.h << " (" << SDL_BITSPERPIXEL(current.format)
                << " bit) (" << current.refresh_rate << "Hz)\n";
        for (int m = 0; m < SDL_GetNumDisplayModes(d); ++m) {
            SDL_DisplayMode mode;
            if (SDL_GetDisplayMode(d, m, &mode) == 0)
                out << "  Mode: " << mode.w << " x " << mode.h << " (" << SDL_BITSPERPIXEL(mode.format) << " bit) ("
                    << mode.refresh_rate << "Hz)\n";
        }
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    out << "\n";
    return out.str();
}

std::string SoundSection() {
    std::ostringstream out;
    out << Heading("Sound Devices");
    out << "Audio drivers:";
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) out << " " << SDL_GetAudioDriver(i);
    out << "\n";
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        out << "Audio: not available (" << SDL_GetError() << ")\n";
        return out.str();
    }
    out << "Current audio driver: " << SDL_GetCurrentAudioDriver() << "\n";
    int devices = SDL_GetNumAudioDevices(0);
    if (devices <= 0) out << "Playback devices: none listed\n";
    for (int i = 0; i < devices; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        out << "Playback device " << i << ": " << (name ? name : "unnamed") << "\n";
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    std::string target;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-t" || arg == "/t") {
            // The launcher does not quote the path, so a folder with spaces
            // arrives as several words: the rest of the line is the file.
            for (int j = i + 1; j < argc; ++j) target += (j > i + 1 ? " " : "") + std::string(argv[j]);
            break;
        }
    }
    if (target.empty()) {
        fprintf(stderr, "usage: Dxdiag.exe -t <report file>\n");
        return 2;
    }
    std::string report = SystemSection() + DisplaySection() + SoundSection();
    SDL_Quit();
    if (!platform::WriteFileSafely(platform::HostPath(target.c_str()), report)) {
        fprintf(stderr, "Dxdiag.exe: cannot write %s\n", target.c_str());
        return 1;
    }
    return 0;
}
