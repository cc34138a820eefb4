// Host-side services of the layer that have no Windows name: path translation,
// the fake clock and the registry location used by tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HWND__;

namespace platform {

// Windows path as the game builds it -> a path the host can open.
// Backslashes become slashes, a drive letter is dropped, and every component
// that does not exist with the given case is looked up case-insensitively.
// Missing components are kept as written (so a new file can be created).
std::string HostPath(const char* windowsPath);

// True when the host path names an existing regular file or folder.
bool HostExists(const std::string& hostPath);

// Which file a host path names (links followed), without opening it: two names
// of one file give the same pair. False when nothing is there.
bool FileIdentity(const std::string& hostPath, uint64_t& device, uint64_t& inode);

// Reads are bounded: no game data file is larger.
constexpr uint64_t kMaxReadFileSize = 64ull * 1024 * 1024;

// Reads or writes a whole file; only a regular file of at most kMaxReadFileSize
// bytes is read (anything else fails with errno set and a line on stderr). The write goes to a temporary file that then
// replaces the target, so a failure never leaves a half-written file behind.
bool ReadWholeFile(const std::string& hostPath, std::string& out);
// True for a regular file within the read bound (for readers that open files themselves).
bool IsGameDataFile(const std::string& hostPath);
bool WriteFileSafely(const std::string& hostPath, const std::string& contents);

// Failed saves. WriteFileSafely and the profile writer record each failure
// (the file and the errno reason) so the program can tell the player; the
// list keeps the latest kMaxWriteFailures and is emptied by TakeWriteFailures.
struct WriteFailure {
    std::string hostPath;
    int error;
};
constexpr size_t kMaxWriteFailures = 16;
void RecordWriteFailure(const std::string& hostPath, int error);
std::vector<WriteFailure> TakeWriteFailures();

// Deletes the temporaries ("<file>.tmp*") that interrupted safe writes of this
// file left in its folder; the number of files deleted.
int RemoveSafeWriteLeftovers(const std::string& hostPath);

// The user's home folder: HOME, else the password database; empty when
// neither knows it (never the current folder).
std::string HomeFolder();

// SIGTERM, SIGINT and SIGHUP only set a flag from then on. The message queue
// turns it into a close request of the game window, and a modal dialog closes
// as by its close box.
void CatchQuitSignals();
bool QuitSignalled();

// A file without any write permission bit counts as read-only, as the Windows
// attribute would, also for root.
bool IsReadOnlyFile(const std::string& hostPath);

// Fake clock for tests: while enabled, the performance counter, timeGetTime and
// GetTickCount read this value (nanoseconds) instead of the monotonic clock.
void SetFakeClock(bool enabled, int64_t nanoseconds = 0);
void AdvanceFakeClock(int64_t nanoseconds);
bool FakeClockEnabled();

// Where the registry store lives. Default: $XDG_CONFIG_HOME/kolvar/registry.ini
// (or ~/.config/...); KOLVAR_REGISTRY overrides it, and so does this call.
void SetRegistryFile(const std::string& hostPath);
std::string RegistryFile();

// When the current folder has no data/ folder, moves into the folder the
// program was started from: argv[0]'s folder as given (links unresolved), or
// the program's own folder when argv[0] has no slash. Uses no static object,
// so it may run before any is built.
void EnterProgramFolder(const char* argv0);

// One copy of the game per folder: takes a lock on the current folder itself
// (no file is made) and holds it for the rest of the process's life; the
// kernel lets it go when the process ends, a crash included, and a program the
// process starts does not inherit it. Busy: another process holds it.
// Unavailable: the folder cannot be locked here; `error` then holds errno.
// Uses no static object, so it may run before any is built; once held, a
// later call keeps that lock and answers Held.
enum class FolderLock { Held, Busy, Unavailable };
FolderLock LockCurrentFolder(int* error = nullptr);

// Moves into a folder that is already gone, where nothing can be created, so
// that whatever still runs (the log opening before main) touches no file.
void LeaveForVanishedFolder();

// True when a real video driver runs (one that shows windows). SDL's offscreen
// and dummy drivers count only when named in SDL_VIDEODRIVER.
bool HasDisplay();

// The SDL window behind a window handle made by CreateWindowExA (an SDL_Window*,
// created with SDL_WINDOW_OPENGL so the device can draw into it), or null.
void* SdlWindowOf(HWND__* window);
// Why the last CreateWindowExA call could not make its window, or the last
// device its GL context, in the host window system's words; empty when the
// last of them succeeded.
std::string WindowFailureReason();
void NoteWindowFailure(const std::string& reason);

// Desktop integration: makes files matching `glob` (say "*.kvr", any case) the
// shared-MIME type `mimeType`, described by `comment`, in the user's database
// ($XDG_DATA_HOME or ~/.local/share), and installs `iconFile` (a 32x32 PNG) as
// the type's icon. SHChangeNotify(SHCNE_ASSOCCHANGED) then refreshes the database.
struct DesktopFileType {
    bool homeKnown;  // false: no home folder, nothing written
    bool typeWritten;
    bool iconInstalled;
};
DesktopFileType InstallDesktopFileType(const std::string& mimeType, const std::string& glob,
                                       const std::string& comment, const std::string& iconFile);

// Frees a bitmap made by LoadImageA (GDI's DeleteObject); false for any other handle.
bool DeleteLoadedBitmap(void* object);

}  // namespace platform
