// Window classes and windows over SDL2. Each window keeps the rectangle and
// style Windows would report, and the SDL window follows them: the client area
// becomes the SDL window, a caption a border, a sizing frame a resizable window,
// and a caption-less popup at the desktop origin a desktop full-screen window.
#include "WindowInternal.h"
#include "platform.h"
#include "winuserhooks.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct HICON__ {
    INT width = 0;
    INT height = 0;
    std::vector<uint32_t> rgba;  // bytes R, G, B, A in memory
};

struct HCURSOR__ {
    SDL_SystemCursor id = SDL_SYSTEM_CURSOR_ARROW;
    SDL_Cursor* cursor = nullptr;
};

namespace {

// Frame metrics of the classic Windows look, so window and client rectangles
// relate as they did on the original.
const LONG kCaptionHeight = 19;
const LONG kSizingFrame = 4;
const LONG kFixedFrame = 3;
const LONG kThinBorder = 1;
// Without a display there is no desktop to measure; this matches the test X server.
const INT kHeadlessDesktopWidth = 1024;
const INT kHeadlessDesktopHeight = 768;
const WORD kGameIconId = 113;
const int kFocusWaitSteps = 40;
const Uint32 kFocusWaitStepMs = 5;

struct WindowClass {
    std::string name;
    WNDPROC proc = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
};

struct State {
    bool videoTried = false;
    bool videoOk = false;
    std::vector<WindowClass> classes;
    std::vector<HWND> windows;  // alive, in creation order
    HWND focus = nullptr;
    std::string failure;  // why the last window could not be made
    std::map<WORD, std::unique_ptr<HICON__>> icons;
    HCURSOR__ arrow;
};

State& S() {
    static State state;
    return state;
}

WindowClass* FindClass(const char* name) {
    if (!name) return nullptr;
    for (WindowClass& c : S().classes)
        if (strcasecmp(c.name.c_str(), name) == 0) return &c;
    return nullptr;
}

void FrameInsets(DWORD style, RECT& insets) {
    LONG frame = 0;
    if (style & WS_THICKFRAME)
        frame = kSizingFrame;
    else if (style & WS_DLGFRAME)
        frame = kFixedFrame;
    else if (style & WS_BORDER)
        frame = kThinBorder;
    insets.left = insets.right = insets.bottom = frame;
    insets.top = frame + ((style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0);
}

bool WantsFullScreen(const HWND__& w) {
    return (w.style & WS_POPUP) && (w.style & WS_CAPTION) == 0 && w.outer.left == 0 &&
           w.outer.top == 0;
}

void ClientOf(const HWND__& w, RECT& client) {
    RECT in;
    FrameInsets(w.style, in);
    client.left = w.outer.left + in.left;
    client.top = w.outer.top + in.top;
    client.right = std::max(client.left, w.outer.right - in.right);
    client.bottom = std::max(client.top, w.outer.bottom - in.bottom);
}

// Makes the SDL window match the window's style and rectangle.
void ApplyGeometry(HWND__& w) {
    bool full = WantsFullScreen(w);
    if (!w.sdl) {
        w.fullScreen = full;
        return;
    }
    if (full) {
        if (!w.fullScreen) SDL_SetWindowFullscreen(w.sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        if (w.fullScreen) SDL_SetWindowFullscreen(w.sdl, 0);
        SDL_SetWindowBordered(w.sdl, (w.style & WS_CAPTION) ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowResizable(w.sdl, (w.style & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
        RECT c;
        ClientOf(w, c);
        SDL_SetWindowSize(w.sdl, std::max<LONG>(1, c.right - c.left), std::max<LONG>(1, c.bottom - c.top));
        SDL_SetWindowPosition(w.sdl, c.left, c.top);
    }
    w.fullScreen = full;
}

void MarkShown(HWND w) {
    w->style |= WS_VISIBLE;
    if (!w->shownOnce) {
        w->shownOnce = true;
        winimpl::OnFirstShow(w);
    }
}

// A file of the game folder: the current folder first (the game runs from its
// folder), then the folder the build assembled.
std::string GameFile(const char* relative) {
    std::string rel = platform::HostPath(relative);
    if (platform::HostExists(rel)) return rel;
    const char* env = getenv("KOLVAR_GAME_DIR");
    std::vector<std::string> dirs;
    if (env && *env) dirs.push_back(env);
#ifdef KOLVAR_DEFAULT_GAME_DIR
    dirs.push_back(KOLVAR_DEFAULT_GAME_DIR);
#endif
    for (const std::string& dir : dirs) {
        std::string p = dir + "/" + rel;
        if (platform::HostExists(p)) return p;
    }
    return std::string();
}

std::unique_ptr<HICON__> ReadPngIcon(const std::string& path) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return nullptr;
    image.format = PNG_FORMAT_RGBA;
    // Icons are small; a huge image is a broken file, not an icon.
    if (image.width == 0 || image.height == 0 || image.width > 1024 || image.height > 1024) {
        png_image_free(&image);
        return nullptr;
    }
    std::unique_ptr<HICON__> icon(new HICON__);
    icon->width = static_cast<INT>(image.width);
    icon->height = static_cast<INT>(image.height);
    icon->rgba.resize(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, icon->rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return nullptr;
    }
    return icon;
}

void SetSdlIcon(SDL_Window* window, HICON icon) {
    if (!window || !icon || icon->rgba.empty()) return;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(icon->rgba.data(), icon->width, icon->height, 32,
                                                        icon->width * 4, SDL_PIXELFORMAT_RGBA32);
    if (!s) return;
    SDL_SetWindowIcon(window, s);
    SDL_FreeSurface(s);
}

void UseCursor(HCURSOR cursor) {
    if (!cursor || !winimpl::VideoAvailable()) return;
    if (!cursor->cursor) cursor->cursor = SDL_CreateSystemCursor(cursor->id);
    if (cursor->cursor) SDL_SetCursor(cursor->cursor);
}

}  // namespace

namespace winimpl {

bool EnsureVideo() {
    State& s = S();
    if (!s.videoTried) {
        s.videoTried = true;
        s.videoOk = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        // SDL falls back to drivers that show nothing; those are used only when
        // asked for by name (tests set SDL_VIDEODRIVER=offscreen).
        const char* driver = s.videoOk ? SDL_GetCurrentVideoDriver() : nullptr;
        const char* asked = getenv("SDL_VIDEODRIVER");
        if (driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0) &&
            !(asked && strcasecmp(asked, driver) == 0)) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            s.videoOk = false;
        }
        if (s.videoOk) SDL_StartTextInput();
    }
    return s.videoOk;
}

bool VideoAvailable() { return S().videoOk; }

}  // namespace winimpl

namespace platform {

bool HasDisplay() { return winimpl::EnsureVideo(); }

}  // namespace platform

namespace winimpl {

bool IsLiveWindow(HWND window) {
    if (!window) return false;
    const std::vector<HWND>& ws = S().windows;
    return std::find(ws.begin(), ws.end(), window) != ws.end();
}

HWND WindowFromSdlId(uint32_t id) {
    if (id == 0) return nullptr;
    for (HWND w : S().windows)
        if (w->sdlId == id) return w;
    return nullptr;
}

HWND KeyboardWindow() {
    State& s = S();
    if (IsLiveWindow(s.focus)) return s.focus;
    return s.windows.empty() ? nullptr : s.windows.front();
}

}  // namespace winimpl

// ---- Resources ----

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    // The game's one icon resource ships as a PNG file in the data folder.
    if (!name || !IS_INTRESOURCE(name) || static_cast<WORD>(reinterpret_cast<uintptr_t>(name)) != kGameIconId) {
        SetLastError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
        return nullptr;
    }
    State& s = S();
    auto found = s.icons.find(kGameIconId);
    if (found != s.icons.end()) return found->second.get();
    std::string path = GameFile("data\\icon.png");
    std::unique_ptr<HICON__> icon = path.empty() ? nullptr : ReadPngIcon(path);
    if (!icon) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    HICON handle = icon.get();
    s.icons[kGameIconId] = std::move(icon);
    return handle;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // Only the system arrow is used.
    if (instance || name != IDC_ARROW) {
        SetLastError(1813);
        return nullptr;
    }
    return &S().arrow;
}

// ---- Classes and windows ----

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    State& s = S();
    if (FindClass(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass c;
    c.name = wc->lpszClassName;
    c.proc = wc->lpfnWndProc;
    c.icon = wc->hIcon;
    c.cursor = wc->hCursor;
    s.classes.push_back(c);
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, INT x, INT y, INT width,
                     INT height, HWND, HMENU, HINSTANCE, LPVOID) {
    std::string& failure = S().failure;
    failure.clear();
    WindowClass* wc = FindClass(className);
    if (!wc) {
        failure = std::string("no window class \"") + (className ? className : "") + "\"";
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    std::unique_ptr<HWND__> w(new HWND__);
    w->proc = wc->proc;
    w->style = style;
    if (x == CW_USEDEFAULT) x = 0;
    if (y == CW_USEDEFAULT) y = 0;
    if (width == CW_USEDEFAULT || width < 0) width = 0;
    if (height == CW_USEDEFAULT || height < 0) height = 0;
    w->outer = {x, y, x + width, y + height};
    w->fullScreen = WantsFullScreen(*w);

    if (winimpl::EnsureVideo()) {
        RECT c;
        ClientOf(*w, c);
        Uint32 flags = SDL_WINDOW_OPENGL | ((style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
        if (w->fullScreen) {
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        } else {
            if (!(style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
            if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
        }
        std::string title = winimpl::Cp1252ToUtf8(windowName ? windowName : "");
        w->sdl = SDL_CreateWindow(title.c_str(), c.left, c.top, std::max<LONG>(1, c.right - c.left),
                                  std::max<LONG>(1, c.bottom - c.top), flags);
        if (!w->sdl) {
            // SDL's words say what failed: no GL driver, no matching visual, a refused mode.
            failure = SDL_GetError();
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        w->sdlId = SDL_GetWindowID(w->sdl);
        SetSdlIcon(w->sdl, wc->icon);
        UseCursor(wc->cursor);
    }
    HWND handle = w.release();
    S().windows.push_back(handle);
    if (style & WS_VISIBLE) MarkShown(handle);
    return handle;
}

BOOL DestroyWindow(HWND window) {
    if (!winimpl::IsLiveWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->proc) window->proc(window, WM_DESTROY, 0, 0);
    // The procedure may have destroyed it already.
    if (!winimpl::IsLiveWindow(window)) return TRUE;
    State& s = S();
    s.windows.erase(std::find(s.windows.begin(), s.windows.end(), window));
    if (s.focus == window) s.focus = nullptr;
    winimpl::ForgetWindow(window);
    if (window->sdl) SDL_DestroyWindow(window->sdl);
    delete window;
    return TRUE;
}

BOOL ShowWindow(HWND window, INT command) {
    if (winimpl::IsDialogHandle(window)) return winimpl::ShowDialogWindow(window, command);
    if (!winimpl::IsLiveWindow(window)) return FALSE;
    BOOL wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
    if (command == SW_HIDE) {
        window->style &= ~WS_VISIBLE;
        if (window->sdl) SDL_HideWindow(window->sdl);
        return wasVisible;
    }
    if (window->sdl) {
        SDL_ShowWindow(window->sdl);
        if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED)
            SDL_MinimizeWindow(window->sdl);
        else if (command == SW_SHOWMAXIMIZED)
            SDL_MaximizeWindow(window->sdl);
        else if (command == SW_SHOWNORMAL || command == SW_RESTORE)
            SDL_RestoreWindow(window->sdl);
    }
    MarkShown(window);
    return wasVisible;
}

HWND SetFocus(HWND window) {
    if (winimpl::IsDialogHandle(window)) return winimpl::FocusDialogWindow(window);
    State& s = S();
    HWND previous = winimpl::IsLiveWindow(s.focus) ? s.focus : nullptr;
    if (!window) {
        s.focus = nullptr;
        return previous;
    }
    if (!winimpl::IsLiveWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    s.focus = window;
    if (window->sdl) {
        SDL_RaiseWindow(window->sdl);
        SDL_SetWindowInputFocus(window->sdl);
        // The focus is the window's when SetFocus returns, as the caller (and
        // an input device acquired right after) expects; a window manager may
        // refuse it, so the wait is short.
        for (int i = 0; i < kFocusWaitSteps && SDL_GetKeyboardFocus() != window->sdl; ++i) {
            SDL_PumpEvents();
            if (SDL_GetKeyboardFocus() != window->sdl) SDL_Delay(kFocusWaitStepMs);
        }
    }
    return previous;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD) {
    if (!rect) return FALSE;
    RECT in;
    FrameInsets(style, in);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

LONG SetWindowLongA(HWND window, INT index, LONG value) {
    if (!winimpl::IsLiveWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index != GWL_STYLE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    LONG previous = static_cast<LONG>(window->style);
    // Visibility changes through ShowWindow and SetWindowPos only.
    window->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | (window->style & WS_VISIBLE);
    ApplyGeometry(*window);
    SetLastError(0);
    return previous;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, INT x, INT y, INT cx, INT cy, UINT flags) {
    if (!winimpl::IsLiveWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT& r = window->outer;
    LONG w = r.right - r.left, h = r.bottom - r.top;
    if (!(flags & SWP_NOMOVE)) {
        r.left = x;
        r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        w = std::max(0, cx);
        h = std::max(0, cy);
    }
    r.right = r.left + w;
    r.bottom = r.top + h;
    ApplyGeometry(*window);
    if (window->sdl && !(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST)
            SDL_SetWindowAlwaysOnTop(window->sdl, SDL_TRUE);
        else if (insertAfter == HWND_NOTOPMOST)
            SDL_SetWindowAlwaysOnTop(window->sdl, SDL_FALSE);
    }
    if (flags & SWP_HIDEWINDOW) {
        ShowWindow(window, SW_HIDE);
    } else if (flags & SWP_SHOWWINDOW) {
        if (window->sdl) SDL_ShowWindow(window->sdl);
        MarkShown(window);
    }
    return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    if (!winimpl::IsLiveWindow(window) || !rect) return FALSE;
    *rect = window->outer;
    return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    if (!winimpl::IsLiveWindow(window) || !rect) return FALSE;
    RECT c;
    ClientOf(*window, c);
    *rect = {0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

INT GetSystemMetrics(INT index) {
    if (index == SM_CXICON || index == SM_CYICON) return 32;
    if (index != SM_CXSCREEN && index != SM_CYSCREEN) return 0;
    SDL_DisplayMode mode;
    if (winimpl::EnsureVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0)
        return index == SM_CXSCREEN ? mode.w : mode.h;
    return index == SM_CXSCREEN ? kHeadlessDesktopWidth : kHeadlessDesktopHeight;
}

namespace platform {

void* SdlWindowOf(HWND__* window) {
    return winimpl::IsLiveWindow(window) ? window->sdl : nullptr;
}

std::string WindowFailureReason() { return S().failure; }
void NoteWindowFailure(const std::string& reason) { S().failure = reason; }

bool IsFullScreenWindow(HWND window) { return winimpl::IsLiveWindow(window) && window->fullScreen; }

bool IconSize(HICON icon, INT* width, INT* height) {
    for (auto& entry : S().icons) {
        if (entry.second.get() != icon) continue;
        if (width) *width = icon->width;
        if (height) *height = icon->height;
        return true;
    }
    return false;
}

}  // namespace platform
