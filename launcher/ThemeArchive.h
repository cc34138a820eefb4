#pragma once

#include <unzip.h>

#include <string>

// The theme archive password: a fixed value of the .kvr format.
extern const char* const kThemeArchivePassword;

// Unpacks a theme archive into targetFolder with the unzip library "arch.DLL".
// False when the library is missing, has the wrong version or does not load;
// true once the unpacking call was made, whatever its result.
bool UnzipArchive(std::string& archivePath, std::string& targetFolder);
void UnzipFreeBuffers();
// Finishes or undoes the installations into targetFolder that a crash or a
// kill interrupted, so each theme they touched is whole, and removes what they
// left behind; run at every start of the game and of the launcher. Does
// nothing without a trusted unzip library. Returns how many it dealt with.
int FinishInterruptedThemeInstalls(const char* targetFolder = "themes");
// The library's result of the last UnzipArchive that reached it (0: success).
int UnzipLastResult();

int WINAPI UnzipPrintCallback(LPSTR text, unsigned long length);
int WINAPI UnzipReplaceCallback(LPSTR fileName);
int WINAPI UnzipPasswordCallback(LPSTR buffer, int size, LPCSTR prompt, LPCSTR entryName);
void WINAPI UnzipMessageCallback(unsigned long uncompressed, unsigned long compressed, unsigned factor,
                                 unsigned month, unsigned day, unsigned year, unsigned hour, unsigned minute,
                                 char mark, LPSTR name, LPSTR method, unsigned long crc, char encrypted);
