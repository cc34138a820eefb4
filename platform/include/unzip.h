// The unzip library the launcher loads at run time ("arch.DLL" -> arch.so):
// one entry point that unpacks a whole archive, configured by an option record
// and reporting through a record of callbacks.
#pragma once

#include "win32.h"

// Options of one unpacking run; every flag is 0 or 1.
typedef struct {
    int ExtractOnlyNewer;   // only entries newer than the file on disk
    int SpaceToUnderscore;  // spaces in names become underscores
    int PromptToOverwrite;  // ask the replace callback before overwriting
    int fQuiet;             // 0 all messages, 1 fewer, 2 none
    int ncflag;             // write to standard output instead of files
    int ntflag;             // test only
    int nvflag;             // list only
    int nfflag;             // freshen existing files only
    int nzflag;             // show the archive comment
    int ndflag;             // recreate the entries' folders
    int noflag;             // overwrite without asking
    int naflag;             // end-of-line conversion
    int nZIflag;            // archive information
    int C_flag;             // compare names ignoring case
    int fPrivilege;         // access-control lists
    LPSTR lpszZipFN;        // the archive
    LPSTR lpszExtractDir;   // the target folder (null: the current one)
} DCL, *LPDCL;
static_assert(sizeof(DCL) == (sizeof(void*) == 4 ? 68 : 80), "DCL layout");

// Callbacks; the library calls them on the caller's thread.
typedef int(WINAPI* DLLPRNT)(LPSTR text, unsigned long length);
typedef void(WINAPI* DLLSND)(void);
typedef int(WINAPI* DLLREPLACE)(LPSTR fileName);
typedef int(WINAPI* DLLPASSWORD)(LPSTR buffer, int size, LPCSTR prompt, LPCSTR entryName);
typedef void(WINAPI* DLLMESSAGE)(unsigned long uncompressed, unsigned long compressed, unsigned factor,
                                 unsigned month, unsigned day, unsigned year, unsigned hour,
                                 unsigned minute, char mark, LPSTR name, LPSTR method,
                                 unsigned long crc, char encrypted);
typedef int(WINAPI* DLLSERVICE)(LPCSTR entryName, unsigned long size);

typedef struct {
    DLLPRNT print;
    DLLSND sound;
    DLLREPLACE replace;
    DLLPASSWORD password;
    DLLMESSAGE SendApplicationMessage;
    DLLSERVICE ServCallBk;
    // Totals the library fills in after a run.
    ULONG TotalSizeComp;
    ULONG TotalSize;
    ULONG CompFactor;
    ULONG NumMembers;
    WORD cchComment;
} USERFUNCTIONS, *LPUSERFUNCTIONS;
static_assert(sizeof(USERFUNCTIONS) == (sizeof(void*) == 4 ? 44 : 72), "USERFUNCTIONS layout");

// Replace callback answers.
#define IDM_REPLACE_NO 100
#define IDM_REPLACE_YES 102

// Wiz_SingleEntryUnzip(include count, include names, exclude count, exclude
// names, options, callbacks): 0 when every entry unpacked, non-zero otherwise.
typedef int(WINAPI* WIZ_SINGLE_ENTRY_UNZIP)(int, char**, int, char**, LPDCL, LPUSERFUNCTIONS);

// KolvarFinishInterruptedInstalls(target folder, print): finishes or undoes
// the installations into that folder that died midway, so that every entry
// they touched is whole, old or new, and removes what they left behind.
// Returns how many it removed. Our own addition; other unzip libraries lack it.
typedef int(WINAPI* KOLVAR_FINISH_INTERRUPTED_INSTALLS)(LPCSTR, DLLPRNT);

// Results of Wiz_SingleEntryUnzip.
#define PK_OK 0
#define PK_WARN 1    // some entries refused or skipped, the others unpacked
#define PK_ERR 2     // an entry failed to unpack
#define PK_BADERR 3  // the archive is damaged
#define PK_MEM 4
#define PK_PARAM 10  // bad options
#define PK_FIND 11   // archive not found or not a zip archive
#define PK_DISK 50   // the target could not be written
#define PK_BOMB 51   // the archive would unpack beyond the size bound
#define PK_BADPWD 82 // no password or a wrong one
