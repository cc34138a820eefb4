// Global memory blocks, file search along the system's search order, and
// processes.
#pragma once

#include "win32.h"

#include <string>
#include <vector>

// ---- Global memory ----
#define ERROR_NOT_LOCKED 158L
typedef HANDLE HGLOBAL;
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
LPVOID GlobalLock(HGLOBAL memory);
// TRUE while the block stays locked; FALSE with last error 0 when it is unlocked.
BOOL GlobalUnlock(HGLOBAL memory);
// Null on success, the handle again when it is not a block.
HGLOBAL GlobalFree(HGLOBAL memory);

// ---- Search path ----
// With no path given: the program's folder, the current folder, the system
// folders (windows\system32, then windows in the game folder) and $PATH.
// A module name ("x.dll") is found as the module file LoadLibraryA would load.
// Returns the length of the full path, the size needed (terminator included)
// when the buffer is too small, 0 when nothing is found.
DWORD SearchPathA(LPCSTR path, LPCSTR fileName, LPCSTR extension, DWORD bufferLength, LPSTR buffer,
                  LPSTR* filePart);

// ---- The Windows folder ----
// "windows" in the game folder ($KOLVAR_GAME_DIR, else the executable's
// folder); system32 below it holds the system programs the game starts.
// Returns the length, or the size needed (terminator included) when the buffer is too small.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);

// ---- Processes ----
typedef struct _STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize;
    DWORD dwXCountChars, dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// The command line is split as Windows splits it; the program (the application
// name, or the command line's first word) is a Windows path translated to the
// host. Environment and folder null: the caller's. Inherited handles and
// creation flags have no meaning here and are ignored.
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, void* processAttributes,
                    void* threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
// Waits for a process handle; a thread handle of a process is signalled with it.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
#define STILL_ACTIVE 259

// Windows command-line splitting, for programs of ours that take a command line.
namespace platform {
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
}
