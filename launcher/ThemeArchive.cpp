#include "launcher/ThemeArchive.h"

#include "engine/Log.h"

#include <winbase.h>
#include <winver.h>

#include <cstdio>
#include <string>

const char* const kThemeArchivePassword = "brunal7284sivoxe";

namespace {

const char kUnzipLibrary[] = "arch.DLL";

// One installation at a time.
HGLOBAL g_hDCL = nullptr;
LPDCL g_lpDCL = nullptr;
HGLOBAL g_hUF = nullptr;
LPUSERFUNCTIONS g_lpUserFunctions = nullptr;
HMODULE g_hUnzipDll = nullptr;
WIZ_SINGLE_ENTRY_UNZIP g_WizSingleEntryUnzip = nullptr;
int g_UnzipResult = 0;

// The texts naming a cause go to standard output, and here also to the log.
void Report(const char* text) {
    printf("%s\n", text);
    g_Log.Print("red", "%s", text);
}

bool VersionIsRight(const char* path) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return false;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    LPVOID block = memory ? GlobalLock(memory) : nullptr;
    bool right = true;  // a resource that cannot be read is not held against the library
    if (block && GetFileVersionInfoA(path, handle, size, block)) {
        LPVOID version = nullptr;
        LPVOID company = nullptr;
        UINT length = 0;
        right = VerQueryValueA(block, "\\StringFileInfo\\040904E4\\FileVersion", &version, &length) &&
                VerQueryValueA(block, "\\StringFileInfo\\040904E4\\CompanyName", &company, &length) &&
                _stricmp(static_cast<const char*>(version), "5.51") == 0 &&
                _stricmp(static_cast<const char*>(company), "Info-ZIP") == 0;
    }
    if (block) GlobalUnlock(memory);
    if (memory) GlobalFree(memory);
    return right;
}

void ReportCouldNotLoad() {
    char text[512];
    snprintf(text, sizeof text, "Could not load %s", kUnzipLibrary);
    Report(text);
}

// Finds "arch.DLL", checks its version and loads it; null, after saying why
// when asked to, if it is missing, untrusted or does not load.
HMODULE LoadUnzipLibrary(bool report) {
    char text[512];
    char path[MAX_PATH];
    DWORD found = SearchPathA(nullptr, kUnzipLibrary, nullptr, sizeof path, path, nullptr);
    if (found == 0 || found >= sizeof path) {
        snprintf(text, sizeof text,
                 "Cannot find %s. The Dll must be in the application directory, the path, the Windows "
                 "directory or the Windows System directory.",
                 kUnzipLibrary);
        if (report) Report(text);
        return nullptr;
    }
    if (!VersionIsRight(path)) {
        snprintf(text, sizeof text,
                 "%s has the wrong version number. Insure that you have the correct dll's installed, and "
                 "that an older dll is not in your path or Windows System directory.",
                 kUnzipLibrary);
        if (report) Report(text);
        return nullptr;
    }
    HMODULE module = LoadLibraryA(kUnzipLibrary);
    if (!module && report) ReportCouldNotLoad();
    return module;
}

// One line of what the library says, without its line end, in the log.
int LogLibraryText(const char* colour, LPSTR text, unsigned long length) {
    if (text && length) {
        std::string line(text, strnlen(text, length));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (!line.empty()) g_Log.Print(colour, "%s", line.c_str());
    }
    return static_cast<int>(length);
}

// What the library says while tidying up at start: housekeeping, not an error.
int WINAPI UnzipTidyPrintCallback(LPSTR text, unsigned long length) { return LogLibraryText("gray", text, length); }

}  // namespace

int FinishInterruptedThemeInstalls(const char* targetFolder) {
    HMODULE module = LoadUnzipLibrary(false);
    if (!module) return 0;
    auto finish = reinterpret_cast<KOLVAR_FINISH_INTERRUPTED_INSTALLS>(
        GetProcAddress(module, "KolvarFinishInterruptedInstalls"));
    int removed = finish ? finish(targetFolder, UnzipTidyPrintCallback) : 0;
    FreeLibrary(module);
    return removed;
}

int UnzipLastResult() { return g_UnzipResult; }

void UnzipFreeBuffers() {
    if (g_hDCL) {
        GlobalUnlock(g_hDCL);
        GlobalFree(g_hDCL);
        g_hDCL = nullptr;
        g_lpDCL = nullptr;
    }
    if (g_hUF) {
        GlobalUnlock(g_hUF);
        GlobalFree(g_hUF);
        g_hUF = nullptr;
        g_lpUserFunctions = nullptr;
    }
}

bool UnzipArchive(std::string& archivePath, std::string& targetFolder) {
    g_hDCL = GlobalAlloc(GPTR, sizeof(DCL));
    g_lpDCL = g_hDCL ? static_cast<LPDCL>(GlobalLock(g_hDCL)) : nullptr;
    g_hUF = g_lpDCL ? GlobalAlloc(GPTR, sizeof(USERFUNCTIONS)) : nullptr;
    g_lpUserFunctions = g_hUF ? static_cast<LPUSERFUNCTIONS>(GlobalLock(g_hUF)) : nullptr;
    if (!g_lpDCL || !g_lpUserFunctions) {
        Report("Out of memory for the unzip records.");
        UnzipFreeBuffers();
        return false;
    }
    g_lpUserFunctions->print = UnzipPrintCallback;
    g_lpUserFunctions->sound = nullptr;
    g_lpUserFunctions->replace = UnzipReplaceCallback;
    g_lpUserFunctions->password = UnzipPasswordCallback;
    g_lpUserFunctions->SendApplicationMessage = UnzipMessageCallback;
    g_lpUserFunctions->ServCallBk = nullptr;

    g_hUnzipDll = LoadUnzipLibrary(true);
    if (!g_hUnzipDll) {
        UnzipFreeBuffers();
        return false;
    }
    g_WizSingleEntryUnzip =
        reinterpret_cast<WIZ_SINGLE_ENTRY_UNZIP>(GetProcAddress(g_hUnzipDll, "Wiz_SingleEntryUnzip"));
    if (!g_WizSingleEntryUnzip) {
        ReportCouldNotLoad();
        UnzipFreeBuffers();
        FreeLibrary(g_hUnzipDll);
        g_hUnzipDll = nullptr;
        return false;
    }

    // Every entry, with its folders, overwriting without a prompt.
    g_lpDCL->ExtractOnlyNewer = 0;
    g_lpDCL->SpaceToUnderscore = 0;
    g_lpDCL->PromptToOverwrite = 0;
    g_lpDCL->fQuiet = 0;
    g_lpDCL->ncflag = 0;
    g_lpDCL->ntflag = 0;
    g_lpDCL->nvflag = 0;
    g_lpDCL->nfflag = 0;
    g_lpDCL->nzflag = 0;
    g_lpDCL->ndflag = 1;
    g_lpDCL->noflag = 1;
    g_lpDCL->naflag = 0;
    g_lpDCL->nZIflag = 0;
    g_lpDCL->C_flag = 0;
    g_lpDCL->fPrivilege = 0;
    g_lpDCL->lpszZipFN = &archivePath[0];
    g_lpDCL->lpszExtractDir = &targetFolder[0];

    g_UnzipResult = g_WizSingleEntryUnzip(0, nullptr, 0, nullptr, g_lpDCL, g_lpUserFunctions);
    if (g_UnzipResult != 0) {
        printf("Error unzipping...\n");
        g_Log.Print("red", "Error unzipping %s (%d)", archivePath.c_str(), g_UnzipResult);
    }
    UnzipFreeBuffers();
    FreeLibrary(g_hUnzipDll);
    g_hUnzipDll = nullptr;
    g_WizSingleEntryUnzip = nullptr;
    return true;
}

// Nothing is shown; what the library says about an archive is kept in the log.
int WINAPI UnzipPrintCallback(LPSTR text, unsigned long length) { return LogLibraryText("red", text, length); }

int WINAPI UnzipReplaceCallback(LPSTR) { return 1; }

int WINAPI UnzipPasswordCallback(LPSTR buffer, int size, LPCSTR, LPCSTR) {
    if (!buffer || size <= 0) return 0;
    size_t room = static_cast<size_t>(size);
    size_t length = strlen(kThemeArchivePassword);
    if (length >= room) length = room - 1;  // never past the buffer, always terminated
    memcpy(buffer, kThemeArchivePassword, length);
    buffer[length] = '\0';
    return 0;
}

void WINAPI UnzipMessageCallback(unsigned long uncompressed, unsigned long compressed, unsigned factor,
                                 unsigned month, unsigned day, unsigned year, unsigned hour, unsigned minute,
                                 char mark, LPSTR name, LPSTR, unsigned long, char) {
    char percent[16];
    snprintf(percent, sizeof percent, "%3u%%", factor % 1000);
    char line[600];
    snprintf(line, sizeof line, "%7lu  %7lu %4s  %02u-%02u-%02u  %02u:%02u  %c%s", uncompressed, compressed,
             percent, month, day, year % 100, hour, minute, mark, name ? name : "");
    printf("%s\n", line);
}
