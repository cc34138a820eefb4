// Narrow (code page 1252) to wide text and back.
#include "CodePage1252.h"
#include "win32.h"

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out, int size) {
    (void)flags;
    if (!text || size < 0 || (size > 0 && !out) || codePage != CP_ACP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = length < 0 ? strlen(text) + 1 : static_cast<size_t>(length);
    if (size == 0) return static_cast<int>(n);
    if (n > static_cast<size_t>(size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<WCHAR>(platform::Cp1252ToUnicode(static_cast<unsigned char>(text[i])));
    return static_cast<int>(n);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out, int size,
                        LPCSTR defaultChar, BOOL* usedDefault) {
    (void)flags;
    if (usedDefault) *usedDefault = FALSE;
    if (!text || size < 0 || (size > 0 && !out) || codePage != CP_ACP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = 0;
    if (length < 0)
        while (text[n++]) {}
    else
        n = static_cast<size_t>(length);
    if (size == 0) return static_cast<int>(n);
    if (n > static_cast<size_t>(size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (size_t i = 0; i < n; ++i) {
        int c = platform::UnicodeToCp1252(static_cast<uint32_t>(text[i]));
        if (c < 0) {
            c = defaultChar ? static_cast<unsigned char>(*defaultChar) : '?';
            if (usedDefault) *usedDefault = TRUE;
        }
        out[i] = static_cast<char>(c);
    }
    return static_cast<int>(n);
}
