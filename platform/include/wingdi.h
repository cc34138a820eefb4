// GDI subset over FreeType: font files added at run time, fonts by face name,
// text measuring and anti-aliased text into 32-bit DIB sections. Enough to
// rasterise a glyph atlas; there is no screen device behind it.
#pragma once

#include "win32.h"

// ---- Device capabilities ----
#define LOGPIXELSY 90

// ---- Mapping modes ----
#define MM_TEXT 1

// ---- Font creation ----
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define ANTIALIASED_QUALITY 4
#define VARIABLE_PITCH 2

// ---- Text output ----
#define TA_TOP 0
#define ETO_OPAQUE 0x0002

// ---- Bitmaps ----
#define BI_RGB 0
#define DIB_RGB_COLORS 0

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: rows run from the top down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

typedef struct tagRGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

// Font files: the faces of the file become available to CreateFontA by their
// family name and by the file's base name. Returns the number of faces added.
int AddFontResourceA(LPCSTR fileName);
BOOL RemoveFontResourceA(LPCSTR fileName);

// A face that is neither added nor installed falls back to DejaVu Sans.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
int SetMapMode(HDC dc, int mode);
int GetDeviceCaps(HDC dc, int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);

// Only 32-bit BI_RGB sections; the pixels start zeroed (black).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
UINT SetTextAlign(HDC dc, UINT align);
// Width: the sum of the characters' advances; height: the font's cell (ascent + descent).
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size);
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx);

// a * b / c rounded half away from zero, -1 when c is 0 or the result overflows.
int MulDiv(int a, int b, int c);
